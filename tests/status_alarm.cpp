// The next-alarm source: the bell test, the occurrence search and the menu
// line, with the clock fixed through this program's import table and the
// device's three alarm keys rewritten (and restored at the end).
#include "testlib.h"
#include "callcount.h"
#include "iat.h"
#include "module.h"
#include "alarm.h"

static SYSTEMTIME FakeNow;

static void WINAPI FakeGetLocalTime(SYSTEMTIME *time)
{
    *time = FakeNow;
}

// 2024-03-15 is a Friday, 2024-03-17 a Sunday.
static void SetClock(WORD day, WORD dayOfWeek, WORD hour, WORD minute, WORD second, WORD ms = 0)
{
    FakeNow = SYSTEMTIME();
    FakeNow.wYear = 2024;
    FakeNow.wMonth = 3;
    FakeNow.wDay = day;
    FakeNow.wDayOfWeek = dayOfWeek;
    FakeNow.wHour = hour;
    FakeNow.wMinute = minute;
    FakeNow.wSecond = second;
    FakeNow.wMilliseconds = ms;
}

static const WCHAR *const AlarmKeys[3] = {
    L"Software\\Microsoft\\Clock\\0",
    L"Software\\Microsoft\\Clock\\1",
    L"Software\\Microsoft\\Clock\\2",
};

// ---- The device's alarms, kept to be put back -------------------------------

struct SavedValue {
    BOOL Present;
    DWORD Type;
    BYTE Data[16];
    DWORD Size;
};
static SavedValue Saved[3][3];
static const WCHAR *const ValueNames[3] = {L"AlarmFlags", L"AlarmDays", L"AlarmTime"};

static void SaveDeviceAlarms()
{
    for (int k = 0; k < 3; k++)
        for (int v = 0; v < 3; v++) {
            SavedValue *s = &Saved[k][v];
            s->Size = sizeof(s->Data);
            s->Present = RegGetValueW(HKEY_LOCAL_MACHINE, AlarmKeys[k], ValueNames[v], RRF_RT_ANY, &s->Type,
                                      s->Data, &s->Size) == ERROR_SUCCESS;
        }
}

static void RestoreDeviceAlarms()
{
    for (int k = 0; k < 3; k++) {
        ResetRegKey(HKEY_LOCAL_MACHINE, AlarmKeys[k]);
        for (int v = 0; v < 3; v++)
            if (Saved[k][v].Present)
                RegSetKeyValueW(HKEY_LOCAL_MACHINE, AlarmKeys[k], ValueNames[v], Saved[k][v].Type,
                                Saved[k][v].Data, Saved[k][v].Size);
    }
}

// ---- Arranging alarms -----------------------------------------------------------

// Writes the three values as the clock program does: binary, 1, 1 and 2 bytes.
static void SetAlarm(int index, BYTE flags, BYTE days, WORD minutes)
{
    ResetRegKey(HKEY_LOCAL_MACHINE, AlarmKeys[index]);
    BYTE time[2] = {(BYTE)(minutes & 0xFF), (BYTE)(minutes >> 8)};
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[index], L"AlarmFlags", &flags, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[index], L"AlarmDays", &days, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[index], L"AlarmTime", time, 2);
}

static void ClearAlarms()
{
    for (int i = 0; i < 3; i++)
        SetAlarm(i, 0, 0, 0);
}

static int SecondsOf(int index)
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AlarmKeys[index], 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -2;
    int seconds = SecondsToAlarm(key);
    RegCloseKey(key);
    return seconds;
}

static void CheckLine(const WCHAR *expected, int line)
{
    WCHAR text[NEXT_ALARM_CHARS + 8];
    for (int i = 0; i < (int)ARRAYSIZE(text); i++)
        text[i] = L'#';
    FormatNextAlarm(text);
    Tests.Checks++;
    if (lstrcmpW(text, expected) != 0)
        TestFailure(__FILE__, line, "menu line \"%ls\", expected \"%ls\"", text, expected);
    Tests.Checks++;
    if (text[NEXT_ALARM_CHARS] != L'#')
        TestFailure(__FILE__, line, "menu line wrote past %d characters", NEXT_ALARM_CHARS);
}
#define check_line(expected) CheckLine(expected, __LINE__)

// ---- Tests ------------------------------------------------------------------

// Every read opens the keys it reads and closes each before it returns: a
// key held open could not be deleted by the clock on the handheld. The
// bell's read stops at the first alarm that rings; the menu line reads all
// three.
static void test_reads_leave_no_key_open()
{
    ok(CountImportCalls(GetModuleHandleW(NULL), "advapi32.dll") > 0, "advapi32.dll\n");
    WCHAR line[NEXT_ALARM_CHARS];
    const struct {
        const char *Read;
        BOOL MenuLine;
        BYTE FirstAlarmFlags;
        int Opened;
    } rows[] = {
        {"bell, all off", FALSE, 0, 3},
        {"bell, the first on", FALSE, 1, 1},
        {"menu line, all off", TRUE, 0, 3},
        {"menu line, the first on", TRUE, 1, 3},
    };
    for (const auto &r : rows) {
        ClearAlarms();
        SetAlarm(0, r.FirstAlarmFlags, 0x7F, 420);
        ResetImportCalls();
        if (r.MenuLine)
            FormatNextAlarm(line);
        else
            AnyAlarmEnabled();
        LONGLONG opened = ImportCalls("RegOpenKeyExW"), closed = ImportCalls("RegCloseKey");
        ok(opened == r.Opened && closed == r.Opened, "%s: %lld keys opened, %lld closed; expected %d\n", r.Read,
           opened, closed, r.Opened);
    }
}

