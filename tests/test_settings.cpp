// Settings store: defaults, load rules, the common write form, the reload
// marker and Selectability.
#include "testlib.h"
#include "settings.h"
#include "iat.h"
#include <stddef.h>

static const WCHAR ScratchKey[] = L"Software\\QuartzelTests\\Settings";

static HKEY OpenScratch()
{
    ResetRegKey(HKEY_CURRENT_USER, ScratchKey);
    HKEY key = NULL;
    RegOpenKeyExW(HKEY_CURRENT_USER, ScratchKey, 0, KEY_ALL_ACCESS, &key);
    return key;
}

// Every field starts out as a pattern, so that a default that is never
// loaded shows as the pattern rather than passing as a zero.
static void FillWithPattern()
{
    FillMemory(&ClockSettings, sizeof(ClockSettings), 0xA5);
}

// An empty key gives every default.
static void test_defaults_for_missing_values()
{
    HKEY key = OpenScratch();
    FillWithPattern();
    LoadSettings(key);
    ok_int(ClockSettings.AlarmIconEnabled, 1);
    ok_int(ClockSettings.AlphaDayDate, 0x66000000);
    ok_int(ClockSettings.AlphaReserved, 0xA0B0C0);
    ok_int(ClockSettings.AlphaTime, 0x2D000000);
    ok_int(ClockSettings.AlphaTransparent, 0);
    ok_int(ClockSettings.CenterDayDate, 1);
    ok_int(ClockSettings.ClearTypeDayDateEnabled, 0);
    ok_int(ClockSettings.ClearTypeTimeEnabled, 0);
    ok_int(ClockSettings.HideTimeInSleep, 0);
    ok_int(ClockSettings.OverrideARGB, 0);
    ok_int(ClockSettings.ShowShortDate, 0);
    ok_int(ClockSettings.TapAndHoldEnabled, 0);
    ok_int(ClockSettings.HourMinFontSize, 38);
    ok_int(ClockSettings.SecondFontSize, 26);
    ok_int(ClockSettings.TimeMarkerFontSize, 9);
    ok_int(ClockSettings.ShowDayDate, 1);
    ok_int(ClockSettings.ShowOpName, 0);
    ok_int(ClockSettings.ShowSeconds, 1);
    ok_int(ClockSettings.ShowTimeMarkers, 1);
    ok_int(ClockSettings.SingleTMLine, 0);
    ok_int(ClockSettings.TextColorEnabled, 0);
    ok_int(ClockSettings.TextColorDefault, 0xFFFFFF);
    ok_int(ClockSettings.TextColorHighlight, 0xFFFFFF);
    ok_int(ClockSettings.VerticalBorderHeight, 0);
    ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\clock.exe");
    // Element colours are only read for the schemes that use them: left as
    // they were.
    ok_int(ClockSettings.ColorExHour, 0xA5A5A5A5);
    RegCloseKey(key);
}

