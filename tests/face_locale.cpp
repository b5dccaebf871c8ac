// Locale time and date formats with Wine's real locale data (the locale is
// chosen per process through LC_ALL) and with user overrides.
//
// SetLocaleInfoW writes the user's overrides into the device's registry,
// where they would outlive this test. The checks therefore run in a child
// process; before and after it, the parent marks the stored locale as
// stale, so that the next process in this device (the child first) starts
// from the locale's own data again.
#include "testlib.h"
#include "settings.h"
#include "timeformat.h"
#include "itemwindow.h"
#include "phone.h"
#include <string.h>
#include <wchar.h>

static const WCHAR InternationalKey[] = L"Control Panel\\International";

// Thursday, 14 March 2024, 14:05:09.
static const SYSTEMTIME Thursday = {2024, 3, 4, 14, 14, 5, 9, 0};

struct LocaleExpectations {
    const char *Name;
    const WCHAR *TimeFormat;
    DWORD Is24Hour;
    DWORD HourNoLeadingZero;
    const WCHAR *HourPicture;
    const WCHAR *AmMarker;
    const WCHAR *PmMarker;
    const WCHAR *LongDate;
    const WCHAR *ShortDate;
    const WCHAR *DayName;
};

static const LocaleExpectations Locales[] = {
    {"en-US", L"h:mm:ss tt", 0, 1, L"h", L"AM", L"PM", L"Thursday, March 14, 2024", L"3/14/2024", L"Thursday"},
    {"de-DE", L"HH:mm:ss", 1, 0, L"HH", L"", L"", L"Donnerstag, 14. M\x00e4rz 2024", L"14.3.2024", L"Donnerstag"},
    {"en-GB", L"HH:mm:ss", 1, 0, L"HH", L"", L"", L"Thursday, 14 March 2024", L"14/03/2024", L"Thursday"},
    {"ja-JP", L"H:mm:ss", 1, 1, L"H", L"", L"", L"2024\x5e74" L"3\x6708" L"14\x65e5\x6728\x66dc\x65e5",
     L"2024/3/14", L"\x6728\x66dc\x65e5"},
};

static const LocaleExpectations *Expected;

static void Override(LCTYPE type, const WCHAR *value)
{
    ok(SetLocaleInfoW(LOCALE_USER_DEFAULT, type, value), "SetLocaleInfoW(%lu, %ls) failed\n", type, value);
}

static void ForgetTimeFormat()
{
    TimeFormatInfo = TimeFormatInfoRecord();
}

static BOOL Refresh()
{
    BOOL relayout = 2;
    BOOL changed = RefreshTimeFormat(&relayout);
    ok_int(relayout, changed);
    return changed;
}

static void ResetDayDateSettings(DWORD shortDate, DWORD center, DWORD opName)
{
    ClockSettings.ShowShortDate = shortDate;
    ClockSettings.CenterDayDate = center;
    ClockSettings.ShowOpName = opName;
}

static void CheckDayDate(const WCHAR *daySlot, const WCHAR *date, DWORD arrangement)
{
    DayDateTexts texts;
    memset(&texts, 0x55, sizeof(texts));
    ComposeDayDate(&Thursday, &texts);
    ok_wstr(texts.DaySlot, daySlot);
    ok_wstr(texts.Date, date);
    ok_int(texts.Arrangement, arrangement);
}

static void test_real_time_format()
{
    ClockSettings.ShowTimeMarkers = 1;
    ForgetTimeFormat();
    ItemState.BackgroundDirty = 0;
    ok_int(Refresh(), TRUE);
    ok_int(ItemState.BackgroundDirty, 1);
    ok_wstr(TimeFormatInfo.TimeFormat, Expected->TimeFormat);
    ok_int(TimeFormatInfo.Is24Hour, Expected->Is24Hour);
    ok_int(TimeFormatInfo.HourNoLeadingZero, Expected->HourNoLeadingZero);
    ok_wstr(HourPicture(), Expected->HourPicture);
    ok_wstr(TimeFormatInfo.AmMarker, Expected->AmMarker);
    ok_wstr(TimeFormatInfo.PmMarker, Expected->PmMarker);
    ok_int(TimeFormatInfo.MarkersPresent, Expected->AmMarker[0] != 0);
    // Nothing changed since: nothing reported, nothing dirtied.
    ItemState.BackgroundDirty = 0;
    ok_int(Refresh(), FALSE);
    ok_int(ItemState.BackgroundDirty, 0);
}

