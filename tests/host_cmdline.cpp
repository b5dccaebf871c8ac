// todayemu.exe refuses a bad command line before it touches the device:
// one line on stderr that names the flag and what it accepts, exit code 2,
// and the device's registry and locale as they were.
#include "testlib.h"

#include <wchar.h>

static const WCHAR PhoneKey[] = L"System\\State\\Phone";
static const WCHAR AlarmKey[] = L"Software\\Microsoft\\Clock\\0";

struct RunResult {
    DWORD ExitCode;
    char Output[8192];
};

// todayemu.exe beside this program.
static void EmulatorPath(WCHAR *path, DWORD size)
{
    GetModuleFileNameW(NULL, path, size);
    *(wcsrchr(path, L'\\') + 1) = 0;
    wcscat(path, L"todayemu.exe");
}

// What the pipe holds now. Wine's own helper processes may inherit the
// write end and keep it open, so the reader never waits for its end: the
// few lines the emulator writes fit the pipe's buffer.
static void ReadAvailable(HANDLE pipe, char *out, DWORD size)
{
    DWORD used = 0, available = 0, got = 0;
    while (used + 1 < size && PeekNamedPipe(pipe, NULL, 0, NULL, &available, NULL) && available &&
           ReadFile(pipe, out + used, available < size - 1 - used ? available : size - 1 - used, &got, NULL) && got)
        used += got;
    out[used] = 0;
}

// A started emulator: its process and the read end of its output.
struct Started {
    PROCESS_INFORMATION Process;
    HANDLE Output;
};

