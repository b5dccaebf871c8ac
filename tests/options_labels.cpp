// Every word of the options pages shows whole in the device's fonts: each
// static's text (wrapped as the static wraps it) lies within the static,
// each check box and radio caption as the button draws it lies within the
// button, each edit holds the widest number it accepts inside its margins,
// each group's frame holds what the template put in it, and no two
// controls of a page overlap or leave the page. Run at 96, 128 and
// 192 dpi, and once more with headings in a larger system face; the
// figures of every text are printed.
#include "testlib.h"
#include "iat.h"
#include "options/optionstest.h"
#include "options.h"
#include "pages.h"
#include "program.h"
#include <commctrl.h>
#include <string.h>

namespace {

const int MaxControls = 40;

struct ControlRecord {
    HWND Window;
    WCHAR Class[32];
    WCHAR Text[200];
    RECT Box;          // in page client coordinates
    LONG Style;
};

struct PageControlsRecord {
    ControlRecord Controls[MaxControls];
    int Count;
    RECT Client;
};

void CollectControls(HWND page, PageControlsRecord *controls)
{
    controls->Count = 0;
    GetClientRect(page, &controls->Client);
    for (HWND child = GetWindow(page, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) || controls->Count == MaxControls)
            continue;
        ControlRecord *control = &controls->Controls[controls->Count++];
        control->Window = child;
        GetClassNameW(child, control->Class, ARRAYSIZE(control->Class));
        GetWindowTextW(child, control->Text, ARRAYSIZE(control->Text));
        GetWindowRect(child, &control->Box);
        MapWindowPoints(NULL, page, (POINT *)&control->Box, 2);
        control->Style = GetWindowLongW(child, GWL_STYLE);
    }
}

BOOL IsClass(const ControlRecord *control, const WCHAR *name)
{
    return lstrcmpiW(control->Class, name) == 0;
}

BOOL IsTextStatic(const ControlRecord *control)
{
    LONG type = control->Style & SS_TYPEMASK;
    return IsClass(control, L"Static") && control->Text[0] != 0 &&
           (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP);
}

// The rectangle the text takes in the control's font, wrapped at the
// control's width as a word-wrapping static wraps it.
RECT MeasureText(HWND window, const WCHAR *text, UINT format, int width)
{
    RECT rect = {0, 0, width, 0};
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, (HFONT)SendMessageW(window, WM_GETFONT, 0, 0));
    DrawTextW(dc, text, -1, &rect, format | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return rect;
}

// One line of figures per text: what it needs against what it has (a
// one-line static's text width, a wrapped static's height, an edit's
// widest number inside its margins), in pixels.
void PrintFigures(int index, const char *kind, const WCHAR *text, int need, int room, BOOL whole)
{
    WCHAR shown[24];
    lstrcpynW(shown, text, ARRAYSIZE(shown));
    for (WCHAR *c = shown; *c; c++)
        if (*c == L'\n')
            *c = L' ';
    printf("page %d %-13s \"%ls\" %d of %d px%s\n", index, kind, shown, need, room, whole ? "" : "  CUT");
}