// Each value name reaches its own field: a stored value other than the
// default comes back from the load.
static void test_every_value_name_round_trips()
{
    static const struct {
        const WCHAR *Name;
        DWORD Stored;
        size_t Offset;
    } values[] = {
        {L"AlarmIconEnabled", 0, offsetof(ClockSettingsRecord, AlarmIconEnabled)},
        {L"AlphaDayDate", 0x11223344, offsetof(ClockSettingsRecord, AlphaDayDate)},
        {L"AlphaReserved", 0x00102030, offsetof(ClockSettingsRecord, AlphaReserved)},
        {L"AlphaTime", 0x55000000, offsetof(ClockSettingsRecord, AlphaTime)},
        {L"AlphaTransparent", 0x7F000000, offsetof(ClockSettingsRecord, AlphaTransparent)},
        {L"CenterDayDate", 0, offsetof(ClockSettingsRecord, CenterDayDate)},
        {L"ClearTypeDayDateEnabled", 1, offsetof(ClockSettingsRecord, ClearTypeDayDateEnabled)},
        {L"ClearTypeTimeEnabled", 1, offsetof(ClockSettingsRecord, ClearTypeTimeEnabled)},
        {L"HideTimeInSleep", 1, offsetof(ClockSettingsRecord, HideTimeInSleep)},
        {L"OverrideARGB", 0x11, offsetof(ClockSettingsRecord, OverrideARGB)},
        {L"HourMinFontSize", 40, offsetof(ClockSettingsRecord, HourMinFontSize)},
        {L"SecondFontSize", 20, offsetof(ClockSettingsRecord, SecondFontSize)},
        {L"TimeMarkerFontSize", 8, offsetof(ClockSettingsRecord, TimeMarkerFontSize)},
        {L"ShowDayDate", 0, offsetof(ClockSettingsRecord, ShowDayDate)},
        {L"ShowOpName", 1, offsetof(ClockSettingsRecord, ShowOpName)},
        {L"ShowSeconds", 0, offsetof(ClockSettingsRecord, ShowSeconds)},
        {L"ShowShortDate", 1, offsetof(ClockSettingsRecord, ShowShortDate)},
        {L"ShowTimeMarkers", 0, offsetof(ClockSettingsRecord, ShowTimeMarkers)},
        {L"SingleTMLine", 1, offsetof(ClockSettingsRecord, SingleTMLine)},
        {L"TapAndHoldEnabled", 1, offsetof(ClockSettingsRecord, TapAndHoldEnabled)},
        {L"TextColorEnabled", 1, offsetof(ClockSettingsRecord, TextColorEnabled)},
        {L"TextColorHighlight", 0x00123456, offsetof(ClockSettingsRecord, TextColorHighlight)},
        {L"TextColorDefault", 0x00654321, offsetof(ClockSettingsRecord, TextColorDefault)},
        {L"VerticalBorderHeight", 7, offsetof(ClockSettingsRecord, VerticalBorderHeight)},
    };
    HKEY key = OpenScratch();
    for (const auto &value : values)
        WriteSettingDword(key, value.Name, value.Stored);
    WriteSettingString(key, L"FileOnAction", L"\\Windows\\calc.exe");
    FillWithPattern();
    LoadSettings(key);
    for (const auto &value : values) {
        DWORD got = *(const DWORD *)((const BYTE *)&ClockSettings + value.Offset);
        ok(got == value.Stored, "%ls: got 0x%lx, stored 0x%lx", value.Name, got, value.Stored);
    }
    ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\calc.exe");
    RegCloseKey(key);
}

static int ValueQueries;
static HKEY WriteDuringPass;
static decltype(&RegQueryValueExW) RealRegQueryValueExW;
static decltype(&RegEnumValueW) RealRegEnumValueW;

static LONG WINAPI CountingRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                            LPDWORD size)
{
    ValueQueries++;
    return RealRegQueryValueExW(key, name, reserved, type, data, size);
}

// Another writer, between two steps of the pass.
static LONG WINAPI WritingRegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                                        LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (WriteDuringPass) {
        WriteSettingDword(WriteDuringPass, L"SecondFontSize", 20);
        WriteDuringPass = NULL;
    }
    return RealRegEnumValueW(key, index, name, nameChars, reserved, type, data, size);
}

// A key that holds few values is read in one pass, without a query per
// setting; a larger key, or one written while it is read, value by value.
static void test_few_values_read_in_one_pass()
{
    static const struct {
        const char *Case;
        int Fillers;            // values of no setting, beside ShowSeconds
        BOOL Written;
        int Queries;
        DWORD SecondFontSize;
    } Cases[] = {{"one value", 0, FALSE, 0, 26}, {"twelve values", 11, FALSE, 0, 26},
                 {"thirteen values", 12, FALSE, 25, 26}, {"written during the pass", 0, TRUE, 25, 20}};
    void *query = NULL, *enumerate = NULL;
    HMODULE self = GetModuleHandleW(NULL);
    ok(ReplaceImport(self, NULL, "RegQueryValueExW", (void *)CountingRegQueryValueExW, &query) > 0, "query\n");
    ok(ReplaceImport(self, NULL, "RegEnumValueW", (void *)WritingRegEnumValueW, &enumerate) > 0, "enumerate\n");
    RealRegQueryValueExW = (decltype(RealRegQueryValueExW))query;
    RealRegEnumValueW = (decltype(RealRegEnumValueW))enumerate;
    for (const auto &c : Cases) {
        HKEY key = OpenScratch();
        WriteSettingDword(key, L"showseconds", 0);
        for (int i = 0; i < c.Fillers; i++) {
            WCHAR name[16];
            wsprintfW(name, L"Filler%d", i);
            WriteSettingDword(key, name, 7);
        }
        WriteDuringPass = c.Written ? key : NULL;
        ValueQueries = 0;
        FillWithPattern();
        LoadSettings(key);
        ok(ValueQueries == c.Queries, "%s: %d queries, expected %d\n", c.Case, ValueQueries, c.Queries);
        ok(ClockSettings.ShowSeconds == 0, "%s: ShowSeconds %lu\n", c.Case, ClockSettings.ShowSeconds);
        ok(ClockSettings.SecondFontSize == c.SecondFontSize, "%s: SecondFontSize %lu\n", c.Case,
           ClockSettings.SecondFontSize);
        ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\clock.exe");
        RegCloseKey(key);
    }
    ReplaceImport(self, NULL, "RegQueryValueExW", query, NULL);
    ReplaceImport(self, NULL, "RegEnumValueW", enumerate, NULL);
}

