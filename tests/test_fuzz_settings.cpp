// Random registry contents for every setting, through load, window
// creation, refresh, paint and (every 25th case) an options session that
// opens every page and saves: nothing may crash or hang, every loaded value
// stays within its load rules and every saved one within the save clamps.
// QZL_FUZZ_CASES sets the number of cases (the full run uses 10,000); the
// seed is fixed.
#include "testlib.h"
#include "fakehost.h"
#include "usage.h"
#include "today-standins.h"
#include "settings.h"
#include "module.h"
#include "itemwindow.h"
#include "timeformat.h"
#include "layout.h"
#include "phone.h"
#include "options.h"
#include "resource.h"
#include <commctrl.h>
#include <stdlib.h>

static const WCHAR *const SettingNames[] = {
    L"AlarmIconEnabled", L"AlphaDayDate", L"AlphaReserved", L"AlphaTime", L"AlphaTransparent",
    L"CenterDayDate", L"ClearTypeDayDateEnabled", L"ClearTypeTimeEnabled", L"HideTimeInSleep",
    L"OverrideARGB", L"HourMinFontSize", L"SecondFontSize", L"TimeMarkerFontSize", L"ShowDayDate",
    L"ShowOpName", L"ShowSeconds", L"ShowShortDate", L"ShowTimeMarkers", L"SingleTMLine",
    L"TapAndHoldEnabled", L"TextColorEnabled", L"ColorExAlarm", L"ColorExDate", L"ColorExDay",
    L"ColorExHour", L"ColorExMinute", L"ColorExSecond", L"ColorExTMarker", L"ColorExTSeparator",
    L"TextColorHighlight", L"TextColorDefault", L"VerticalBorderHeight", L"FileOnAction",
};

// One case in this many also runs an options session over its settings.
static const int OptionsEvery = 25;

static unsigned long long RandomState = 0x5EED1234ABCDull;

static DWORD Random()
{
    return NextRandom(&RandomState);
}

static DWORD RandomDword()
{
    switch (Random() % 4) {
    case 0: return Random() % 4;                    // flags and schemes
    case 1: return Random() % 600;                  // sizes, borders
    case 2: return 0xFFFFFFFF - Random() % 4;       // the top of the range
    default: return Random() ^ (Random() << 16);
    }
}

static void WriteRandomValue(HKEY key, const WCHAR *name)
{
    static BYTE bytes[4096];
    switch (Random() % 6) {
    case 0: // missing
        break;
    case 1:
    case 2: {
        DWORD value = RandomDword();
        RegSetValueExW(key, name, 0, REG_DWORD, (BYTE *)&value, sizeof(value));
        break;
    }
    case 3: { // binary of any size, 0 to 12 bytes
        DWORD size = Random() % 13;
        for (DWORD i = 0; i < size; i++)
            bytes[i] = (BYTE)Random();
        RegSetValueExW(key, name, 0, REG_BINARY, bytes, size);
        break;
    }
    case 4: { // a string, possibly far longer than any buffer
        DWORD chars = Random() % 2 ? Random() % 40 : Random() % 1500;
        WCHAR *text = (WCHAR *)bytes;
        chars = chars < 2000 ? chars : 2000;
        for (DWORD i = 0; i < chars && i < 2000; i++)
            text[i] = (WCHAR)(L' ' + Random() % 90);
        text[chars] = 0;
        RegSetValueExW(key, name, 0, REG_SZ, (BYTE *)text, (chars + 1) * sizeof(WCHAR));
        break;
    }
    default: { // a string without its terminator
        WCHAR *text = (WCHAR *)bytes;
        DWORD chars = 250 + Random() % 20;
        for (DWORD i = 0; i < chars; i++)
            text[i] = L'a' + Random() % 26;
        RegSetValueExW(key, name, 0, REG_SZ, (BYTE *)text, chars * sizeof(WCHAR));
        break;
    }
    }
}

static void WriteRandomSettings()
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    HKEY key = OpenSettingsKey(RegistryWrite);
    if (key == NULL)
        return;
    for (size_t i = 0; i < ARRAYSIZE(SettingNames); i++)
        WriteRandomValue(key, SettingNames[i]);
    // Keep the suspend watcher out of this run; it has tests of its own.
    WriteSettingDword(key, L"HideTimeInSleep", 0);
    WriteReloadMarker(key);
    RegCloseKey(key);
}

static void CheckClamps(int index)
{
    const ClockSettingsRecord &s = ClockSettings;
    ok(s.TextColorDefault <= 0xFFFFFF, "case %d: TextColorDefault %lx", index, s.TextColorDefault);
    ok(s.TextColorHighlight <= 0xFFFFFF, "case %d: TextColorHighlight %lx", index, s.TextColorHighlight);
    ok(s.VerticalBorderHeight <= 500, "case %d: VerticalBorderHeight %lu", index, s.VerticalBorderHeight);
    if (s.TextColorEnabled == 2 || s.TextColorEnabled == 3) {
        const DWORD colours[] = {s.ColorExAlarm, s.ColorExDate, s.ColorExDay, s.ColorExHour,
                                 s.ColorExMinute, s.ColorExSecond, s.ColorExTMarker, s.ColorExTSeparator};
        for (DWORD c : colours)
            ok(c <= 0xFFFFFF, "case %d: element colour %lx", index, c);
    }
    ok(TerminatedWithin(s.FileOnAction, FILE_ON_ACTION_CHARS), "case %d: FileOnAction terminated", index);
    ok(TerminatedWithin(TimeFormatInfo.TimeFormat, TIME_FORMAT_CHARS), "case %d: time format terminated", index);
    ok(TerminatedWithin(TimeFormatInfo.AmMarker, MARKER_CHARS), "case %d: AM marker terminated", index);
    ok(TerminatedWithin(TimeFormatInfo.PmMarker, MARKER_CHARS), "case %d: PM marker terminated", index);
    ok(TerminatedWithin(OperatorText, OPERATOR_TEXT_CHARS), "case %d: operator text terminated", index);
}

