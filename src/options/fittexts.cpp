// Makes every text of an options page whole in the device's own fonts. The
// page templates were laid out for the handheld's Tahoma; a wider Tahoma
// cuts the ends of labels, the last line of a wrapped text and the digits
// of narrow edits, and a heading font in a larger system face cuts its
// heading. Each control gets the room its text needs where the page has it
// free: a one-line label or caption grows to its right (and downwards when
// its font is taller than the control), a wrapped text grows downwards
// (pushing the controls under it down while the page has room for them),
// a number edit narrows its margins, and a group's frame grows with what
// it holds. No control is moved over another one or out of the page.
//
// Texts are measured in the fonts they are drawn with: the heading fonts
// are given to their controls first. Each text is measured once, on one DC
// of the page, and each control's kind and text are read once: under Wine
// every message to a control is a round of calls, and more where the
// control is subclassed (an up-down's edit asks the server for its
// subclass property at each message). The controls are not asked for
// their fonts: the dialog manager gave each the page's font, and the
// header knows which it gave a heading font.
#include "pages.h"
#include "portable.h"
#include <commctrl.h>
#include <algorithm>
#include <limits.h>

using std::max;
using std::min;

namespace {

const int MaxPageControls = 48;
const int MaxTextChars = 300;

enum ControlKind {
    OtherControl,
    TextLabel,      // a static with text
    NumberEdit,     // an edit that takes digits only
    Caption,        // a check box or radio button with its caption
    GroupFrame,     // a group box
};

// The page's visible controls and where they are, in page client
// coordinates, as the fitting moves them.
struct PageLayoutRecord {
    HWND Controls[MaxPageControls];
    RECT Boxes[MaxPageControls];
    SIZE Frames[MaxPageControls]; // window size less client size
    BOOL Moved[MaxPageControls];  // its box is to be given to its window
    ControlKind Kinds[MaxPageControls];
    // A label's or caption's text, empty for other controls.
    WCHAR Texts[MaxPageControls][MaxTextChars];
    int Group[MaxPageControls];   // the group box holding the control, or -1
    int Count;
    RECT Room;                    // the part of the page they may take
    HWND Page;
    int PageIndex;                // in the sheet, or -1
    HGDIOBJ PageFont;             // the page's font, once asked (or null)
    BOOL PageFontKnown;
    HDC DC;                       // the page's, for every measure
    HGDIOBJ PreviousFont;
    HGDIOBJ Font;                 // selected in DC now
    int FontLineHeight;           // its tmHeight, 0 until read
};

// The pages keep 5 dialog units free at their right edge, as at their left;
// the sheet later fits each page into its tab a few pixels narrower than
// the template, and taller.
const int PageRightMargin = 5;

BOOL HasClass(const WCHAR *className, const WCHAR *name)
{
    return lstrcmpiW(className, name) == 0;
}

// Reads the text of a control whose text is fitted into `text`; returns
// whether it has one.
BOOL ReadText(HWND control, WCHAR *text)
{
    return GetWindowTextW(control, text, MaxTextChars) > 0;
}

// The control's kind; the text of a label or caption is read into `text`
// (left empty otherwise).
ControlKind KindOf(HWND control, WCHAR *text)
{
    text[0] = 0;
    WCHAR className[32];
    GetClassNameW(control, className, ARRAYSIZE(className));
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (HasClass(className, L"Static")) {
        LONG type = style & SS_TYPEMASK;
        BOOL drawsText = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP;
        return drawsText && ReadText(control, text) ? TextLabel : OtherControl;
    }
    if (HasClass(className, L"Edit"))
        return (style & ES_NUMBER) ? NumberEdit : OtherControl;
    if (HasClass(className, L"Button")) {
        switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
            return GroupFrame;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return (style & BS_LEFTTEXT) || !ReadText(control, text) ? OtherControl : Caption;
        }
    }
    return OtherControl;
}

BOOL Contains(const RECT *outer, const RECT *inner)
{
    return inner->left >= outer->left && inner->right <= outer->right && inner->top >= outer->top &&
           inner->bottom <= outer->bottom;
}