static void test_values_of_wrong_size_take_the_default()
{
    HKEY key = OpenScratch();
    WORD two = 5;
    ULONGLONG eight = 7;
    RegSetValueExW(key, L"HourMinFontSize", 0, REG_DWORD, (BYTE *)&two, sizeof(two));
    RegSetValueExW(key, L"SecondFontSize", 0, REG_QWORD, (BYTE *)&eight, sizeof(eight));
    // The stored type is not examined: four bytes of any type count.
    DWORD twenty = 20;
    RegSetValueExW(key, L"TimeMarkerFontSize", 0, REG_BINARY, (BYTE *)&twenty, sizeof(twenty));
    ClockSettings = ClockSettingsRecord();
    LoadSettings(key);
    ok_int(ClockSettings.HourMinFontSize, 38);
    ok_int(ClockSettings.SecondFontSize, 26);
    ok_int(ClockSettings.TimeMarkerFontSize, 20);
    RegCloseKey(key);
}

static void test_range_rules()
{
    HKEY key = OpenScratch();
    WriteSettingDword(key, L"TextColorDefault", 0x01000000);
    WriteSettingDword(key, L"TextColorHighlight", 0x00123456);
    WriteSettingDword(key, L"VerticalBorderHeight", 0xFFFFFFFF);
    WriteSettingDword(key, L"AlphaTime", 0xFF123456);
    ClockSettings = ClockSettingsRecord();
    LoadSettings(key);
    ok_int(ClockSettings.TextColorDefault, 0xFFFFFF);
    ok_int(ClockSettings.TextColorHighlight, 0x123456);
    ok_int(ClockSettings.VerticalBorderHeight, 500);
    ok_int(ClockSettings.AlphaTime, 0xFF123456);

    WriteSettingDword(key, L"VerticalBorderHeight", 500);
    LoadSettings(key);
    ok_int(ClockSettings.VerticalBorderHeight, 500);
    WriteSettingDword(key, L"VerticalBorderHeight", 501);
    LoadSettings(key);
    ok_int(ClockSettings.VerticalBorderHeight, 500);
    RegCloseKey(key);
}

static void test_element_colours_follow_the_scheme()
{
    HKEY key = OpenScratch();
    WriteSettingDword(key, L"ColorExHour", 0x0000FF);
    WriteSettingDword(key, L"ColorExAlarm", 0x7FFFFFFF);

    ClockSettings = ClockSettingsRecord();
    ClockSettings.ColorExHour = 0x111111;
    WriteSettingDword(key, L"TextColorEnabled", 1);
    LoadSettings(key);
    ok_int(ClockSettings.ColorExHour, 0x111111);

    for (DWORD scheme = 2; scheme <= 3; scheme++) {
        WriteSettingDword(key, L"TextColorEnabled", scheme);
        ClockSettings = ClockSettingsRecord();
        LoadSettings(key);
        ok_int(ClockSettings.ColorExHour, 0x0000FF);
        ok_int(ClockSettings.ColorExAlarm, 0xFFFFFF);
        ok_int(ClockSettings.ColorExMinute, 0xFFFFFF);
    }
    RegCloseKey(key);
}

static void SetFileOnAction(HKEY key, const WCHAR *text, DWORD bytes, DWORD type)
{
    RegSetValueExW(key, L"FileOnAction", 0, type, (const BYTE *)text, bytes);
}

static void test_file_on_action_lengths()
{
    HKEY key = OpenScratch();
    static WCHAR path[400];
    for (int i = 0; i < 399; i++)
        path[i] = L'a' + i % 26;

    // 259 characters and the terminator: kept whole.
    path[259] = 0;
    SetFileOnAction(key, path, 260 * sizeof(WCHAR), REG_SZ);
    LoadSettings(key);
    ok_int(lstrlenW(ClockSettings.FileOnAction), 259);
    path[259] = L'x';

    // 260 characters stored without a terminator fill the buffer: the last
    // one gives way to the terminator, and nothing past the buffer changes
    // (the type flag that follows it stays set).
    SetFileOnAction(key, path, 260 * sizeof(WCHAR), REG_EXPAND_SZ);
    LoadSettings(key);
    ok_int(lstrlenW(ClockSettings.FileOnAction), 259);
    ok(ClockSettings.FileOnAction[258] == path[258], "last kept character");
    ok_int(ClockSettings.FileOnActionExpands, TRUE);

    // Longer than the buffer: the read fails and the default applies.
    path[399] = 0;
    SetFileOnAction(key, path, 400 * sizeof(WCHAR), REG_SZ);
    LoadSettings(key);
    ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\clock.exe");

    // An odd number of bytes, stored without a terminator, still ends.
    SetFileOnAction(key, L"abc", 5, REG_SZ);
    lstrcpyW(ClockSettings.FileOnAction, L"zzzzzzzz");
    LoadSettings(key);
    ok_wstr(ClockSettings.FileOnAction, L"ab");

    // Not a string at all: the default.
    DWORD number = 42;
    RegSetValueExW(key, L"FileOnAction", 0, REG_DWORD, (BYTE *)&number, sizeof(number));
    LoadSettings(key);
    ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\clock.exe");

    SetFileOnAction(key, L"", sizeof(WCHAR), REG_SZ);
    LoadSettings(key);
    ok_wstr(ClockSettings.FileOnAction, L"");
    RegCloseKey(key);
}

