// todayemu.exe refuses a bad command line before it touches the device:
// one line on stderr that names the flag and what it accepts, exit code 2,
// and the device's registry and locale as they were.
#include "testlib.h"

#include <wchar.h>

static const WCHAR PhoneKey[] = L"System\\State\\Phone";
static const WCHAR AlarmKey[] = L"Software\\Microsoft\\Clock\\0";

struct RunResult {
    DWORD ExitCode;
    char Output[4096];
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

// Runs the emulator with `arguments`; its stdout and stderr are collected.
static BOOL RunEmulator(const WCHAR *arguments, RunResult *result)
{
    WCHAR path[MAX_PATH], commandLine[1024];
    EmulatorPath(path, MAX_PATH);
    _snwprintf(commandLine, 1024, L"\"%ls\" %ls", path, arguments);
    commandLine[1023] = 0;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return FALSE;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(path, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    CloseHandle(writeEnd);
    result->ExitCode = (DWORD)-1;
    result->Output[0] = 0;
    if (started) {
        // A run that got past the command line would go on showing the
        // screen: bounded, and then ended.
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        ReadAvailable(readEnd, result->Output, sizeof(result->Output));
        GetExitCodeProcess(pi.hProcess, &result->ExitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return started;
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
    ok(RunEmulator(arguments, &run), "started todayemu.exe %ls", arguments);
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
    CheckRefused(L"--locale fr-FR", "--locale", "en-US, de-DE or dots");
    CheckRefused(L"--after 1s", "--after", "0 to 600000");
    // Decimal with a leading zero (read as octal it would be 196609).
    CheckRefused(L"--after 0600001", "--after", "0 to 600000");
    CheckRefused(L"--phone-status 0x", "--phone-status", "unsigned 32-bit");
    CheckRefused(L"--screenshot Z:\\no-such-folder-here\\x.png", "--screenshot",
                 "existing folder");
}

static void test_missing_value_and_unknown_flag()
{
    CheckRefused(L"--time", "--time", "YYYY-MM-DDTHH:MM:SS");
    CheckRefused(L"--select --alarm", "--alarm", "N=on|off");
    CheckRefused(L"--colour blue", "--colour", "--help");
}

static void test_good_values_pass()
{
    // --help after the values: the whole line is checked, then the usage
    // is printed and nothing runs.
    RunResult run;
    RunEmulator(L"--time 2024-02-29T23:59:59 --font-size 1400 --phone-status 0x400020 "
                L"--alarm 2=on,days=0x7f,time=00:00 --locale DE-de --after 0 --help",
                &run);
    ok(run.ExitCode == 0, "valid values refused (exit %lu): %s", run.ExitCode, run.Output);
    RunEmulator(L"--time 2000-02-29T00:00:00 --help", &run);
    ok(run.ExitCode == 0, "29 February 2000 (a leap year) refused: %s", run.Output);
    // Numbers with leading zeros are decimal: read as octal, 0900 and 09
    // would not be numbers and 0100 would be 64, below the font sizes.
    static const WCHAR *const leadingZeros[] = {L"--font-size 0900 --help", L"--font-size 0100 --help",
                                                L"--after 09 --help"};
    for (const WCHAR *line : leadingZeros) {
        RunEmulator(line, &run);
        ok(run.ExitCode == 0, "%ls refused (exit %lu): %s", line, run.ExitCode, run.Output);
    }
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
    return TestSummary();
}
