// The Day/Date and Time pages, and the marker-height test that the Time
// page shares with the Font Size page.
#include "pages.h"
#include "handheld.h"
#include "settings.h"
#include "phone.h"
#include "fonts.h"
#include "portable.h"
#include <wchar.h>

DWORD PagePhoneStatus;

namespace {

// Phone state bit: a phone radio is present.
const DWORD PhoneRadioPresent = 0x20;
const int LongDateChars = 60;
// Digits that the Font Size edits hold.
const int FontSizeChars = 3;

const int DayDateOptions[] = {IDC_SHORT_DATE, IDC_OPERATOR_NAME, IDC_ALIGN_CENTER, IDC_ALIGN_DAY_LEFT,
                              IDC_ALIGN_DAY_RIGHT, IDC_ALIGN_GROUP};
// The same without the group box, which stays enabled when the page opens
// with the line hidden.
const int DayDateOptionCount = ARRAYSIZE(DayDateOptions);
const int DayDateButtonCount = ARRAYSIZE(DayDateOptions) - 1;

// The user's long date already names the day, so the line is centred. Only
// text that GetLocaleInfoW returned is searched.
BOOL LongDateNamesDay()
{
    WCHAR format[LongDateChars];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, format, ARRAYSIZE(format)) == 0)
        return FALSE;
    format[LongDateChars - 1] = 0;
    return wcsstr(format, L"ddd") != NULL;
}

void CenterForLongDate(HWND page)
{
    SetBoxChecked(page, IDC_ALIGN_DAY_LEFT, FALSE);
    SetBoxChecked(page, IDC_ALIGN_DAY_RIGHT, FALSE);
    EnableControl(page, IDC_ALIGN_DAY_LEFT, FALSE);
    EnableControl(page, IDC_ALIGN_DAY_RIGHT, FALSE);
    SetBoxChecked(page, IDC_ALIGN_CENTER, TRUE);
}

void ApplyLongDateRule(HWND page)
{
    if (LongDateNamesDay())
        CenterForLongDate(page);
}

void DisableOperatorName(HWND page)
{
    SetBoxChecked(page, IDC_OPERATOR_NAME, FALSE);
    EnableControl(page, IDC_OPERATOR_NAME, FALSE);
}

BOOL PhoneRadioReported()
{
    return (PagePhoneStatus & PhoneRadioPresent) != 0;
}

BOOL StoredAlignmentCentred()
{
    return ClockSettings.CenterDayDate != 0 && ClockSettings.CenterDayDate != 2;
}

void SetAlignmentButtons(HWND page, DWORD center)
{
    int checked = center == 0 ? IDC_ALIGN_DAY_LEFT : center == 2 ? IDC_ALIGN_DAY_RIGHT : IDC_ALIGN_CENTER;
    SetBoxChecked(page, IDC_ALIGN_CENTER, checked == IDC_ALIGN_CENTER);
    SetBoxChecked(page, IDC_ALIGN_DAY_LEFT, checked == IDC_ALIGN_DAY_LEFT);
    SetBoxChecked(page, IDC_ALIGN_DAY_RIGHT, checked == IDC_ALIGN_DAY_RIGHT);
}

// A failed read keeps the previous status.
void ReadPagePhoneStatus()
{
    OpenPhoneKey();
    if (PhoneKey == NULL)
        return;
    DWORD status = 0;
    if (SUCCEEDED(RegistryGetDWORD(PhoneKey, NULL, L"Status", &status)))
        PagePhoneStatus = status;
}