// Which group box holds each control, as the template placed them.
void FindGroups(PageLayoutRecord *layout)
{
    for (int i = 0; i < layout->Count; i++) {
        layout->Group[i] = -1;
        for (int g = 0; g < layout->Count; g++)
            if (g != i && layout->Kinds[g] == GroupFrame && Contains(&layout->Boxes[g], &layout->Boxes[i]))
                layout->Group[i] = g;
    }
}

// Adds the control to the layout if it is shown; FALSE when the layout is
// full.
BOOL ReadControl(HWND page, HWND child, PageLayoutRecord *layout)
{
    if (layout->Count == MaxPageControls)
        return FALSE;
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))
        return TRUE;
    int i = layout->Count++;
    layout->Controls[i] = child;
    GetWindowRect(child, &layout->Boxes[i]);
    MapWindowPoints(NULL, page, (POINT *)&layout->Boxes[i], 2);
    RECT client;
    GetClientRect(child, &client);
    layout->Frames[i].cx = (layout->Boxes[i].right - layout->Boxes[i].left) - client.right;
    layout->Frames[i].cy = (layout->Boxes[i].bottom - layout->Boxes[i].top) - client.bottom;
    layout->Moved[i] = FALSE;
    layout->Kinds[i] = KindOf(child, layout->Texts[i]);
    return TRUE;
}

// The page's own controls, in their order.
void ReadLayout(HWND page, PageLayoutRecord *layout)
{
    layout->Count = 0;
    GetClientRect(page, &layout->Room);
    RECT margin = {0, 0, PageRightMargin, 0};
    MapDialogRect(page, &margin);
    layout->Room.right -= margin.right;
    for (HWND child = GetWindow(page, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT))
        if (!ReadControl(page, child, layout))
            break;
    FindGroups(layout);
}

// The control's client size as its box now has it.
RECT ClientOf(const PageLayoutRecord *layout, int index)
{
    const RECT *box = &layout->Boxes[index];
    RECT client = {0, 0, box->right - box->left - layout->Frames[index].cx,
                   box->bottom - box->top - layout->Frames[index].cy};
    return client;
}

// The rightmost edge control `index` may reach: the next control beside
// it, the frame of a group it sits in (keeping its left inset), or the
// page's edge.
LONG FreeRightEdge(const PageLayoutRecord *layout, int index)
{
    const RECT *box = &layout->Boxes[index];
    LONG edge = layout->Room.right;
    for (int i = 0; i < layout->Count; i++) {
        const RECT *other = &layout->Boxes[i];
        if (i == index)
            continue;
        if (i == layout->Group[index])
            edge = min(edge, other->right - (box->left - other->left));
        else if (other->top < box->bottom && other->bottom > box->top && other->left >= box->right)
            edge = min(edge, other->left);
    }
    return edge;
}

// The lowest edge control `index` may reach without pushing anything. The
// frame of its own group does not count: the frame grows with it.
LONG FreeBottomEdge(const PageLayoutRecord *layout, int index)
{
    const RECT *box = &layout->Boxes[index];
    LONG edge = layout->Room.bottom;
    for (int i = 0; i < layout->Count; i++) {
        const RECT *other = &layout->Boxes[i];
        if (i == index || i == layout->Group[index])
            continue;
        if (other->left < box->right && other->right > box->left && other->top >= box->bottom)
            edge = min(edge, other->top);
    }
    return edge;
}

// The fitting works on the boxes; each window moved takes its final box
// once, at the end (a move costs a round of messages, and under Wine most
// of a millisecond). Labels, captions and frames are not asked whether
// they accept their box (WM_WINDOWPOSCHANGING): statics and buttons take
// any; a combo box, pushed down, corrects the height it is given there.
void MoveBox(PageLayoutRecord *layout, int index, const RECT *box)
{
    if (EqualRect(&layout->Boxes[index], box))
        return;
    layout->Boxes[index] = *box;
    layout->Moved[index] = TRUE;
}

BOOL TakesAnyBox(ControlKind kind)
{
    return kind == TextLabel || kind == Caption || kind == GroupFrame;
}

void ApplyMoves(const PageLayoutRecord *layout)
{
    for (int i = 0; i < layout->Count; i++) {
        if (!layout->Moved[i])
            continue;
        const RECT *box = &layout->Boxes[i];
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (TakesAnyBox(layout->Kinds[i]) ? SWP_NOSENDCHANGING : 0);
        SetWindowPos(layout->Controls[i], NULL, box->left, box->top, box->right - box->left,
                     box->bottom - box->top, flags);
    }
}