static void test_real_day_date()
{
    // Every one of these locales names the day in its long date: the line
    // is centred, the user's arrangement stays as it was.
    ResetDayDateSettings(0, 0, 0);
    CheckDayDate(L"", Expected->LongDate, 1);
    ok_int(ClockSettings.CenterDayDate, 0);

    ResetDayDateSettings(1, 0, 0);
    CheckDayDate(Expected->DayName, Expected->ShortDate, 0);
    ResetDayDateSettings(1, 2, 0);
    CheckDayDate(Expected->DayName, Expected->ShortDate, 2);
    ResetDayDateSettings(1, 1, 0);
    CheckDayDate(L"", Expected->ShortDate, 1);
    lstrcpyW(OperatorText, L"Marrowfen Mobile");
    ResetDayDateSettings(1, 0, 1);
    CheckDayDate(L"Marrowfen Mobile", Expected->ShortDate, 0);
    ResetDayDateSettings(1, 1, 1);
    CheckDayDate(L"Marrowfen Mobile", Expected->ShortDate, 1);
}

struct MarkerExample {
    const WCHAR *Format;
    DWORD Is24Hour;
    const WCHAR *HourPicture;
    const WCHAR *Am;
    const WCHAR *Pm;
};

static void test_marker_examples()
{
    static const MarkerExample examples[] = {
        {L"H:mm:ss", 1, L"H", L"", L""},
        {L"HH:mm:ss", 1, L"HH", L"", L""},
        {L"h:mm:ss tt", 0, L"h", L"AM", L"PM"},
        {L"tt hh:mm:ss", 0, L"hh", L"AM", L"PM"},
        {L"h:mm t", 0, L"h", L"A", L"P"},
        {L"h:mm tt.", 0, L"h", L"AM.", L"PM."},
        {L"hh:mm ttt", 0, L"hh", L"AM", L"PM"},
        {L"h:mm 'tt'", 0, L"h", L"AM'", L"PM'"},
        {L"t-tt h", 0, L"h", L"A-AM", L"P-PM"},
        // A literal longer than the markers' draft: the draft takes what
        // fits, and the markers their first 9 characters.
        {L"h:mm tt'---------------------------------------------------", 0, L"h", L"AM'------", L"PM'------"},
        {L"HH:mm h tt", 1, L"HH", L"AM", L"PM"},
    };
    Override(LOCALE_S1159, L"AM");
    Override(LOCALE_S2359, L"PM");
    ClockSettings.ShowTimeMarkers = 1;
    for (const MarkerExample &example : examples) {
        Override(LOCALE_STIMEFORMAT, example.Format);
        ForgetTimeFormat();
        ok_int(Refresh(), TRUE);
        ok_wstr(TimeFormatInfo.TimeFormat, example.Format);
        ok_int(TimeFormatInfo.Is24Hour, example.Is24Hour);
        ok_wstr(HourPicture(), example.HourPicture);
        ok_wstr(TimeFormatInfo.AmMarker, example.Am);
        ok_wstr(TimeFormatInfo.PmMarker, example.Pm);
        ok_int(TimeFormatInfo.MarkersPresent, example.Am[0] != 0);
    }

    // Designators that the locale leaves empty make no markers.
    Override(LOCALE_S1159, L"");
    Override(LOCALE_S2359, L"");
    WCHAR am[MARKER_CHARS], pm[MARKER_CHARS];
    ExtractMarkers(L"h:mm tt", am, pm);
    ok_wstr(am, L"");
    ok_wstr(pm, L"");
    ExtractMarkers(L"", am, pm);
    ok_wstr(am, L"");

    // With markers hidden they are not derived again, but whether any is
    // present still follows the stored ones.
    Override(LOCALE_S1159, L"vm");
    Override(LOCALE_S2359, L"nm");
    Override(LOCALE_STIMEFORMAT, L"h:mm tt");
    ClockSettings.ShowTimeMarkers = 0;
    ok_int(Refresh(), TRUE);
    ok_wstr(TimeFormatInfo.AmMarker, L"AM");
    ok_int(TimeFormatInfo.MarkersPresent, 1);
    TimeFormatInfo.AmMarker[0] = TimeFormatInfo.PmMarker[0] = 0;
    ok_int(Refresh(), FALSE);
    ok_int(TimeFormatInfo.MarkersPresent, 0);
    ClockSettings.ShowTimeMarkers = 1;
    ok_int(Refresh(), TRUE);
    ok_wstr(TimeFormatInfo.AmMarker, L"vm");
    ok_wstr(TimeFormatInfo.PmMarker, L"nm");

    // One designator changed alone, the format as it was: news either way,
    // the marker column is measured again.
    Override(LOCALE_S1159, L"a.m.");
    ok_int(Refresh(), TRUE);
    ok_wstr(TimeFormatInfo.AmMarker, L"a.m.");
    Override(LOCALE_S2359, L"p.m.");
    ok_int(Refresh(), TRUE);
    ok_wstr(TimeFormatInfo.PmMarker, L"p.m.");

    // The one-letter form is the first character as a reader sees it: a
    // letter with its mark, both halves of a surrogate pair.
    Override(LOCALE_STIMEFORMAT, L"h:mm t");
    Override(LOCALE_S1159, L"A\x030Am");
    Override(LOCALE_S2359, L"\xD835\xDC0Fm");
    ok_int(Refresh(), TRUE);
    ok_wstr(TimeFormatInfo.AmMarker, L"A\x030A");
    ok_wstr(TimeFormatInfo.PmMarker, L"\xD835\xDC0F");
}