static void test_any_alarm_enabled()
{
    ClearAlarms();
    ok_int(AnyAlarmEnabled(), 0);

    // Alarm 0 off, key 1 missing, alarm 2 on.
    SetAlarm(0, 0, 0x1F, 420);
    DeleteRegKey(HKEY_LOCAL_MACHINE, AlarmKeys[1]);
    SetAlarm(2, 1, 0x40, 540);
    ok_int(AnyAlarmEnabled(), 1);

    // Switched on but no day: no bell.
    SetAlarm(2, 1, 0, 540);
    ok_int(AnyAlarmEnabled(), 0);

    // Bit 7 alone names no weekday, and a time past 23:59 no time of day:
    // neither ever rings, so no bell.
    SetAlarm(2, 1, 0x80, 540);
    ok_int(AnyAlarmEnabled(), 0);
    SetAlarm(2, 1, 0xFF, 1440);
    ok_int(AnyAlarmEnabled(), 0);
    SetAlarm(2, 1, 0x81, 1439);
    ok_int(AnyAlarmEnabled(), 1);

    // No keys at all.
    for (int i = 0; i < 3; i++)
        DeleteRegKey(HKEY_LOCAL_MACHINE, AlarmKeys[i]);
    ok_int(AnyAlarmEnabled(), 0);
}

static void test_any_alarm_bad_values()
{
    ClearAlarms();
    // Values of the wrong size are unreadable, so the alarm counts as off.
    DWORD wide = 1;
    SetAlarm(1, 1, 0x1F, 420);
    SetRegDword(HKEY_LOCAL_MACHINE, AlarmKeys[1], L"AlarmFlags", wide);
    ok_int(AnyAlarmEnabled(), 0);
    SetAlarm(1, 1, 0x1F, 420);
    BYTE two[2] = {0x1F, 0};
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[1], L"AlarmDays", two, 2);
    ok_int(AnyAlarmEnabled(), 0);
    SetAlarm(1, 1, 0x1F, 420);
    DeleteRegValue(HKEY_LOCAL_MACHINE, AlarmKeys[1], L"AlarmDays");
    ok_int(AnyAlarmEnabled(), 0);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[1], L"AlarmDays", two, 0);
    ok_int(AnyAlarmEnabled(), 0);
}

static void test_weekday_alarm_examples()
{
    ClearAlarms();
    SetAlarm(1, 1, 0x1F, 420);   // weekdays at 07:00

    SetClock(15, 5, 6, 58, 30);
    ok_int(SecondsOf(1), 90);
    check_line(L"Next Alarm in 1m 30s");

    // Exactly now counts as not yet past, and the line still ends in a time.
    SetClock(15, 5, 7, 0, 0);
    ok_int(SecondsOf(1), 0);
    check_line(L"Next Alarm in 0s");

    // Half a second past: the next is Monday, and the part second is dropped.
    SetClock(15, 5, 7, 0, 0, 500);
    ok_int(SecondsOf(1), 2 * 86400 + 23 * 3600 + 59 * 60 + 59);

    SetClock(15, 5, 7, 0, 1);
    ok_int(SecondsOf(1), 2 * 86400 + 23 * 3600 + 59 * 60 + 59);
    check_line(L"Next Alarm in 2d 23h 59m 59s");

    // Monday, the first day of the week's bits, before its alarm.
    SetClock(18, 1, 6, 0, 0);
    ok_int(SecondsOf(1), 3600);
}

static void test_sunday_only_alarm()
{
    ClearAlarms();
    SetAlarm(0, 1, 0x40, 540);   // Sundays at 09:00
    SetClock(17, 0, 10, 0, 0);
    ok_int(SecondsOf(0), 6 * 86400 + 23 * 3600);
    check_line(L"Next Alarm in 6d 23h");
    // Sunday, the last of the week's bits, before its alarm: today.
    SetClock(17, 0, 8, 0, 0);
    ok_int(SecondsOf(0), 3600);
    // Saturday evening: tomorrow morning.
    SetClock(16, 6, 21, 0, 0);
    ok_int(SecondsOf(0), 12 * 3600);
    check_line(L"Next Alarm in 12h");
}