// A group box that reaches down to `top` from above it: it holds what is
// pushed down there, and grows with it.
BOOL FrameSpans(const PageLayoutRecord *layout, int index, LONG top)
{
    const RECT *box = &layout->Boxes[index];
    return layout->Kinds[index] == GroupFrame && box->top < top && box->bottom >= top;
}

// Moves every control that starts at or below `top` down by `distance`
// and lengthens the frames around that line by as much, unless the lowest
// of them would then leave the page.
BOOL PushDown(PageLayoutRecord *layout, LONG top, LONG distance)
{
    for (int i = 0; i < layout->Count; i++)
        if ((layout->Boxes[i].top >= top || FrameSpans(layout, i, top)) &&
            layout->Boxes[i].bottom + distance > layout->Room.bottom)
            return FALSE;
    for (int i = 0; i < layout->Count; i++) {
        RECT box = layout->Boxes[i];
        if (box.top >= top)
            OffsetRect(&box, 0, distance);
        else if (FrameSpans(layout, i, top))
            box.bottom += distance;
        else
            continue;
        MoveBox(layout, i, &box);
    }
    return TRUE;
}

// Lets control `index` reach down to `bottom`: into free space, or by
// pushing down the controls under it.
void GrowDown(PageLayoutRecord *layout, int index, LONG bottom)
{
    RECT box = layout->Boxes[index];
    if (bottom <= box.bottom)
        return;
    LONG free = FreeBottomEdge(layout, index);
    if (bottom > free)
        PushDown(layout, box.bottom, bottom - free);
    box.bottom = min(bottom, FreeBottomEdge(layout, index));
    MoveBox(layout, index, &box);
}

// Lets control `index` reach right to `right`, as far as the space beside
// it is free.
void GrowRight(PageLayoutRecord *layout, int index, LONG right)
{
    RECT box = layout->Boxes[index];
    if (right <= box.right)
        return;
    box.right = max(box.right, min(right, FreeRightEdge(layout, index)));
    MoveBox(layout, index, &box);
}

// ---- Measures ---------------------------------------------------------------

// The font control `index` draws with: a heading font the header gave it,
// or the page's, asked for once (a control without one draws in the
// system font).
HGDIOBJ ControlFont(PageLayoutRecord *layout, int index)
{
    HFONT heading = layout->PageIndex >= 0
                        ? GivenHeadingFont(layout->PageIndex, GetDlgCtrlID(layout->Controls[index]))
                        : NULL;
    if (heading != NULL)
        return heading;
    if (!layout->PageFontKnown) {
        layout->PageFont = (HGDIOBJ)SendMessageW(layout->Page, WM_GETFONT, 0, 0);
        layout->PageFontKnown = TRUE;
    }
    return layout->PageFont != NULL ? layout->PageFont : GetStockObject(SYSTEM_FONT);
}

// Most controls of a page share the dialog's font: it is selected once.
void SelectControlFont(PageLayoutRecord *layout, int index)
{
    HGDIOBJ font = ControlFont(layout, index);
    if (font == layout->Font)
        return;
    HGDIOBJ previous = SelectObject(layout->DC, font);
    if (layout->PreviousFont == NULL)
        layout->PreviousFont = previous;
    layout->Font = font;
    layout->FontLineHeight = 0;
}

// The control's text in its own font: on one line, or wrapped at `width`
// as the control wraps it (cy is then the height of its lines). A blank at
// the end counts: the static's wrapping breaks the line before a last word
// when the blank after it does not fit.
SIZE MeasureControlText(PageLayoutRecord *layout, int index, int width, BOOL oneLine, BOOL noPrefix)
{
    SelectControlFont(layout, index);
    UINT format = DT_CALCRECT | DT_EXPANDTABS | (noPrefix ? DT_NOPREFIX : 0);
    format |= oneLine ? DT_SINGLELINE : DT_WORDBREAK;
    RECT rect = {0, 0, width, 0};
    DrawTextW(layout->DC, layout->Texts[index], -1, &rect, format);
    SIZE size = {rect.right, rect.bottom};
    return size;
}