static void test_overridden_day_date()
{
    Override(LOCALE_SLONGDATE, L"MMMM d, yyyy");
    ResetDayDateSettings(0, 0, 0);
    WCHAR longDate[DAY_DATE_CHARS], dayName[DAY_DATE_CHARS];
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &Thursday, NULL, longDate, DAY_DATE_CHARS);
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &Thursday, L"dddd", dayName, DAY_DATE_CHARS);
    CheckDayDate(dayName, longDate, 0);
    ResetDayDateSettings(0, 2, 0);
    CheckDayDate(dayName, longDate, 2);
    ResetDayDateSettings(0, 1, 0);
    CheckDayDate(L"", longDate, 1);
    ResetDayDateSettings(0, 2, 1);
    CheckDayDate(OperatorText, longDate, 2);
    // An arrangement the painter does not know still gets the day name;
    // the painter centres the date alone.
    ResetDayDateSettings(0, 7, 0);
    CheckDayDate(dayName, longDate, 7);

    Override(LOCALE_SLONGDATE, L"dddd, MMMM dd, yyyy");
    ResetDayDateSettings(0, 0, 1);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &Thursday, NULL, longDate, DAY_DATE_CHARS);
    CheckDayDate(OperatorText, longDate, 1);
    ok_int(ClockSettings.CenterDayDate, 0);

    // Back to a long date without the day (as ms-BN and vo have it): the
    // day name and the two columns come back at the next read, both ways.
    Override(LOCALE_SLONGDATE, L"d MMMM yyyy");
    ResetDayDateSettings(0, 2, 0);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &Thursday, NULL, longDate, DAY_DATE_CHARS);
    CheckDayDate(dayName, longDate, 2);
    Override(LOCALE_SLONGDATE, L"dddd d MMMM yyyy");
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &Thursday, NULL, longDate, DAY_DATE_CHARS);
    CheckDayDate(L"", longDate, 1);
    Override(LOCALE_SLONGDATE, L"d MMMM yyyy");
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &Thursday, NULL, longDate, DAY_DATE_CHARS);
    CheckDayDate(dayName, longDate, 2);
    ok_int(ClockSettings.CenterDayDate, 2);
}