static void test_parts_left_out()
{
    ClearAlarms();
    SetAlarm(0, 1, 0x7F, 600);   // every day at 10:00
    SetClock(15, 5, 8, 57, 55);
    ok_int(SecondsOf(0), 3725);
    check_line(L"Next Alarm in 1h 2m 5s");

    SetAlarm(0, 1, 0x20, 600);   // Saturdays at 10:00
    SetClock(15, 5, 9, 0, 0);
    ok_int(SecondsOf(0), 90000);
    check_line(L"Next Alarm in 1d 1h");
}

static void test_shortest_of_several()
{
    ClearAlarms();
    SetAlarm(0, 1, 0x7F, 600);   // 10:00, 500 s away
    SetAlarm(2, 1, 0x7F, 595);   // 09:55, 200 s away
    SetClock(15, 5, 9, 51, 40);
    ok_int(SecondsOf(0), 500);
    ok_int(SecondsOf(2), 200);
    check_line(L"Next Alarm in 3m 20s");

    // A switched-off alarm does not count, even when it would be sooner.
    SetAlarm(2, 0, 0x7F, 595);
    check_line(L"Next Alarm in 8m 20s");
    // Nor does a missing key.
    DeleteRegKey(HKEY_LOCAL_MACHINE, AlarmKeys[2]);
    check_line(L"Next Alarm in 8m 20s");
}

// No alarm will ring: no menu line at all, rather than a promise of one in
// seven days.
static void test_no_occurrence()
{
    WCHAR text[NEXT_ALARM_CHARS];
    ClearAlarms();
    SetClock(15, 5, 9, 0, 0);
    ok_int(FormatNextAlarm(text), FALSE);
    check_line(L"");

    SetAlarm(1, 1, 0x80, 420);
    ok_int(SecondsOf(1), -1);
    ok_int(FormatNextAlarm(text), FALSE);

    for (int i = 0; i < 3; i++)
        DeleteRegKey(HKEY_LOCAL_MACHINE, AlarmKeys[i]);
    ok_int(FormatNextAlarm(text), FALSE);
    check_line(L"");
    SetAlarm(0, 1, 0x40, 540);
    ok_int(FormatNextAlarm(text), TRUE);
}

static void test_bad_alarm_values()
{
    ClearAlarms();
    SetClock(15, 5, 6, 0, 0);

    SetAlarm(0, 1, 0x1F, 420);
    DeleteRegValue(HKEY_LOCAL_MACHINE, AlarmKeys[0], L"AlarmFlags");
    ok_int(SecondsOf(0), -1);

    SetAlarm(0, 1, 0x1F, 420);
    DeleteRegValue(HKEY_LOCAL_MACHINE, AlarmKeys[0], L"AlarmTime");
    ok_int(SecondsOf(0), -1);

    SetAlarm(0, 1, 0x1F, 420);
    BYTE shortTime = 0xA4;
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[0], L"AlarmTime", &shortTime, 1);
    ok_int(SecondsOf(0), -1);

    SetAlarm(0, 1, 0x1F, 420);
    SetRegDword(HKEY_LOCAL_MACHINE, AlarmKeys[0], L"AlarmTime", 420);
    ok_int(SecondsOf(0), -1);

    SetAlarm(0, 1, 0x1F, 420);
    BYTE wideDays[4] = {0x1F, 0, 0, 0};
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKeys[0], L"AlarmDays", wideDays, 4);
    ok_int(SecondsOf(0), -1);

    // A time past the end of the day is no time of day.
    SetAlarm(0, 1, 0x7F, 1440);
    ok_int(SecondsOf(0), -1);
    SetAlarm(0, 1, 0x7F, 0xFFFF);
    ok_int(SecondsOf(0), -1);
    check_line(L"");
    SetAlarm(0, 1, 0x7F, 1439);
    ok_int(SecondsOf(0), 17 * 3600 + 59 * 60);
}

static void test_search_across_month_end()
{
    ClearAlarms();
    SetAlarm(0, 1, 0x01, 0);     // Mondays at 00:00
    FakeNow = SYSTEMTIME();
    FakeNow.wYear = 2024;
    FakeNow.wMonth = 3;
    FakeNow.wDay = 31;
    FakeNow.wDayOfWeek = 0;
    FakeNow.wHour = 23;
    FakeNow.wMinute = 59;
    FakeNow.wSecond = 59;
    ok_int(SecondsOf(0), 1);
    check_line(L"Next Alarm in 1s");
}

int main()
{
    ModuleInstance = GetModuleHandleW(NULL);
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "GetLocalTime", (void *)FakeGetLocalTime, NULL) > 0,
       "clock replaced");
    SaveDeviceAlarms();
    run_test(test_any_alarm_enabled);
    run_test(test_reads_leave_no_key_open);
    run_test(test_any_alarm_bad_values);
    run_test(test_weekday_alarm_examples);
    run_test(test_sunday_only_alarm);
    run_test(test_parts_left_out);
    run_test(test_shortest_of_several);
    run_test(test_no_occurrence);
    run_test(test_bad_alarm_values);
    run_test(test_search_across_month_end);
    RestoreDeviceAlarms();
    return TestSummary();
}