INT_PTR OnDayDateInitDialog(HWND page)
{
    OptionsSheet.PageWindows[DayDatePage] = page;
    SetBoxChecked(page, IDC_HIDE_DAYDATE, ClockSettings.ShowDayDate == 0);
    SetBoxChecked(page, IDC_OPERATOR_NAME, ClockSettings.ShowOpName != 0);
    SetAlignmentButtons(page, ClockSettings.CenterDayDate);
    if (ClockSettings.ShowShortDate)
        SetBoxChecked(page, IDC_SHORT_DATE, TRUE);
    else
        ApplyLongDateRule(page);
    ReadPagePhoneStatus();
    // The operator name needs a phone radio and a line that is not centred.
    // A stored arrangement other than 0 and 2 shows (and saves) as centred.
    if (StoredAlignmentCentred() || !PhoneRadioReported())
        DisableOperatorName(page);
    if (IsBoxChecked(page, IDC_HIDE_DAYDATE))
        EnableControls(page, DayDateOptions, DayDateButtonCount, FALSE);
    FitPageTexts(page);
    return 0;
}

void OnHideDayDate(HWND page)
{
    if (IsBoxChecked(page, IDC_HIDE_DAYDATE)) {
        EnableControls(page, DayDateOptions, DayDateOptionCount, FALSE);
        return;
    }
    EnableControls(page, DayDateOptions, DayDateOptionCount, TRUE);
    if (!IsBoxChecked(page, IDC_SHORT_DATE))
        ApplyLongDateRule(page);
    if (IsBoxChecked(page, IDC_ALIGN_CENTER) || !PhoneRadioReported())
        DisableOperatorName(page);
}

void OnShortDate(HWND page)
{
    if (IsBoxChecked(page, IDC_SHORT_DATE)) {
        EnableControl(page, IDC_ALIGN_DAY_LEFT, TRUE);
        EnableControl(page, IDC_ALIGN_DAY_RIGHT, TRUE);
    } else if (LongDateNamesDay()) {
        CenterForLongDate(page);
        DisableOperatorName(page);
    }
}

void OnSideAlignment(HWND page)
{
    if (PhoneRadioReported())
        EnableControl(page, IDC_OPERATOR_NAME, TRUE);
}

INT_PTR OnDayDateCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_HIDE_DAYDATE:
        OnHideDayDate(page);
        break;
    case IDC_SHORT_DATE:
        OnShortDate(page);
        break;
    case IDC_ALIGN_CENTER:
        DisableOperatorName(page);
        break;
    case IDC_ALIGN_DAY_LEFT:
    case IDC_ALIGN_DAY_RIGHT:
        OnSideAlignment(page);
        break;
    }
    return 0;
}

BOOL MarkerTooTallFor(DWORD hourMinuteSize, DWORD markerSize)
{
    // Read afresh each time: the pages keep no resolution cache for this.
    int dpi = ReadDeviceCapability(LOGPIXELSY);
    int h = ScaleRounded((int)hourMinuteSize, dpi, 72);
    int m = ScaleRounded((int)markerSize, dpi, 72);
    return MarkersTooTallToStack(-m, -h);
}

// Markers that tall only fit on the time's line.
void ForceSameLine(HWND page)
{
    SetBoxChecked(page, IDC_MARKERS_SAME_LINE, TRUE);
    EnableControl(page, IDC_MARKERS_SAME_LINE, FALSE);
}

INT_PTR OnTimeInitDialog(HWND page)
{
    OptionsSheet.PageWindows[TimePage] = page;
    SetBoxChecked(page, IDC_SHOW_SECONDS, ClockSettings.ShowSeconds != 0);
    SetBoxChecked(page, IDC_SHOW_ALARM_ICON, ClockSettings.AlarmIconEnabled != 0);
    SetBoxChecked(page, IDC_MARKERS_SAME_LINE, ClockSettings.SingleTMLine != 0);
    if (ClockSettings.ShowTimeMarkers)
        SetBoxChecked(page, IDC_SHOW_MARKERS, TRUE);
    else
        EnableControl(page, IDC_MARKERS_SAME_LINE, FALSE);
    if (MarkerTooTall())
        ForceSameLine(page);
    FitPageTexts(page);
    return 0;
}