// The height of one line of the control's font.
int LineHeight(PageLayoutRecord *layout, int index)
{
    SelectControlFont(layout, index);
    if (layout->FontLineHeight == 0) {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(layout->DC, &metrics);
        layout->FontLineHeight = metrics.tmHeight;
    }
    return layout->FontLineHeight;
}

// ---- Labels ---------------------------------------------------------------

// A wrapped text grows downwards to hold all its lines.
void FitWrappedText(PageLayoutRecord *layout, int index, BOOL noPrefix)
{
    RECT client = ClientOf(layout, index);
    int need = MeasureControlText(layout, index, client.right, FALSE, noPrefix).cy;
    if (need > client.bottom)
        GrowDown(layout, index, layout->Boxes[index].bottom + need - client.bottom);
}

// A label one line high grows to its right as far as its text needs (a
// left-aligned one; a centred or right-aligned one keeps its width), and
// downwards when its font is taller than it. A text still wider than its
// label is wrapped there, as the static wraps it, onto more lines (within
// the page's room).
void FitOneLineLabel(PageLayoutRecord *layout, int index, SIZE need, int lineHeight, BOOL noPrefix)
{
    HWND control = layout->Controls[index];
    RECT client = ClientOf(layout, index);
    LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    if (need.cx > client.right && (type == SS_LEFT || type == SS_LEFTNOWORDWRAP))
        GrowRight(layout, index, layout->Boxes[index].right + need.cx - client.right);
    if (lineHeight > client.bottom)
        GrowDown(layout, index, layout->Boxes[index].bottom + lineHeight - client.bottom);
    // Wrapped within the page's room, even where the label reaches past it:
    // the sheet makes the page narrower later.
    RECT box = layout->Boxes[index];
    if (need.cx <= min(box.right, layout->Room.right) - box.left || type == SS_LEFTNOWORDWRAP)
        return;
    if (box.right > layout->Room.right) {
        box.right = max(box.left + 1, layout->Room.right);
        MoveBox(layout, index, &box);
    }
    FitWrappedText(layout, index, noPrefix);
}

void FitLabel(PageLayoutRecord *layout, int index)
{
    HWND control = layout->Controls[index];
    BOOL noPrefix = (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX) != 0;
    RECT client = ClientOf(layout, index);
    SIZE line = MeasureControlText(layout, index, 0, TRUE, noPrefix);
    int lineHeight = LineHeight(layout, index);
    // A static less than two lines high shows its text on one line.
    if (client.bottom < 2 * lineHeight)
        FitOneLineLabel(layout, index, line, lineHeight, noPrefix);
    else
        FitWrappedText(layout, index, noPrefix);
}

// ---- Check box and radio button captions ------------------------------------

// Room the box (or circle) takes before the caption: the platform's
// 12-pixel box at 96 dpi, scaled, and half a digit's width of gap.
int CaptionIndent(PageLayoutRecord *layout, int index)
{
    SelectControlFont(layout, index);
    int digit = 0;
    GetCharWidth32W(layout->DC, L'0', L'0', &digit);
    int dpi = GetDeviceCaps(layout->DC, LOGPIXELSX);
    return ScaleRounded(12, dpi, 96) + 1 + digit / 2;
}

// Wine draws a caption up to 4.5 % wider than it measures it at 128 dpi
// ("Display time markers on the same line": 255 px drawn, 244 measured)
// and 1-2 % narrower at 96 and 192 dpi; a sixteenth more keeps it whole.
int CaptionWidth(int measured)
{
    return measured + measured / 16 + 1;
}

// A caption on one line grows its control to the right, and downwards when
// its font is taller; a multi-line one grows downwards to hold its lines at
// the control's width.
void FitCaption(PageLayoutRecord *layout, int index)
{
    HWND control = layout->Controls[index];
    RECT client = ClientOf(layout, index);
    int indent = CaptionIndent(layout, index);
    int lineHeight = LineHeight(layout, index);
    if (GetWindowLongW(control, GWL_STYLE) & BS_MULTILINE) {
        int need = MeasureControlText(layout, index, max((int)client.right - indent, 1), FALSE, FALSE).cy;
        if (need > client.bottom)
            GrowDown(layout, index, layout->Boxes[index].bottom + need - client.bottom);
        return;
    }
    int need = indent + CaptionWidth(MeasureControlText(layout, index, 0, TRUE, FALSE).cx);
    if (need > client.right)
        GrowRight(layout, index, layout->Boxes[index].right + need - client.right);
    if (lineHeight > client.bottom)
        GrowDown(layout, index, layout->Boxes[index].bottom + lineHeight - client.bottom);
}

