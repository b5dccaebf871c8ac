// Makes every text of an options page whole in the device's own fonts. The
// page templates were laid out for the handheld's Tahoma; a wider Tahoma
// cuts the ends of labels, the last line of a wrapped text and the digits
// of narrow edits. Each control gets the room its text needs where the page
// has it free: a one-line label grows to its right, a wrapped text grows
// downwards (pushing the controls under it down while the page has room
// for them), and a number edit narrows its margins. No control is moved
// over another one or out of the page.
#include "pages.h"
#include <commctrl.h>
#include <algorithm>

using std::max;
using std::min;

namespace {

const int MaxPageControls = 48;

// The page's visible controls and where they are, in page client
// coordinates, as the fitting moves them.
struct PageLayoutRecord {
    HWND Controls[MaxPageControls];
    RECT Boxes[MaxPageControls];
    int Count;
    RECT Room;          // the part of the page they may take
};

// The pages keep 5 dialog units free at their right edge, as at their left;
// the sheet later fits each page into its tab a few pixels narrower than
// the template, and taller.
const int PageRightMargin = 5;

void ReadLayout(HWND page, PageLayoutRecord *layout)
{
    layout->Count = 0;
    GetClientRect(page, &layout->Room);
    RECT margin = {0, 0, PageRightMargin, 0};
    MapDialogRect(page, &margin);
    layout->Room.right -= margin.right;
    for (HWND child = GetWindow(page, GW_CHILD); child != NULL && layout->Count < MaxPageControls;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        layout->Controls[layout->Count] = child;
        GetWindowRect(child, &layout->Boxes[layout->Count]);
        MapWindowPoints(NULL, page, (POINT *)&layout->Boxes[layout->Count], 2);
        layout->Count++;
    }
}

BOOL HasClass(HWND control, const WCHAR *name)
{
    WCHAR className[32];
    GetClassNameW(control, className, ARRAYSIZE(className));
    return lstrcmpiW(className, name) == 0;
}

BOOL IsGroupBox(HWND control)
{
    return HasClass(control, L"Button") && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

BOOL Contains(const RECT *outer, const RECT *inner)
{
    return inner->left >= outer->left && inner->right <= outer->right && inner->top >= outer->top &&
           inner->bottom <= outer->bottom;
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
        if (IsGroupBox(layout->Controls[i]) && Contains(other, box))
            edge = min(edge, other->right - (box->left - other->left));
        else if (other->top < box->bottom && other->bottom > box->top && other->left >= box->right)
            edge = min(edge, other->left);
    }
    return edge;
}

// The lowest edge control `index` may reach without pushing anything.
LONG FreeBottomEdge(const PageLayoutRecord *layout, int index)
{
    const RECT *box = &layout->Boxes[index];
    LONG edge = layout->Room.bottom;
    for (int i = 0; i < layout->Count; i++) {
        const RECT *other = &layout->Boxes[i];
        if (i == index)
            continue;
        if (IsGroupBox(layout->Controls[i]) && Contains(other, box))
            edge = min(edge, other->bottom - (box->left - other->left));
        else if (other->left < box->right && other->right > box->left && other->top >= box->bottom)
            edge = min(edge, other->top);
    }
    return edge;
}

void MoveBox(PageLayoutRecord *layout, int index, const RECT *box)
{
    layout->Boxes[index] = *box;
    SetWindowPos(layout->Controls[index], NULL, box->left, box->top, box->right - box->left,
                 box->bottom - box->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moves every control that starts at or below `top` down by `distance`,
// unless the lowest of them would then leave the page.
BOOL PushDown(PageLayoutRecord *layout, LONG top, LONG distance)
{
    for (int i = 0; i < layout->Count; i++)
        if (layout->Boxes[i].top >= top && layout->Boxes[i].bottom + distance > layout->Room.bottom)
            return FALSE;
    for (int i = 0; i < layout->Count; i++) {
        if (layout->Boxes[i].top < top)
            continue;
        RECT box = layout->Boxes[i];
        OffsetRect(&box, 0, distance);
        MoveBox(layout, i, &box);
    }
    return TRUE;
}

// ---- Labels ---------------------------------------------------------------------

BOOL IsTextStatic(HWND control)
{
    LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    return HasClass(control, L"Static") && GetWindowTextLengthW(control) > 0 &&
           (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP);
}

// The size of the static's text in its own font: on one line, or wrapped
// at `width` as the static wraps it. A blank at the end counts: the
// static's wrapping breaks the line before a last word when the blank
// after it does not fit.
SIZE MeasureStaticText(HWND control, int width, BOOL oneLine)
{
    WCHAR text[300];
    GetWindowTextW(control, text, ARRAYSIZE(text));
    LONG style = GetWindowLongW(control, GWL_STYLE);
    UINT format = DT_CALCRECT | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    format |= oneLine ? DT_SINGLELINE : DT_WORDBREAK;
    RECT rect = {0, 0, width, 0};
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, (HFONT)SendMessageW(control, WM_GETFONT, 0, 0));
    DrawTextW(dc, text, -1, &rect, format);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    SIZE size = {rect.right, rect.bottom};
    // A static one line high shows its text on that line.
    if (oneLine)
        size.cy = metrics.tmHeight;
    return size;
}

BOOL HoldsOneLine(HWND control, int height)
{
    return height < 2 * MeasureStaticText(control, 0, TRUE).cy;
}

// A label as high as one line grows to its right, as far as its text
// needs and the space beside it is free.
void WidenLabel(PageLayoutRecord *layout, int index, int clientWidth)
{
    LONG type = GetWindowLongW(layout->Controls[index], GWL_STYLE) & SS_TYPEMASK;
    int need = MeasureStaticText(layout->Controls[index], 0, TRUE).cx;
    if (need <= clientWidth || (type != SS_LEFT && type != SS_LEFTNOWORDWRAP))
        return;
    RECT box = layout->Boxes[index];
    box.right = max(box.right, min(box.right + need - clientWidth, FreeRightEdge(layout, index)));
    MoveBox(layout, index, &box);
}

// A wrapped text grows downwards to hold all its lines: into free space,
// or by pushing down the controls under it.
void LengthenText(PageLayoutRecord *layout, int index, RECT client)
{
    int need = MeasureStaticText(layout->Controls[index], client.right, FALSE).cy;
    if (need <= client.bottom)
        return;
    RECT box = layout->Boxes[index];
    LONG bottom = box.bottom + need - client.bottom;
    LONG free = FreeBottomEdge(layout, index);
    if (bottom > free)
        PushDown(layout, box.bottom, bottom - free);
    box.bottom = min(bottom, FreeBottomEdge(layout, index));
    MoveBox(layout, index, &box);
}

void FitLabel(PageLayoutRecord *layout, int index)
{
    RECT client;
    GetClientRect(layout->Controls[index], &client);
    if (HoldsOneLine(layout->Controls[index], client.bottom))
        WidenLabel(layout, index, client.right);
    else
        LengthenText(layout, index, client);
}

// ---- Number edits ---------------------------------------------------------------

// Width of the widest number the edit accepts: its limit of its widest
// digit.
int WidestNumberWidth(HWND edit)
{
    int limit = (int)SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
    HDC dc = GetDC(edit);
    HGDIOBJ previous = SelectObject(dc, (HFONT)SendMessageW(edit, WM_GETFONT, 0, 0));
    int widest = 0;
    for (WCHAR digit = L'0'; digit <= L'9'; digit++) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, &digit, 1, &size);
        widest = max(widest, (int)size.cx);
    }
    SelectObject(dc, previous);
    ReleaseDC(edit, dc);
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
void FitNumberEdit(HWND edit)
{
    if (!(GetWindowLongW(edit, GWL_STYLE) & ES_NUMBER))
        return;
    int need = WidestNumberWidth(edit);
    DWORD margins = (DWORD)SendMessageW(edit, EM_GETMARGINS, 0, 0);
    int margin = min(LOWORD(margins), HIWORD(margins));
    while (TextRoomOfEdit(edit) < need && margin > 0) {
        margin--;
        SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(margin, margin));
    }
}

} // namespace

void FitPageTexts(HWND page)
{
    PageLayoutRecord layout;
    ReadLayout(page, &layout);
    for (int i = 0; i < layout.Count; i++) {
        if (IsTextStatic(layout.Controls[i]))
            FitLabel(&layout, i);
        else if (HasClass(layout.Controls[i], L"Edit"))
            FitNumberEdit(layout.Controls[i]);
    }
}