// Starts the emulator with `arguments`, its stdout and stderr into one pipe.
static BOOL StartEmulator(const WCHAR *arguments, Started *started)
{
    WCHAR path[MAX_PATH], commandLine[1024];
    EmulatorPath(path, MAX_PATH);
    _snwprintf(commandLine, 1024, L"\"%ls\" %ls", path, arguments);
    commandLine[1023] = 0;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE writeEnd;
    if (!CreatePipe(&started->Output, &writeEnd, &inherit, 0))
        return FALSE;
    SetHandleInformation(started->Output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    started->Process = PROCESS_INFORMATION();
    BOOL ok = CreateProcessW(path, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &si, &started->Process);
    CloseHandle(writeEnd);
    if (!ok)
        CloseHandle(started->Output);
    return ok;
}

// Waits up to `ms` for the emulator's end, ends it after that, and collects
// its output and exit code.
static void FinishEmulator(Started *started, DWORD ms, RunResult *result)
{
    if (WaitForSingleObject(started->Process.hProcess, ms) != WAIT_OBJECT_0)
        TerminateProcess(started->Process.hProcess, 99);
    WaitForSingleObject(started->Process.hProcess, INFINITE);
    ReadAvailable(started->Output, result->Output, sizeof(result->Output));
    GetExitCodeProcess(started->Process.hProcess, &result->ExitCode);
    CloseHandle(started->Process.hThread);
    CloseHandle(started->Process.hProcess);
    CloseHandle(started->Output);
}

// Runs the emulator with `arguments`; its stdout and stderr are collected.
// A run that got past the command line would go on showing the screen:
// bounded, and then ended.
static BOOL RunEmulator(const WCHAR *arguments, RunResult *result)
{
    Started started;
    result->ExitCode = (DWORD)-1;
    result->Output[0] = 0;
    if (!StartEmulator(arguments, &started))
        return FALSE;
    FinishEmulator(&started, 30000, result);
    return TRUE;
}

static int CountLines(const char *text)
{
    int lines = 0;
    for (; *text; ++text)
        lines += *text == '\n';
    return lines;
}

static void CheckRefused(const WCHAR *arguments, const char *flag, const char *accepts)
{
    RunResult run;
    ok(RunEmulator(arguments, &run), "started todayemu.exe %ls (error %lu)", arguments, GetLastError());
    ok(run.ExitCode == 2, "%ls: exit code %lu, expected 2", arguments, run.ExitCode);
    ok(CountLines(run.Output) == 1, "%ls: one line expected, got \"%s\"", arguments, run.Output);
    ok(strstr(run.Output, flag) != NULL, "%ls: \"%s\" does not name %s", arguments, run.Output,
       flag);
    ok(strstr(run.Output, accepts) != NULL, "%ls: \"%s\" does not say \"%s\"", arguments,
       run.Output, accepts);
}

static void test_bad_values()
{
    // 2026 is no leap year: the date must be refused, not turned into 1 March.
    CheckRefused(L"--time 2026-02-29T10:00:00", "--time", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--time 2024-04-31T10:00:00", "--time", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--time 2024-03-15T24:00:00", "--time", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--time 2024-3-15T09:41:00", "--time", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--time 2024-03-15T09:41:00Z", "--time", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--font-size 0", "--font-size", "100 to 10000");
    CheckRefused(L"--font-size -800", "--font-size", "100 to 10000");
    CheckRefused(L"--font-size 8pt", "--font-size", "100 to 10000");
    CheckRefused(L"--phone-status 0x100000000", "--phone-status", "unsigned 32-bit");
    CheckRefused(L"--phone-status -1", "--phone-status", "unsigned 32-bit");
    CheckRefused(L"--phone-status \"\"", "--phone-status", "unsigned 32-bit");
    CheckRefused(L"--alarm 3=on", "--alarm", "N 0, 1 or 2");
    CheckRefused(L"--alarm 0=maybe", "--alarm", "on|off");
    CheckRefused(L"--alarm 0=on,days=0x80", "--alarm", "days=0..0x7f");
    CheckRefused(L"--alarm 0=on,time=7:60", "--alarm", "00:00 to 23:59");
    CheckRefused(L"--alarm 0=on,snooze=5", "--alarm", "N=on|off");
    CheckRefused(L"--locale xx-YY", "--locale", "locale name the platform knows");
    CheckRefused(L"--locale \"\"", "--locale", "locale name the platform knows");
    // Each fault of --set says which it is: the name, the range, the form.
    CheckRefused(L"--set NoSuchSetting=1", "--set", "no setting 'NoSuchSetting'");
    CheckRefused(L"--set HourMinFontSize=100", "--set", "HourMinFontSize takes 16 to 99");
    CheckRefused(L"--set ShowOpName=2", "--set", "ShowOpName takes 0 to 1");
    CheckRefused(L"--set AlphaTime=0x100000000", "--set", "AlphaTime takes 0 to 0xFFFFFFFF");
    CheckRefused(L"--set ShowOpName", "--set", "expected NAME=VALUE");
    // The seconds and the markers go up to the hour/minute size, as on the
    // options sheet: the line's, else the device's (none stored: 38).
    CheckRefused(L"--set SecondFontSize=39", "--set", "SecondFontSize takes 16 to 38");
    CheckRefused(L"--set TimeMarkerFontSize=21 --set HourMinFontSize=20", "--set",
                 "TimeMarkerFontSize takes 6 to 20");
    CheckRefused(L"--after 1s", "--after", "0 to 600000");
    // Decimal with a leading zero (read as octal it would be 196609).
    CheckRefused(L"--after 0600001", "--after", "0 to 600000");
    CheckRefused(L"--phone-status 0x", "--phone-status", "unsigned 32-bit");
    CheckRefused(L"--screenshot Z:\\no-such-folder-here\\x.png", "--screenshot",
                 "existing folder");
    CheckRefused(L"--log-texts Z:\\no-such-folder-here\\texts.txt", "--log-texts", "existing folder");
    // The action's path holds 259 characters and its terminator; a
    // seventeenth setting is one more than a run takes.
    WCHAR line[600] = L"--set FileOnAction=";
    for (int i = 0; i < 260; ++i)
        wcscat(line, L"x");
    CheckRefused(line, "--set", "FileOnAction takes a path of at most 259 characters");
    line[0] = 0;
    for (int i = 0; i < 17; ++i)
        wcscat(line, L"--set ShowSeconds=1 ");
    CheckRefused(line, "--set", "16 settings at most");
}

// A value missing at the end of the line, or where the next flag stands
// (tools/run.sh adds --screenshot after the flags it is given).
static void test_missing_value_and_unknown_flag()
{
    CheckRefused(L"--time", "--time needs a value", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--select --alarm", "--alarm needs a value", "N=on|off");
    CheckRefused(L"--time --screenshot Z:\\x.png", "--time needs a value", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--operator --screenshot Z:\\x.png", "--operator needs a value", "255 characters");
    CheckRefused(L"--set --keep", "--set needs a value", "NAME=VALUE");
    CheckRefused(L"--colour blue", "--colour", "--help");
}

static void test_good_values_pass()
{
    // --help after the values: the whole line is checked, then the usage
    // is printed and nothing runs.
    RunResult run;
    RunEmulator(L"--time 2024-02-29T23:59:59 --font-size 1400 --phone-status 0x400020 "
                L"--alarm 2=on,days=0x7f,time=00:00 --locale DE-de --after 0 --set showopname=1 "
                L"--set FileOnAction=\\Windows\\clock.exe --set VerticalBorderHeight=500 "
                L"--set TimeMarkerFontSize=20 --set SecondFontSize=20 --set HourMinFontSize=20 --help",
                &run);
    ok(run.ExitCode == 0, "valid values refused (exit %lu): %s", run.ExitCode, run.Output);
    RunEmulator(L"--time 2000-02-29T00:00:00 --help", &run);
    ok(run.ExitCode == 0, "29 February 2000 (a leap year) refused: %s", run.Output);
    // Locale names as the platform spells them, in any case.
    static const WCHAR *const locales[] = {L"--locale fr-CA --help", L"--locale ja-jp --help",
                                           L"--locale kde-TZ --help", L"--locale dots --help"};
    for (const WCHAR *line : locales) {
        RunEmulator(line, &run);
        ok(run.ExitCode == 0, "%ls refused (exit %lu): %s", line, run.ExitCode, run.Output);
    }
    // Numbers with leading zeros are decimal: read as octal, 0900 and 09
    // would not be numbers and 0100 would be 64, below the font sizes.
    static const WCHAR *const leadingZeros[] = {L"--font-size 0900 --help", L"--font-size 0100 --help",
                                                L"--after 09 --help"};
    for (const WCHAR *line : leadingZeros) {
        RunEmulator(line, &run);
        ok(run.ExitCode == 0, "%ls refused (exit %lu): %s", line, run.ExitCode, run.Output);
    }
}

static const WCHAR SettingsKey[] = L"SOFTWARE\\Marrowfen\\Quartzel";

// The device values that runs keeping their changes write, and what they
// held before.
struct KeptValue {
    HKEY Root;
    const WCHAR *Key;
    const WCHAR *Name;
};

static const KeptValue KeptValues[] = {
    {HKEY_CURRENT_USER, SettingsKey, L"ShowOpName"},
    {HKEY_CURRENT_USER, SettingsKey, L"CenterDayDate"},
    {HKEY_CURRENT_USER, SettingsKey, L"ShowShortDate"},
    {HKEY_CURRENT_USER, SettingsKey, L"AlarmIconEnabled"},
    {HKEY_CURRENT_USER, SettingsKey, L"VerticalBorderHeight"},
    {HKEY_LOCAL_MACHINE, PhoneKey, L"Status"},
    {HKEY_LOCAL_MACHINE, PhoneKey, L"Current Operator Name"},
    {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Clock\\1", L"AlarmFlags"},
};

static struct {
    BOOL Present;
    DWORD Type;
    DWORD Size;
    BYTE Data[600];
} Saved[ARRAYSIZE(KeptValues)];

static void SaveKeptValues()
{
    for (int i = 0; i < (int)ARRAYSIZE(KeptValues); ++i) {
        const KeptValue &v = KeptValues[i];
        Saved[i].Size = sizeof(Saved[i].Data);
        Saved[i].Present = RegGetValueW(v.Root, v.Key, v.Name, RRF_RT_ANY | RRF_NOEXPAND, &Saved[i].Type,
                                        Saved[i].Data, &Saved[i].Size) == ERROR_SUCCESS;
    }
}

// Whether every kept value is as SaveKeptValues found it.
static void CheckValuesAsSaved(const WCHAR *after)
{
    for (int i = 0; i < (int)ARRAYSIZE(KeptValues); ++i) {
        const KeptValue &v = KeptValues[i];
        BYTE data[600];
        DWORD type = 0, size = sizeof(data);
        BOOL present = RegGetValueW(v.Root, v.Key, v.Name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) ==
                       ERROR_SUCCESS;
        ok(present == Saved[i].Present && (!present || (size == Saved[i].Size && memcmp(data, Saved[i].Data, size) == 0)),
           "after %ls: %ls is not as it was", after, v.Name);
    }
}

// Puts the saved values back; with `settingsOnly`, only the settings, and
// those as absent (the next run then writes them from nothing).
static void RestoreKeptValues(BOOL settingsOnly)
{
    for (int i = 0; i < (int)ARRAYSIZE(KeptValues); ++i) {
        const KeptValue &v = KeptValues[i];
        if (settingsOnly && v.Key != SettingsKey)
            continue;
        HKEY key;
        if (RegCreateKeyExW(v.Root, v.Key, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
            continue;
        if (Saved[i].Present && !settingsOnly)
            RegSetValueExW(key, v.Name, 0, Saved[i].Type, Saved[i].Data, Saved[i].Size);
        else
            RegDeleteValueW(key, v.Name);
        RegCloseKey(key);
    }
}

// A state that the item shows only under a setting turns that setting on
// for the run; a setting given by name wins. --keep leaves what the run
// wrote, to be read here.
static void test_states_turn_their_setting_on()
{
    struct Row {
        const WCHAR *Arguments;
        const WCHAR *Setting;
        DWORD Expected;
    };
    static const Row rows[] = {
        {L"--operator \"Marrowfen Mobile\"", L"ShowOpName", 1},
        {L"--operator \"Marrowfen Mobile\"", L"CenterDayDate", 0},
        {L"--operator \"Marrowfen Mobile\"", L"ShowShortDate", 1},
        {L"--phone-status 0x400020", L"ShowOpName", 1},
        {L"--operator Fenland --set ShowOpName=0", L"ShowOpName", 0},
        {L"--operator Fenland --set CenterDayDate=2", L"CenterDayDate", 2},
        {L"--alarm 1=on", L"AlarmIconEnabled", 1},
        {L"--set VerticalBorderHeight=0x1f4", L"VerticalBorderHeight", 500},
    };
    WCHAR folder[MAX_PATH], line[512];
    GetTempPathW(MAX_PATH, folder);
    SaveKeptValues();
    for (const Row &row : rows) {
        RestoreKeptValues(TRUE);
        _snwprintf(line, 512, L"%ls --keep --after 0 --screenshot \"%lsqzl-cmdline.png\"", row.Arguments,
                   folder);
        line[511] = 0;
        RunResult run;
        RunEmulator(line, &run);
        ok(run.ExitCode == 0, "%ls: exit %lu: %s", row.Arguments, run.ExitCode, run.Output);
        DWORD value = GetRegDword(HKEY_CURRENT_USER, SettingsKey, row.Setting, 99);
        ok(value == row.Expected, "%ls: %ls is %lu, expected %lu", row.Arguments, row.Setting, value, row.Expected);
    }
    // --undo puts back what the kept runs changed: each value as it was
    // before the first of them.
    RunResult run;
    RunEmulator(L"--undo", &run);
    ok(strstr(run.Output, "undid") != NULL, "--undo: \"%s\"", run.Output);
    CheckValuesAsSaved(L"--undo");
    RestoreKeptValues(FALSE);
    wcscat(folder, L"qzl-cmdline.png");
    DeleteFileW(folder);
}

// A run ended from outside (a signal ends Wine's process as this ends it)
// leaves its changes and their record: the next run undoes them first.
static void test_killed_run_is_undone_by_the_next()
{
    SaveKeptValues();
    Started started;
    ok(StartEmulator(L"--set VerticalBorderHeight=7 --operator Fenland --after 600000 --screenshot NUL", &started),
       "emulator not started");
    for (int i = 0; i < 200 && GetRegDword(HKEY_CURRENT_USER, SettingsKey, L"VerticalBorderHeight", 0) != 7; ++i)
        Sleep(50);
    RunResult run;
    FinishEmulator(&started, 0, &run);
    ok(run.ExitCode == 99, "the run ended by itself (exit %lu): %s", run.ExitCode, run.Output);
    ok_int(GetRegDword(HKEY_CURRENT_USER, SettingsKey, L"VerticalBorderHeight", 0), 7);
    // Five: the border, the operator's name, and the three settings that
    // show the operator (ShowOpName, ShowShortDate, CenterDayDate).
    RunEmulator(L"--undo", &run);
    ok(strstr(run.Output, "undid 5 device change(s) left by a run that did not finish") != NULL, "next run: \"%s\"",
       run.Output);
    CheckValuesAsSaved(L"the run after a killed one");
    RestoreKeptValues(FALSE);
}

// Only a 240x320 screen (and its turn) turns; any other refuses --rotate
// before the device is touched.
static void test_rotate_only_where_the_screen_turns()
{
    RunResult run;
    RunEmulator(L"--rotate --help", &run);
    int width = GetSystemMetrics(SM_CXSCREEN);
    if (width == 240 || width == 320) {
        ok(run.ExitCode == 0, "--rotate refused on a %d-wide screen: %s", width, run.Output);
        return;
    }
    ok(run.ExitCode == 2, "--rotate on a %d-wide screen: exit %lu, expected 2", width, run.ExitCode);
    ok(CountLines(run.Output) == 1 && strstr(run.Output, "--rotate refused") != NULL, "--rotate: \"%s\"",
       run.Output);
}

// --help lists the value ranges, the settings and the exit codes.
static void test_help_says_it_all()
{
    RunResult run;
    RunEmulator(L"--help", &run);
    static const char *const needed[] = {"0 to 600000", "100 to 10000", "HourMinFontSize          16 to 99",
                                         "VerticalBorderHeight     0 to 500", "Exit codes: 0", "2 a bad command"};
    for (const char *text : needed)
        ok(strstr(run.Output, text) != NULL, "--help does not say \"%s\"", text);
}

static void WriteKnownDevice()
{
    SetRegDword(HKEY_LOCAL_MACHINE, PhoneKey, L"Status", 0x20);
    BYTE off = 0;
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmFlags", &off, 1);
    SetRegDword(HKEY_CURRENT_USER, L"ControlPanel\\Appearance", L"FontSize", 800);
}

static BYTE AlarmFlags()
{
    BYTE flags = 0xEE;
    DWORD size = 1;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AlarmKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"AlarmFlags", NULL, NULL, &flags, &size);
        RegCloseKey(key);
    }
    return flags;
}

static void test_refusal_leaves_device_alone()
{
    WriteKnownDevice();
    WCHAR timeFormat[80] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, timeFormat, 80);
    // Good values first, the bad one last: nothing of the good ones may
    // have been written when the bad one is found.
    RunResult run;
    RunEmulator(L"--phone-status 0x400020 --alarm 0=on,days=0x7f,time=07:00 --font-size 1400 "
                L"--locale de-DE --time 2026-02-29T10:00:00",
                &run);
    ok(run.ExitCode == 2, "exit code %lu, expected 2", run.ExitCode);
    ok_int(GetRegDword(HKEY_LOCAL_MACHINE, PhoneKey, L"Status", 0), 0x20);
    ok_int(AlarmFlags(), 0);
    ok_int(GetRegDword(HKEY_CURRENT_USER, L"ControlPanel\\Appearance", L"FontSize", 0), 800);
    WCHAR after[80] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, after, 80);
    ok_wstr(after, timeFormat);
}

int main()
{
    run_test(test_bad_values);
    run_test(test_missing_value_and_unknown_flag);
    run_test(test_good_values_pass);
    run_test(test_refusal_leaves_device_alone);
    run_test(test_states_turn_their_setting_on);
    run_test(test_killed_run_is_undone_by_the_next);
    run_test(test_rotate_only_where_the_screen_turns);
    run_test(test_help_says_it_all);
    return TestSummary();
}