// ---- An options session over the random settings -------------------------

struct SheetVisit {
    int NextPage;
};
static SheetVisit Visit;

static BOOL CALLBACK StepThroughSheet(HWND window, LPARAM)
{
    if (!IsWindowVisible(window) || !FindWindowExW(window, NULL, WC_TABCONTROLW, NULL))
        return TRUE;
    if (Visit.NextPage < 8)
        PostMessageW(window, PSM_SETCURSEL, Visit.NextPage++, 0);
    else
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_OK, 0);
    return FALSE;
}

static void CALLBACK SheetTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), StepThroughSheet, 0);
}

// Opens every page over whatever the registry holds and closes the sheet:
// every page saves, and the item reloads what was saved.
static void RunOptionsSession(HWND host)
{
    Visit = SheetVisit();
    UINT_PTR timer = SetTimer(NULL, 0, 20, SheetTimer);
    DialogBoxParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_OPTIONS_HOST), host,
                    (DLGPROC)(void *)CustomItemOptionsDlgProc, 0);
    KillTimer(NULL, timer);
    PumpPending();
}

// What a save may write, whatever it read.
static void CheckSavedClamps(int index)
{
    const WCHAR *key = SETTINGS_KEY;
    DWORD hour = GetRegDword(HKEY_CURRENT_USER, key, L"HourMinFontSize", 0);
    DWORD seconds = GetRegDword(HKEY_CURRENT_USER, key, L"SecondFontSize", 0);
    DWORD marker = GetRegDword(HKEY_CURRENT_USER, key, L"TimeMarkerFontSize", 0);
    ok(hour >= 16 && hour <= 99, "case %d: saved hour size %lu", index, hour);
    ok(seconds >= 16 && seconds <= hour, "case %d: saved seconds size %lu (hour %lu)", index, seconds, hour);
    ok(marker >= 6 && marker <= hour, "case %d: saved marker size %lu (hour %lu)", index, marker, hour);
    ok(GetRegDword(HKEY_CURRENT_USER, key, L"VerticalBorderHeight", 0) <= 500, "case %d: saved border", index);
    ok(GetRegDword(HKEY_CURRENT_USER, key, L"CenterDayDate", 9) <= 2, "case %d: saved alignment", index);
    // The colours are written only with a scheme other than the theme's.
    if (GetRegDword(HKEY_CURRENT_USER, key, L"TextColorEnabled", 0) != 0) {
        ok(GetRegDword(HKEY_CURRENT_USER, key, L"TextColorDefault", 0) <= 0xFFFFFF, "case %d: saved colour", index);
        ok(GetRegDword(HKEY_CURRENT_USER, key, L"TextColorHighlight", 0) <= 0xFFFFFF, "case %d: saved highlight",
           index);
    }
    WCHAR action[FILE_ON_ACTION_CHARS + 8] = {};
    DWORD size = sizeof(action);
    LONG rc = RegGetValueW(HKEY_CURRENT_USER, key, L"FileOnAction", RRF_RT_REG_SZ, NULL, action, &size);
    ok(rc == ERROR_SUCCESS && lstrlenW(action) < FILE_ON_ACTION_CHARS, "case %d: saved action (%ld)", index, rc);
}

static void RunCase(HWND item, TODAYLISTITEM *record, int index)
{
    WriteRandomSettings();
    SendMessageW(item, WM_CREATE, 0, 0);
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)record, 0);
    SetWindowPos(item, NULL, 0, 40, GetSystemMetrics(SM_CXSCREEN), (int)(record->cyp % 2000),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (Random() % 2)
        SendMessageW(item, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0);
    else
        SendMessageW(item, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    SendMessageW(item, WM_TIMER, CLOCK_TIMER_ID, 0);
    SendMessageW(item, WM_USER, 0, 0);
    InvalidateRect(item, NULL, FALSE);
    UpdateWindow(item);
    CheckClamps(index);
    if (index % OptionsEvery == 0) {
        RunOptionsSession(GetParent(item));
        CheckSavedClamps(index);
        InvalidateRect(item, NULL, FALSE);
        UpdateWindow(item);
        CheckClamps(index);
    }
}

static void test_random_settings()
{
    int cases = 200;
    if (const char *env = getenv("QZL_FUZZ_CASES"))
        cases = atoi(env);
    HWND host = CreateFakeHost();
    TODAYLISTITEM record = {};
    record.tlit = tlitCustom;
    HWND item = InitializeCustomItem(&record, host);
    ok(item != NULL, "item created");
    int gdiBefore = -1;
    DWORD start = GetTickCount();
    for (int i = 0; i < cases; i++) {
        RunCase(item, &record, i);
        if (i == 9)
            gdiBefore = CountGdiObjects();
    }
    int gdiAfter = CountGdiObjects();
    // The fonts and backgrounds are replaced, never added to.
    if (cases > 10)
        ok(gdiAfter <= gdiBefore + 8, "GDI objects after %d cases: %d, after 10: %d", cases, gdiAfter, gdiBefore);
    printf("%d settings cases in %lu ms; GDI objects %d -> %d\n", cases, GetTickCount() - start, gdiBefore,
           gdiAfter);
    DestroyWindow(item);
    DestroyFakeHost();
}

int main()
{
    ModuleAttach(GetModuleHandleW(NULL));
    run_test(test_random_settings);
    ModuleDetach();
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    return TestSummary();
}