static void test_write_forms()
{
    HKEY key = OpenScratch();
    WriteSettingString(key, L"FileOnAction", L"\\My Documents\\a.lnk");
    DWORD type = 0, size = 0;
    RegQueryValueExW(key, L"FileOnAction", NULL, &type, NULL, &size);
    ok_int(type, REG_SZ);
    ok_int(size, (lstrlenW(L"\\My Documents\\a.lnk") + 1) * sizeof(WCHAR));
    WriteSettingDword(key, L"ShowSeconds", 0);
    size = 0;
    RegQueryValueExW(key, L"ShowSeconds", NULL, &type, NULL, &size);
    ok_int(type, REG_DWORD);
    ok_int(size, 4);
    RegCloseKey(key);
}

static void test_reload_marker()
{
    HKEY key = OpenScratch();
    ok(QueryReloadMarker(key) != ERROR_SUCCESS, "no marker in a new key");
    WriteReloadMarker(key);
    ok(QueryReloadMarker(key) == ERROR_SUCCESS, "marker written");
    ok_int(GetRegDword(HKEY_CURRENT_USER, ScratchKey, L"QZL", 99), 0);
    DeleteReloadMarker(key);
    ok(QueryReloadMarker(key) != ERROR_SUCCESS, "marker removed");
    // Presence is the signal, whatever the data.
    SetRegString(HKEY_CURRENT_USER, ScratchKey, L"QZL", L"a longer value");
    ok(QueryReloadMarker(key) == ERROR_SUCCESS, "marker of another type and size");
    RegCloseKey(key);
}

static void test_selectability()
{
    HKEY key = NULL;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, 0, KEY_ALL_ACCESS, &key);
    ok(key != NULL, "device has the Today item key");
    DWORD saved = GetRegDword(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"Selectability", 2);

    SetRegDword(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"Selectability", 1);
    Selectability = 0;
    ReadSelectability();
    ok_int(Selectability, 1);

    DeleteRegValue(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"Selectability");
    Selectability = 0;
    ReadSelectability();
    ok_int(Selectability, 2);

    SetRegBinary(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"Selectability", "\x01", 1);
    Selectability = 0;
    ReadSelectability();
    ok_int(Selectability, 2);

    SetRegDword(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"Selectability", saved);
    if (key)
        RegCloseKey(key);
}

// A settings key that may be read but not written still gives its
// settings at load.
static void test_read_only_key()
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"VerticalBorderHeight", 7);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", 0);
    SetRegKeyWritable(HKEY_CURRENT_USER, SETTINGS_KEY, FALSE);
    ClockSettings = ClockSettingsRecord();
    LoadSettingsAtAttach();
    ok_int(ClockSettings.VerticalBorderHeight, 7);
    ok_int(ClockSettings.ShowSeconds, 0);
    ok_int(ClockSettings.ShowDayDate, 1);
    ok(OpenSettingsKey(RegistryWrite) == NULL, "the key is really read-only");
    SetRegKeyWritable(HKEY_CURRENT_USER, SETTINGS_KEY, TRUE);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
}

int main()
{
    run_test(test_defaults_for_missing_values);
    run_test(test_every_value_name_round_trips);
    run_test(test_few_values_read_in_one_pass);
    run_test(test_values_of_wrong_size_take_the_default);
    run_test(test_range_rules);
    run_test(test_element_colours_follow_the_scheme);
    run_test(test_file_on_action_lengths);
    run_test(test_write_forms);
    run_test(test_reload_marker);
    run_test(test_selectability);
    run_test(test_read_only_key);
    DeleteRegKey(HKEY_CURRENT_USER, L"Software\\QuartzelTests");
    return TestSummary();
}