void CheckStatic(int index, const ControlRecord *control, const RECT *page)
{
    RECT client;
    GetClientRect(control->Window, &client);
    UINT format = DT_EXPANDTABS | ((control->Style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    LONG type = control->Style & SS_TYPEMASK;
    // Blanks at a line's end take no room: the static drops them there.
    WCHAR trimmed[200];
    lstrcpynW(trimmed, control->Text, ARRAYSIZE(trimmed));
    for (int end = lstrlenW(trimmed); end > 0 && trimmed[end - 1] == L' '; end--)
        trimmed[end - 1] = 0;
    RECT line = MeasureText(control->Window, trimmed, format | DT_SINGLELINE, 0);
    RECT wrapped = MeasureText(control->Window, control->Text,
                               format | (type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK), client.right);
    // A static one line high must hold its text's width; a taller one the
    // height of its wrapped lines, which is what cuts its last words.
    BOOL oneLine = client.bottom < 2 * line.bottom;
    BOOL whole = wrapped.right <= client.right && wrapped.bottom <= client.bottom;
    if (oneLine)
        PrintFigures(index, "label width", control->Text, line.right, client.right, whole);
    else
        PrintFigures(index, "text height", control->Text, wrapped.bottom, client.bottom, whole);
    ok(whole,
       "page %d: \"%ls\" needs %d x %d px (one line %d px), static is %d x %d", index, control->Text,
       (int)wrapped.right, (int)wrapped.bottom, (int)line.right, (int)client.right, (int)client.bottom);
    // Placed by its alignment, the text lies on the page even where the
    // static reaches past it.
    LONG left = control->Box.left;
    if (type == SS_CENTER)
        left += (client.right - wrapped.right) / 2;
    else if (type == SS_RIGHT)
        left += client.right - wrapped.right;
    ok(left >= page->left && left + wrapped.right <= page->right && control->Box.top + wrapped.bottom <= page->bottom,
       "page %d: \"%ls\" shows at %d..%d, %d px down, on a page of %d x %d", index, control->Text, (int)left,
       (int)(left + wrapped.right), (int)(control->Box.top + wrapped.bottom), (int)page->right, (int)page->bottom);
}

// The widest number an edit takes: as many of its widest digit as its
// limit allows.
void WidestNumber(HWND edit, WCHAR *number, int size)
{
    int limit = (int)SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
    if (limit > size - 1)
        limit = size - 1;
    WCHAR widest = L'0';
    int widestWidth = 0;
    for (WCHAR digit = L'0'; digit <= L'9'; digit++) {
        WCHAR one[2] = {digit, 0};
        int width = MeasureText(edit, one, DT_SINGLELINE | DT_NOPREFIX, 0).right;
        if (width > widestWidth) {
            widestWidth = width;
            widest = digit;
        }
    }
    for (int i = 0; i < limit; i++)
        number[i] = widest;
    number[limit] = 0;
}

// The widest number fits inside the edit's margins, and shown with the
// caret after its last digit it does not scroll out of sight.
void CheckEdit(int index, const ControlRecord *control)
{
    HWND edit = control->Window;
    WCHAR number[8];
    WidestNumber(edit, number, ARRAYSIZE(number));
    RECT format;
    SendMessageW(edit, EM_GETRECT, 0, (LPARAM)&format);
    int need = MeasureText(edit, number, DT_SINGLELINE | DT_NOPREFIX, 0).right;
    int room = format.right - format.left;
    PrintFigures(index, "edit width", number, need, room, need <= room);
    ok(need <= room, "page %d: edit %d needs %d px for \"%ls\", has %d inside its margins", index,
       GetDlgCtrlID(edit), need, number, room);
    int length = lstrlenW(number);
    SetWindowTextW(edit, number);
    SendMessageW(edit, EM_SETSEL, length, length);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    int first = (short)LOWORD(SendMessageW(edit, EM_POSFROMCHAR, 0, 0));
    ok(first >= format.left, "page %d: edit %d scrolled \"%ls\" to %d, left of its margin %d", index,
       GetDlgCtrlID(edit), number, first, (int)format.left);
    SetWindowTextW(edit, control->Text);
}

BOOL IsCaptionButton(const ControlRecord *control)
{
    LONG type = control->Style & BS_TYPEMASK;
    return IsClass(control, L"Button") && control->Text[0] != 0 &&
           (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON);
}

BOOL IsGroupBox(const ControlRecord *control)
{
    return IsClass(control, L"Button") && (control->Style & BS_TYPEMASK) == BS_GROUPBOX;
}

// The button drawn (WM_PRINTCLIENT) at `width` x `height` with `text`,
// into `bits` (top-down, one word a pixel).
void DrawButton(HWND button, const WCHAR *text, int width, int height, DWORD *bits)
{
    RECT box;
    GetWindowRect(button, &box);
    MapWindowPoints(NULL, GetParent(button), (POINT *)&box, 2);
    SetWindowPos(button, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    SetWindowTextW(button, text);
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *pixels = NULL;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, NULL, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(button, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    memcpy(bits, pixels, (size_t)width * height * 4);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    SetWindowPos(button, NULL, 0, 0, box.right - box.left, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

// How far the caption's ink reaches (right edge and bottom edge, in
// pixels) when the button is drawn `width` x `height`: the pixels that
// differ from the same button drawn without its caption. Measured as
// drawn, since the button draws its caption narrower than
// GetTextExtentPoint32 measures it.
SIZE CaptionInk(const ControlRecord *control, int width, int height)
{
    static DWORD with[640 * 480], without[640 * 480];
    SIZE reach = {0, 0};
    if (width * height > 640 * 480)
        return reach;
    DrawButton(control->Window, control->Text, width, height, with);
    DrawButton(control->Window, L"", width, height, without);
    SetWindowTextW(control->Window, control->Text);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (with[y * width + x] != without[y * width + x]) {
                reach.cx = x + 1 > reach.cx ? x + 1 : reach.cx;
                reach.cy = y + 1;
            }
    return reach;
}

// Drawn three times as wide (a multi-line one three times as tall, its
// lines starting at the top), the caption's ink must stay inside the
// button's own size.
void CheckCaption(int index, const ControlRecord *control)
{
    RECT client;
    GetClientRect(control->Window, &client);
    BOOL multiline = (control->Style & BS_MULTILINE) != 0;
    SIZE ink = multiline ? CaptionInk(control, client.right, 3 * client.bottom)
                         : CaptionInk(control, 3 * client.right, client.bottom);
    BOOL whole = ink.cx <= client.right && ink.cy <= client.bottom;
    if (multiline)
        PrintFigures(index, "caption lines", control->Text, ink.cy, client.bottom, whole);
    else
        PrintFigures(index, "caption width", control->Text, ink.cx, client.right, whole);
    ok(ink.cx > 0, "page %d: \"%ls\" draws its caption", index, control->Text);
    ok(whole, "page %d: caption \"%ls\" reaches %d x %d px, button is %d x %d", index, control->Text, (int)ink.cx,
       (int)ink.cy, (int)client.right, (int)client.bottom);
}

// What the template puts inside a group box stays inside its frame.
void CheckGroups(int index, const PageControlsRecord *controls, const RECT *templateBoxes)
{
    for (int g = 0; g < controls->Count; g++) {
        const ControlRecord *group = &controls->Controls[g];
        if (!IsGroupBox(group))
            continue;
        for (int i = 0; i < controls->Count; i++) {
            const RECT *was = &templateBoxes[i], *frame = &templateBoxes[g];
            if (i == g || was->left < frame->left || was->right > frame->right || was->top < frame->top ||
                was->bottom > frame->bottom)
                continue;
            const RECT *box = &controls->Controls[i].Box;
            ok(box->bottom <= group->Box.bottom && box->right <= group->Box.right,
               "page %d: \"%ls\" (%d,%d-%d,%d) leaves its group \"%ls\" (%d,%d-%d,%d)", index,
               controls->Controls[i].Text, (int)box->left, (int)box->top, (int)box->right, (int)box->bottom,
               group->Text, (int)group->Box.left, (int)group->Box.top, (int)group->Box.right, (int)group->Box.bottom);
        }
    }
}

INT_PTR CALLBACK InertPageProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The page's visible controls where the template puts them, in pixels,
// in the page's order: the template made once more, unfitted, inside a
// hidden window.
int ReadTemplateBoxes(int index, RECT *boxes, int count)
{
    HWND hidden = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 800, NULL, NULL, NULL, NULL);
    HWND copy = CreateDialogParamW(ModuleInstance, MAKEINTRESOURCEW(510 + index), hidden, InertPageProc, 0);
    int n = 0;
    for (HWND child = GetWindow(copy, GW_CHILD); child != NULL && n < count; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        GetWindowRect(child, &boxes[n]);
        MapWindowPoints(NULL, copy, (POINT *)&boxes[n], 2);
        n++;
    }
    DestroyWindow(copy);
    DestroyWindow(hidden);
    return n;
}

// A group box frames the controls inside it, and an up-down sits on the
// edge of its buddy edit: those overlaps are the layout's own.
BOOL MayOverlap(const ControlRecord *a, const ControlRecord *b)
{
    if ((IsClass(a, L"Button") && (a->Style & BS_TYPEMASK) == BS_GROUPBOX) ||
        (IsClass(b, L"Button") && (b->Style & BS_TYPEMASK) == BS_GROUPBOX))
        return TRUE;
    if (IsClass(a, UPDOWN_CLASSW) && (HWND)SendMessageW(a->Window, UDM_GETBUDDY, 0, 0) == b->Window)
        return TRUE;
    return IsClass(b, UPDOWN_CLASSW) && (HWND)SendMessageW(b->Window, UDM_GETBUDDY, 0, 0) == a->Window;
}

void CheckPlacement(int index, const PageControlsRecord *controls)
{
    for (int i = 0; i < controls->Count; i++) {
        const ControlRecord *a = &controls->Controls[i];
        RECT inside;
        IntersectRect(&inside, &a->Box, &controls->Client);
        // A static's text is held to the page instead.
        ok(IsTextStatic(a) || EqualRect(&inside, &a->Box), "page %d: control %d (%ls) leaves the page", index,
           GetDlgCtrlID(a->Window), a->Text);
        for (int j = i + 1; j < controls->Count; j++) {
            const ControlRecord *b = &controls->Controls[j];
            // Dialog units rounded to pixels can make two controls placed
            // edge to edge share one pixel.
            RECT common;
            if (MayOverlap(a, b) || !IntersectRect(&common, &a->Box, &b->Box) ||
                common.right - common.left <= 1 || common.bottom - common.top <= 1)
                continue;
            ok(FALSE, "page %d: \"%ls\" (%d,%d-%d,%d) overlaps \"%ls\" (%d,%d-%d,%d)", index, a->Text,
               (int)a->Box.left, (int)a->Box.top, (int)a->Box.right, (int)a->Box.bottom, b->Text,
               (int)b->Box.left, (int)b->Box.top, (int)b->Box.right, (int)b->Box.bottom);
        }
    }
}

void CheckPage(HWND sheet, int index)
{
    HWND page = ShowPage(sheet, index);
    // The heading fonts reach their controls when the page paints.
    UpdateWindow(page);
    // No caption is drawn with the focus frame around it.
    SetFocus(GetDlgItem(sheet, IDOK));
    static PageControlsRecord controls;
    CollectControls(page, &controls);
    for (int i = 0; i < controls.Count; i++) {
        if (IsTextStatic(&controls.Controls[i]))
            CheckStatic(index, &controls.Controls[i], &controls.Client);
        else if (IsCaptionButton(&controls.Controls[i]))
            CheckCaption(index, &controls.Controls[i]);
        else if (IsClass(&controls.Controls[i], L"Edit"))
            CheckEdit(index, &controls.Controls[i]);
    }
    CheckPlacement(index, &controls);
    RECT templateBoxes[MaxControls];
    if (ReadTemplateBoxes(index, templateBoxes, MaxControls) == controls.Count)
        CheckGroups(index, &controls, templateBoxes);
    else
        ok(FALSE, "page %d: the template's controls and the page's differ in number", index);
}

// From the last page to the first: the Font Size page's edits are tried
// with their widest numbers before a Time page exists that would follow
// them, so the sheet saves the settings it opened with.
void CheckEveryPage(HWND sheet)
{
    for (int i = OPTIONS_PAGE_COUNT - 1; i >= 0; i--)
        CheckPage(sheet, i);
    PressOk(sheet);
}

void test_every_label_whole()
{
    ArrangeSettings(NULL);
    HDC screen = GetDC(NULL);
    printf("%d dpi\n", GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(NULL, screen);
    RunSheet(CheckEveryPage);
    // Trying the widest numbers left the settings as they were.
    ok_int(StoredSetting(L"HourMinFontSize"), 38);
    ok_int(StoredSetting(L"TimeMarkerFontSize"), 9);
    ok_int(StoredSetting(L"SingleTMLine"), 0);
}

// A device whose system face sets the 8-point headings larger and wider
// than Tahoma: seen in ja-JP at 192 dpi, where "Action: " needs 154 x 28 px
// in the bold heading font and 82 x 25 px in Tahoma's. The heading fonts
// (bold, 8 points, in the system font's face) are made so here, a quarter
// taller and twice as wide, through this program's CreateFontIndirectW.
struct LargeFaceRecord {
    HFONT(WINAPI *Create)(const LOGFONTW *font);
    LONG HeadingHeight;
};
LargeFaceRecord LargeFace;

HFONT WINAPI CreateLargeHeadingFont(const LOGFONTW *font)
{
    LOGFONTW large = *font;
    if (font->lfWeight == FW_BOLD && font->lfHeight == LargeFace.HeadingHeight) {
        large.lfHeight = font->lfHeight * 5 / 4;
        large.lfWidth = -font->lfHeight;
    }
    return LargeFace.Create(&large);
}

// The pages with headings, last first.
void CheckHeadingPages(HWND sheet)
{
    const int pages[] = {AboutPage, ClearTypePage, GeneralPage};
    for (int index : pages)
        CheckPage(sheet, index);
    PressOk(sheet);
}

void test_headings_in_a_larger_system_face()
{
    ArrangeSettings(NULL);
    HDC screen = GetDC(NULL);
    LargeFace.HeadingHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(NULL, screen);
    HMODULE self = GetModuleHandleW(NULL);
    void *original = NULL;
    ok(ReplaceImport(self, "gdi32.dll", "CreateFontIndirectW", (void *)CreateLargeHeadingFont, &original) > 0,
       "CreateFontIndirectW replaced\n");
    LargeFace.Create = (HFONT(WINAPI *)(const LOGFONTW *))original;
    RunSheet(CheckHeadingPages);
    ReplaceImport(self, "gdi32.dll", "CreateFontIndirectW", original, NULL);
}

// A wrapped text in a group box that needs more lines than it has: it
// grows, the group's frame grows with it, and what stands below the group
// moves down out of the frame's way. Laid out in pixels on a plain window,
// in the system font.
struct GroupCase {
    const WCHAR *Text;
    int TextHeight;       // the static's height as placed
};
const GroupCase GroupCases[] = {
    {L"one two three four five six seven eight nine ten eleven twelve", 16},
    {L"one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen", 32},
};

void test_group_frame_holds_its_text()
{
    for (const GroupCase &c : GroupCases) {
        HWND page = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 240, 300, NULL, NULL, NULL, NULL);
        HWND group = CreateWindowExW(0, L"Button", L"Group", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 10, 200,
                                     36 + c.TextHeight, page, NULL, NULL, NULL);
        HWND text = CreateWindowExW(0, L"Static", c.Text, WS_CHILD | WS_VISIBLE | SS_LEFT, 20, 30, 150, c.TextHeight,
                                    page, NULL, NULL, NULL);
        HWND below = CreateWindowExW(0, L"Button", L"Below", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10,
                                     60 + c.TextHeight, 100, 20, page, NULL, NULL, NULL);
        FitPageTexts(page);
        RECT g, t, b;
        GetWindowRect(group, &g);
        GetWindowRect(text, &t);
        GetWindowRect(below, &b);
        MapWindowPoints(NULL, page, (POINT *)&g, 2);
        MapWindowPoints(NULL, page, (POINT *)&t, 2);
        MapWindowPoints(NULL, page, (POINT *)&b, 2);
        RECT need = MeasureText(text, c.Text, DT_WORDBREAK | DT_EXPANDTABS, t.right - t.left);
        ok(need.bottom <= t.bottom - t.top, "\"%.20ls\": text needs %d px, static is %d\n", c.Text, (int)need.bottom,
           (int)(t.bottom - t.top));
        ok(need.bottom > c.TextHeight, "\"%.20ls\": %d px needed is more than the %d px it had\n", c.Text,
           (int)need.bottom, c.TextHeight);
        // The frame keeps its 16 px under the text, and the button its 14 px
        // under the frame.
        ok_int(g.bottom - t.bottom, 16);
        ok_int(b.top - g.bottom, 14);
        DestroyWindow(page);
    }
}

} // namespace

int main()
{
    OptionsTestSetup();
    run_test(test_every_label_whole);
    run_test(test_headings_in_a_larger_system_face);
    run_test(test_group_frame_holds_its_text);
    return TestSummary();
}