// Locale strings longer than the buffers are cut to fit; nothing beyond a
// buffer is written.
static void test_overlong_strings()
{
    WCHAR format[100];
    ClockSettings.ShowTimeMarkers = 1;
    for (int i = 0; i < 59; i++)
        format[i] = (i % 3 == 2) ? L':' : L'H';
    format[59] = 0;
    Override(LOCALE_STIMEFORMAT, format);
    ok_int(Refresh(), TRUE);
    ok_wstr(TimeFormatInfo.TimeFormat, format);
    ok_int(TimeFormatInfo.Is24Hour, 1);

    const WCHAR *longFormat = L"hh.mm.ss tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt tt";
    Override(LOCALE_STIMEFORMAT, longFormat);
    Override(LOCALE_S1159, L"ABCDEFGHIJKLMNOP");
    Override(LOCALE_S2359, L"abcdefghijklmnop");
    ok_int(Refresh(), TRUE);
    ok_int(lstrlenW(TimeFormatInfo.TimeFormat), TIME_FORMAT_CHARS - 1);
    ok(wcsncmp(TimeFormatInfo.TimeFormat, longFormat, TIME_FORMAT_CHARS - 1) == 0, "format \"%ls\"\n",
       TimeFormatInfo.TimeFormat);
    ok_int(TimeFormatInfo.Is24Hour, 0);
    ok_int(TimeFormatInfo.HourNoLeadingZero, 0);
    // Designators keep their first 8 characters.
    ok_wstr(TimeFormatInfo.AmMarker, L"ABCDEFGH");
    ok_wstr(TimeFormatInfo.PmMarker, L"abcdefgh");
    // Unchanged over-long data is not reported as a change again.
    ok_int(Refresh(), FALSE);

    // A marker result stops growing at 9 characters.
    WCHAR am[MARKER_CHARS + 2], pm[MARKER_CHARS + 2];
    am[MARKER_CHARS] = pm[MARKER_CHARS] = L'#';
    ExtractMarkers(L"tt'tt", am, pm);
    ok_wstr(am, L"ABCDEFGH'");
    ok_wstr(pm, L"abcdefgh'");
    ok_int(am[MARKER_CHARS], L'#');
    ExtractMarkers(L"t.t.t.t.t.t.t", am, pm);
    ok_wstr(am, L"A.A.A.A.A");
    // A cut never leaves half of a surrogate pair.
    Override(LOCALE_S1159, L"ABCDEFG\xD83D\xDE00");
    ExtractMarkers(L"tt", am, pm);
    ok_wstr(am, L"ABCDEFG");

    // Dates longer than 59 characters are cut.
    Override(LOCALE_SLONGDATE, L"'Sternzeit des Donnerstags im Fruehjahr nach dem Kalender von' d. MMMM yyyy");
    ResetDayDateSettings(0, 1, 0);
    DayDateTexts texts;
    ComposeDayDate(&Thursday, &texts);
    ok_int(lstrlenW(texts.Date), DAY_DATE_CHARS - 1);
    ok(wcsncmp(texts.Date, L"Sternzeit des Donnerstags", 25) == 0, "date \"%ls\"\n", texts.Date);
}

static int RunChecks(const char *name)
{
    WCHAR actual[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(actual, LOCALE_NAME_MAX_LENGTH);
    for (const LocaleExpectations &locale : Locales) {
        WCHAR wide[16];
        MultiByteToWideChar(CP_ACP, 0, locale.Name, -1, wide, 16);
        if (strcmp(locale.Name, name) == 0) {
            Expected = &locale;
            ok_wstr(actual, wide);
        }
    }
    ok(Expected != NULL, "no expectations for %s\n", name);
    if (Expected == NULL)
        return TestSummary();
    run_test(test_real_time_format);
    run_test(test_real_day_date);
    run_test(test_marker_examples);
    run_test(test_overridden_day_date);
    run_test(test_overlong_strings);
    return TestSummary();
}

// A locale name that matches no locale: the next process takes its
// locale's own data again instead of the overrides stored here.
static void MarkStoredLocaleStale()
{
    SetRegString(HKEY_CURRENT_USER, InternationalKey, L"LocaleName", L"stale");
}

static int RunChild(const char *name)
{
    WCHAR self[MAX_PATH], commandLine[MAX_PATH + 64];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    wsprintfW(commandLine, L"\"%s\" child %hs", self, name);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(self, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        printf("cannot start the checks: error %lu\n", GetLastError());
        return 1;
    }
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc >= 3 && strcmp(argv[1], "child") == 0)
        return RunChecks(argv[2]);
    MarkStoredLocaleStale();
    int code = RunChild(argc >= 2 ? argv[1] : "en-US");
    MarkStoredLocaleStale();
    return code;
}