// ---- Number edits ---------------------------------------------------------------

// Width of the widest number the edit accepts: its limit of its widest
// digit.
int WidestNumberWidth(PageLayoutRecord *layout, int index)
{
    int limit = (int)SendMessageW(layout->Controls[index], EM_GETLIMITTEXT, 0, 0);
    SelectControlFont(layout, index);
    int widths[10] = {};
    GetCharWidth32W(layout->DC, L'0', L'9', widths);
    int widest = 0;
    for (size_t i = 0; i < ARRAYSIZE(widths); i++)
        widest = max(widest, widths[i]);
    return limit * widest;
}

int TextRoomOfEdit(HWND edit)
{
    RECT format;
    SendMessageW(edit, EM_GETRECT, 0, (LPARAM)&format);
    return format.right - format.left;
}

// A number edit keeps its size and narrows its margins, a pixel at a time,
// until its widest number fits.
void FitNumberEdit(PageLayoutRecord *layout, int index)
{
    HWND edit = layout->Controls[index];
    int need = WidestNumberWidth(layout, index);
    DWORD margins = (DWORD)SendMessageW(edit, EM_GETMARGINS, 0, 0);
    int margin = min(LOWORD(margins), HIWORD(margins));
    while (TextRoomOfEdit(edit) < need && margin > 0) {
        margin--;
        SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(margin, margin));
    }
}

// ---- Group frames -----------------------------------------------------------

// A group's frame keeps its bottom inset below the lowest control it holds.
void FitGroupFrame(PageLayoutRecord *layout, int group, LONG inset)
{
    LONG lowest = LONG_MIN;
    for (int i = 0; i < layout->Count; i++)
        if (layout->Group[i] == group)
            lowest = max(lowest, layout->Boxes[i].bottom);
    if (lowest == LONG_MIN || lowest + inset <= layout->Boxes[group].bottom)
        return;
    PushDown(layout, layout->Boxes[group].bottom, lowest + inset - layout->Boxes[group].bottom);
}

// The bottom inset of each group as the template has it (0 for other
// controls and for empty groups).
void ReadGroupInsets(const PageLayoutRecord *layout, LONG *insets)
{
    for (int g = 0; g < layout->Count; g++) {
        insets[g] = 0;
        LONG lowest = LONG_MIN;
        for (int i = 0; i < layout->Count; i++)
            if (layout->Group[i] == g)
                lowest = max(lowest, layout->Boxes[i].bottom);
        if (lowest != LONG_MIN)
            insets[g] = max(0L, layout->Boxes[g].bottom - lowest);
    }
}

// The page's index in the sheet, or -1.
int PageIndexOf(HWND page)
{
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++)
        if (OptionsSheet.PageWindows[i] == page)
            return i;
    return -1;
}

void FitControls(PageLayoutRecord *layout)
{
    for (int i = 0; i < layout->Count; i++) {
        switch (layout->Kinds[i]) {
        case TextLabel: FitLabel(layout, i); break;
        case Caption: FitCaption(layout, i); break;
        case NumberEdit: FitNumberEdit(layout, i); break;
        default: break;
        }
    }
}

} // namespace

void FitPageTexts(HWND page)
{
    int index = PageIndexOf(page);
    if (index >= 0)
        GivePageFonts(page, index);
    static PageLayoutRecord layout;
    layout.Page = page;
    layout.PageIndex = index;
    layout.PageFontKnown = FALSE;
    ReadLayout(page, &layout);
    LONG insets[MaxPageControls];
    ReadGroupInsets(&layout, insets);
    layout.DC = GetDC(page);
    layout.PreviousFont = NULL;
    layout.Font = NULL;
    if (layout.DC == NULL)
        return;
    FitControls(&layout);
    for (int g = 0; g < layout.Count; g++)
        if (layout.Kinds[g] == GroupFrame)
            FitGroupFrame(&layout, g, insets[g]);
    ApplyMoves(&layout);
    if (layout.PreviousFont != NULL)
        SelectObject(layout.DC, layout.PreviousFont);
    ReleaseDC(page, layout.DC);
}
