// The Font Size page: hour/minute, seconds and marker sizes in points. The
// seconds and marker sizes never exceed the hour/minute size.
#include "pages.h"
#include "settings.h"
#include <commctrl.h>

namespace {

const int SizeChars = 3;            // two digits and the terminator
const int HourMinuteLowest = 16;
const int HourMinuteHighest = 99;
const int SecondLowest = 16;
const int MarkerLowest = 6;

DWORD ReadSize(HWND page, int edit)
{
    return ReadControlNumber(page, edit, SizeChars);
}

DWORD ClampSize(DWORD size, DWORD lowest, DWORD highest)
{
    if (size < lowest)
        return lowest;
    return size > highest ? highest : size;
}

// Seconds and markers may go up to the hour/minute size.
void LimitDependentRanges(HWND page, int hourMinute)
{
    SetUpDownRange(page, IDC_SECOND_SPIN, SecondLowest, LOWORD(hourMinute));
    SetUpDownRange(page, IDC_MARKER_SPIN, MarkerLowest, LOWORD(hourMinute));
}

// The seconds size can only be edited while there is room above its
// lowest size.
void EnableSecondSize(HWND page, int hourMinute)
{
    BOOL enable = hourMinute > HourMinuteLowest;
    EnableControl(page, IDC_SECOND_EDIT, enable);
    EnableControl(page, IDC_SECOND_SPIN, enable);
}

void KeepSecondSize(HWND page, int hourMinute)
{
    int second = (int)ReadSize(page, IDC_SECOND_EDIT);
    if (hourMinute < SecondLowest)
        SetUpDownPos(page, IDC_SECOND_SPIN, SecondLowest);
    else if (second > hourMinute)
        SetUpDownPos(page, IDC_SECOND_SPIN, hourMinute);
}

void KeepMarkerSize(HWND page, int hourMinute)
{
    int marker = (int)ReadSize(page, IDC_MARKER_EDIT);
    if (hourMinute < MarkerLowest)
        SetUpDownPos(page, IDC_MARKER_SPIN, MarkerLowest);
    else if (marker > hourMinute)
        SetUpDownPos(page, IDC_MARKER_SPIN, hourMinute);
}

void OnHourMinuteChanged(HWND page, int hourMinute)
{
    LimitDependentRanges(page, hourMinute);
    EnableSecondSize(page, hourMinute);
    KeepSecondSize(page, hourMinute);
    KeepMarkerSize(page, hourMinute);
    EnableSecondSize(page, hourMinute);
}

INT_PTR OnInitDialog(HWND page)
{
    OptionsSheet.PageWindows[FontSizePage] = page;
    SendDlgItemMessageW(page, IDC_HOURMIN_EDIT, EM_LIMITTEXT, SizeChars - 1, 0);
    SendDlgItemMessageW(page, IDC_SECOND_EDIT, EM_LIMITTEXT, SizeChars - 1, 0);
    SendDlgItemMessageW(page, IDC_MARKER_EDIT, EM_LIMITTEXT, SizeChars - 1, 0);
    SetUpDownVersion(page, IDC_HOURMIN_SPIN);
    SetUpDownVersion(page, IDC_SECOND_SPIN);
    SetUpDownVersion(page, IDC_MARKER_SPIN);
    // A size beyond what the page offers is shown as the nearest it offers:
    // an edit of two digits would show a stored 100 as 10, and the seconds
    // and markers are limited by the hour/minute size as shown. The ranges
    // come first so that no position is judged against an up-down's default
    // range (0 to 100); with the sizes clamped, the order alone changes
    // nothing. Each position rewrites its edit, and the edits' change
    // notices run the couplings below already now.
    SetUpDownRange(page, IDC_HOURMIN_SPIN, HourMinuteLowest, HourMinuteHighest);
    DWORD hourMinute = ClampSize(ClockSettings.HourMinFontSize, HourMinuteLowest, HourMinuteHighest);
    SetUpDownPos(page, IDC_HOURMIN_SPIN, (int)hourMinute);
    LimitDependentRanges(page, (int)hourMinute);
    SetUpDownPos(page, IDC_SECOND_SPIN, (int)ClampSize(ClockSettings.SecondFontSize, SecondLowest, hourMinute));
    SetUpDownPos(page, IDC_MARKER_SPIN, (int)ClampSize(ClockSettings.TimeMarkerFontSize, MarkerLowest, hourMinute));
    if (ReadSize(page, IDC_HOURMIN_EDIT) == HourMinuteLowest) {
        EnableControl(page, IDC_SECOND_EDIT, FALSE);
        EnableControl(page, IDC_SECOND_SPIN, FALSE);
    }
    FitPageTexts(page);
    return 0;
}

INT_PTR OnCommand(HWND page, WPARAM wParam)
{
    if (HIWORD(wParam) != EN_CHANGE)
        return 0;
    int hourMinute = (int)ReadSize(page, IDC_HOURMIN_EDIT);
    int edit = LOWORD(wParam);
    if (edit == IDC_HOURMIN_EDIT)
        OnHourMinuteChanged(page, hourMinute);
    if (edit == IDC_HOURMIN_EDIT || edit == IDC_MARKER_EDIT)
        FollowMarkerSize();
    return 0;
}

} // namespace

INT_PTR CALLBACK FontSizePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_COMMAND:
        return OnCommand(page, wParam);
    case WM_PAINT:
        return PaintPageHeader(page, FontSizePage);
    case WM_NCDESTROY:
        ReleasePageFonts(FontSizePage);
        return 0;
    }
    return FALSE;
}

void SaveFontSizePage(HWND page, HKEY key)
{
    DWORD hourMinute = ClampSize(ReadSize(page, IDC_HOURMIN_EDIT), HourMinuteLowest, HourMinuteHighest);
    ClockSettings.HourMinFontSize = hourMinute;
    ClockSettings.SecondFontSize = ClampSize(ReadSize(page, IDC_SECOND_EDIT), SecondLowest, hourMinute);
    ClockSettings.TimeMarkerFontSize = ClampSize(ReadSize(page, IDC_MARKER_EDIT), MarkerLowest, hourMinute);
    WriteSettingDword(key, L"HourMinFontSize", ClockSettings.HourMinFontSize);
    WriteSettingDword(key, L"SecondFontSize", ClockSettings.SecondFontSize);
    WriteSettingDword(key, L"TimeMarkerFontSize", ClockSettings.TimeMarkerFontSize);
}
