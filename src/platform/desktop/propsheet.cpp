// The handheld's full-screen property sheet on desktop comctl32.
//
// What the desktop sheet does differently, measured under Wine's comctl32:
// - Header flag 0x2000 (PSH_MAXIMIZE on the handheld) selects the wizard
//   layout (Back/Next, no tabs), so it is taken out here.
// - Without it the sheet is sized for its pages in the sheet's own dialog
//   font: 336 x 258 pixels on a 240 x 320 screen at 96 dpi, with OK and
//   Cancel. FitSheetToScreen gives it the screen and hides Cancel.
// - With no caption given, the desktop sheet is titled "Properties for %s";
//   the handheld's has no title of its own.
// - The Cancel path (Escape, the close box, WM_CLOSE) still exists: a
//   desktop dialog turns Escape and the close box into IDCANCEL. The
//   options save whatever way the sheet closes, so nothing is lost.
#include "propsheet.h"

namespace {

// Control ids of the desktop sheet's own controls.
const int SheetTabControl = 0x3020;
const int SheetApplyButton = 0x3021;

// What the stand-in keeps for one sheet. It lives on the stack of the
// PropertySheetW call that runs the sheet and is listed, innermost call
// first, for exactly as long as that call runs, so that sheets open at the
// same time never share it and nothing points into a frame that has ended
// (a modeless sheet outlives the call: its later callbacks are not passed
// on). The sheet's window is left as comctl32 made it: no property of ours.
struct HandheldSheetRecord {
    PFNPROPSHEETCALLBACK ItemCallback;   // the caller's sheet callback, if any
    BOOL Untitled;                       // the caller gave no caption
    HWND Sheet;                          // NULL until the window exists
    HandheldSheetRecord *Outer;          // the call this one runs inside
};

HandheldSheetRecord *OpenSheets;

// The record of `sheet`; before its window is known, the innermost call's
// (the first callbacks arrive before the window exists).
HandheldSheetRecord *SheetRecordOf(HWND sheet)
{
    for (HandheldSheetRecord *record = OpenSheets; record; record = record->Outer)
        if (sheet != NULL && record->Sheet == sheet)
            return record;
    return OpenSheets && OpenSheets->Sheet == NULL ? OpenSheets : NULL;
}

void ForgetSheetRecord(HandheldSheetRecord *gone)
{
    for (HandheldSheetRecord **link = &OpenSheets; *link; link = &(*link)->Outer)
        if (*link == gone) {
            *link = gone->Outer;
            return;
        }
}

int CALLBACK HandheldSheetCallback(HWND sheet, UINT message, LPARAM lParam)
{
    HandheldSheetRecord *record = SheetRecordOf(sheet);
    if (message == PSCB_INITIALIZED) {
        if (record && record->Sheet == NULL)
            record->Sheet = sheet;
        FitSheetToScreen(sheet);
        // Desktop comctl32 makes up a caption ("Properties for ...") when
        // none is given; the handheld shows none of its own.
        if (record && record->Untitled)
            SetWindowTextW(sheet, L"");
    }
    if (record == NULL || record->ItemCallback == NULL)
        return 0;
    return record->ItemCallback(sheet, message, lParam);
}

void HideSheetButton(HWND sheet, int id)
{
    HWND button = GetDlgItem(sheet, id);
    if (button != NULL)
        ShowWindow(button, SW_HIDE);
}

// Places OK at the bottom right corner of the client area, `margin` pixels
// in; returns its top edge.
int PlaceOkButton(HWND sheet, const RECT *client, int margin)
{
    HWND ok = GetDlgItem(sheet, IDOK);
    if (ok == NULL)
        return client->bottom;
    RECT rect;
    GetWindowRect(ok, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int top = client->bottom - margin - height;
    SetWindowPos(ok, NULL, client->right - margin - width, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return top;
}

// One row of tabs along the bottom, as on the handheld, and a display area
// as wide as the client: the tab control's side and top borders lie just
// outside the client area.
void PlaceTabs(HWND sheet, const RECT *client, int bottom)
{
    HWND tabs = GetDlgItem(sheet, SheetTabControl);
    if (tabs == NULL)
        return;
    LONG style = GetWindowLongW(tabs, GWL_STYLE);
    SetWindowLongW(tabs, GWL_STYLE, (style & ~TCS_MULTILINE) | TCS_BOTTOM);
    SetWindowPos(tabs, NULL, 0, 0, client->right, bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT display = {0, 0, client->right, bottom};
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&display);
    int left = display.left, top = display.top, right = client->right - display.right;
    SetWindowPos(tabs, NULL, -left, -top, client->right + left + right, bottom + top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void FitSheetToScreen(HWND sheet)
{
    SetWindowPos(sheet, NULL, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HideSheetButton(sheet, IDCANCEL);
    HideSheetButton(sheet, SheetApplyButton);
    HideSheetButton(sheet, IDHELP);
    RECT client, margin = {0, 0, 4, 4};
    GetClientRect(sheet, &client);
    MapDialogRect(sheet, &margin);
    int okTop = PlaceOkButton(sheet, &client, margin.bottom);
    PlaceTabs(sheet, &client, okTop - margin.bottom);
}

INT_PTR WINAPI HandheldPropertySheetW(LPCPROPSHEETHEADERW header)
{
    if (header == NULL || !(header->dwFlags & PSH_MAXIMIZE))
        return PropertySheetW(header);
    PROPSHEETHEADERW desktop = *header;
    desktop.dwFlags &= ~PSH_MAXIMIZE;
    HandheldSheetRecord record;
    record.ItemCallback = (header->dwFlags & PSH_USECALLBACK) ? header->pfnCallback : NULL;
    record.Untitled = header->pszCaption == NULL;
    record.Sheet = NULL;
    record.Outer = OpenSheets;
    desktop.dwFlags |= PSH_USECALLBACK;
    desktop.pfnCallback = HandheldSheetCallback;
    OpenSheets = &record;
    INT_PTR result = PropertySheetW(&desktop);
    ForgetSheetRecord(&record);
    return result;
}
