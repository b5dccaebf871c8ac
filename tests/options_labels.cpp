// Every word of the options pages shows whole in the device's fonts: each
// static's text (wrapped as the static wraps it) lies within the static,
// each edit holds the widest number it accepts inside its margins, and no
// two controls of a page overlap or leave the page. Run at 96, 128 and
// 192 dpi; the figures of every text are printed.
#include "testlib.h"
#include "options/optionstest.h"
#include "options.h"
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
    static PageControlsRecord controls;
    CollectControls(page, &controls);
    for (int i = 0; i < controls.Count; i++) {
        if (IsTextStatic(&controls.Controls[i]))
            CheckStatic(index, &controls.Controls[i], &controls.Client);
        else if (IsClass(&controls.Controls[i], L"Edit"))
            CheckEdit(index, &controls.Controls[i]);
    }
    CheckPlacement(index, &controls);
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

} // namespace

int main()
{
    OptionsTestSetup();
    run_test(test_every_label_whole);
    return TestSummary();
}
