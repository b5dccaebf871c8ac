// The ClearType page: ClearType per line of the face.
#include "pages.h"
#include "settings.h"

namespace {

INT_PTR OnInitDialog(HWND page)
{
    OptionsSheet.PageWindows[ClearTypePage] = page;
    SetBoxChecked(page, IDC_CLEARTYPE_DAYDATE, ClockSettings.ClearTypeDayDateEnabled != 0);
    SetBoxChecked(page, IDC_CLEARTYPE_TIME, ClockSettings.ClearTypeTimeEnabled != 0);
    FitPageTexts(page);
    return 0;
}

} // namespace

INT_PTR CALLBACK ClearTypePageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_PAINT:
        return PaintPageHeader(page, ClearTypePage);
    case WM_NCDESTROY:
        ReleasePageFonts(ClearTypePage);
        return 0;
    }
    return FALSE;
}

void SaveClearTypePage(HWND page, HKEY key)
{
    ClockSettings.ClearTypeDayDateEnabled = IsBoxChecked(page, IDC_CLEARTYPE_DAYDATE) ? 1 : 0;
    ClockSettings.ClearTypeTimeEnabled = IsBoxChecked(page, IDC_CLEARTYPE_TIME) ? 1 : 0;
    WriteSettingDword(key, L"ClearTypeDayDateEnabled", ClockSettings.ClearTypeDayDateEnabled);
    WriteSettingDword(key, L"ClearTypeTimeEnabled", ClockSettings.ClearTypeTimeEnabled);
}