INT_PTR OnTimeCommand(HWND page, WPARAM wParam)
{
    if (LOWORD(wParam) != IDC_SHOW_MARKERS)
        return 0;
    if (!IsBoxChecked(page, IDC_SHOW_MARKERS))
        EnableControl(page, IDC_MARKERS_SAME_LINE, FALSE);
    else if (!MarkerTooTall())
        EnableControl(page, IDC_MARKERS_SAME_LINE, TRUE);
    return 0;
}

} // namespace

BOOL MarkerTooTall()
{
    HWND fontSizePage = OptionsSheet.PageWindows[FontSizePage];
    if (fontSizePage == NULL)
        return MarkerTooTallFor(ClockSettings.HourMinFontSize, ClockSettings.TimeMarkerFontSize);
    return MarkerTooTallFor(ReadControlNumber(fontSizePage, IDC_HOURMIN_EDIT, FontSizeChars),
                            ReadControlNumber(fontSizePage, IDC_MARKER_EDIT, FontSizeChars));
}

void FollowMarkerSize()
{
    HWND timePage = OptionsSheet.PageWindows[TimePage];
    if (timePage == NULL)
        return;
    if (MarkerTooTall())
        ForceSameLine(timePage);
    else if (IsBoxChecked(timePage, IDC_SHOW_MARKERS))
        EnableControl(timePage, IDC_MARKERS_SAME_LINE, TRUE);
}

INT_PTR CALLBACK DayDatePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnDayDateInitDialog(page);
    case WM_COMMAND:
        return OnDayDateCommand(page, wParam);
    case WM_PAINT:
        return PaintPageHeader(page, DayDatePage);
    case WM_NCDESTROY:
        ReleasePageFonts(DayDatePage);
        return 0;
    }
    return FALSE;
}

INT_PTR CALLBACK TimePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnTimeInitDialog(page);
    case WM_COMMAND:
        return OnTimeCommand(page, wParam);
    case WM_PAINT:
        return PaintPageHeader(page, TimePage);
    case WM_NCDESTROY:
        ReleasePageFonts(TimePage);
        return 0;
    }
    return FALSE;
}

void SaveDayDatePage(HWND page, HKEY key)
{
    ClockSettings.ShowDayDate = IsBoxChecked(page, IDC_HIDE_DAYDATE) ? 0 : 1;
    ClockSettings.ShowShortDate = IsBoxChecked(page, IDC_SHORT_DATE) ? 1 : 0;
    ClockSettings.ShowOpName = IsBoxChecked(page, IDC_OPERATOR_NAME) ? 1 : 0;
    ClockSettings.CenterDayDate = IsBoxChecked(page, IDC_ALIGN_CENTER) ? 1 : IsBoxChecked(page, IDC_ALIGN_DAY_LEFT) ? 0 : 2;
    WriteSettingDword(key, L"ShowDayDate", ClockSettings.ShowDayDate);
    WriteSettingDword(key, L"ShowShortDate", ClockSettings.ShowShortDate);
    WriteSettingDword(key, L"ShowOpName", ClockSettings.ShowOpName);
    WriteSettingDword(key, L"CenterDayDate", ClockSettings.CenterDayDate);
}

void SaveTimePage(HWND page, HKEY key)
{
    ClockSettings.ShowSeconds = IsBoxChecked(page, IDC_SHOW_SECONDS) ? 1 : 0;
    ClockSettings.AlarmIconEnabled = IsBoxChecked(page, IDC_SHOW_ALARM_ICON) ? 1 : 0;
    ClockSettings.ShowTimeMarkers = IsBoxChecked(page, IDC_SHOW_MARKERS) ? 1 : 0;
    ClockSettings.SingleTMLine = IsBoxChecked(page, IDC_MARKERS_SAME_LINE) ? 1 : 0;
    WriteSettingDword(key, L"ShowSeconds", ClockSettings.ShowSeconds);
    WriteSettingDword(key, L"AlarmIconEnabled", ClockSettings.AlarmIconEnabled);
    WriteSettingDword(key, L"ShowTimeMarkers", ClockSettings.ShowTimeMarkers);
    WriteSettingDword(key, L"SingleTMLine", ClockSettings.SingleTMLine);
}
