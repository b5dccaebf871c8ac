// The emulator's command line. Every device setting that a menu offers can
// also be given here, so that screenshots and tests start from a known
// device without touching the screen.
#include "todayemu.h"

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

// Locale set names, in the order of the locale sets (device.cpp).
static const wchar_t *const LocaleNames[] = {L"en-US", L"de-DE", L"dots"};

void PrintUsage(void)
{
    ReportError(
        L"usage: todayemu.exe [options]\n"
        L"  --screenshot OUT.png   run headless: write the screen as a PNG and exit\n"
        L"  --after MS             take the screenshot MS ms after start-up (default 600)\n"
        L"  --select               give the Quartzel item the selection\n"
        L"  --suspend              suspend the device before the screenshot\n"
        L"  --rotate               start in the other orientation (240x320 <-> 320x240)\n"
        L"  --time YYYY-MM-DDTHH:MM:SS  set the device clock (stopped)\n"
        L"  --tick                 let the set device clock run on\n"
        L"  --font-size N          UI font size in hundredths of a point (800 = 8 pt)\n"
        L"  --locale en-US|de-DE|dots  12-hour US, 24-hour German or 24-hour H.mm formats\n"
        L"  --phone-status N       phone status bits (decimal or 0x hex)\n"
        L"  --operator NAME        phone operator name\n"
        L"  --alarm N=on|off[,days=0x1f][,time=HH:MM]  alarm N (0..2) of the system clock\n"
        L"  --keep                 keep the device changes after exit\n"
        L"  --help                 this text\n"
        L"Keys: Up/Down select, Enter action, O options, R rotate, F/Shift+F font size,\n"
        L"      L locale, P phone state, A alarm 0, S suspend, M or right-click title: menu,\n"
        L"      Esc quit.\n");
}

static BOOL ParseNumber(const wchar_t *text, DWORD *value)
{
    wchar_t *end = NULL;
    unsigned long number = wcstoul(text, &end, 0);
    if (!*text || !end || *end)
        return FALSE;
    *value = (DWORD)number;
    return TRUE;
}

static BOOL ParseTime(const wchar_t *text, SYSTEMTIME *time)
{
    int year, month, day, hour, minute, second;
    wchar_t tail;
    if (swscanf(text, L"%4d-%2d-%2dT%2d:%2d:%2d%lc", &year, &month, &day, &hour, &minute,
                &second, &tail) != 6)
        return FALSE;
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    // A round trip through FILETIME validates the date and fills in the
    // day of the week, which the item's alarm search relies on.
    FILETIME ft;
    if (hour > 23 || minute > 59 || second > 59 || !SystemTimeToFileTime(&st, &ft) ||
        !FileTimeToSystemTime(&ft, time))
        return FALSE;
    return TRUE;
}

static BOOL ParseClockTime(const wchar_t *text, WORD *minutes)
{
    int hour, minute;
    wchar_t tail;
    if (swscanf(text, L"%2d:%2d%lc", &hour, &minute, &tail) != 2 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59)
        return FALSE;
    *minutes = (WORD)(hour * 60 + minute);
    return TRUE;
}

// One field of an alarm request: "days=0x1f" or "time=07:00".
static BOOL ParseAlarmField(const wchar_t *field, AlarmRequest *alarm)
{
    DWORD days;
    if (wcsncmp(field, L"days=", 5) == 0 && ParseNumber(field + 5, &days) && days <= 0xFF) {
        alarm->HasDays = TRUE;
        alarm->Days = (BYTE)days;
        return TRUE;
    }
    if (wcsncmp(field, L"time=", 5) == 0 && ParseClockTime(field + 5, &alarm->Minutes)) {
        alarm->HasTime = TRUE;
        return TRUE;
    }
    return FALSE;
}

// Copies the comma-separated field that starts at *text into field (at
// most size characters with the terminator) and moves *text past it.
static BOOL NextField(const wchar_t **text, wchar_t *field, size_t size)
{
    const wchar_t *end = wcschr(*text, L',');
    size_t length = end ? (size_t)(end - *text) : wcslen(*text);
    if (length >= size)
        return FALSE;
    wmemcpy(field, *text, length);
    field[length] = 0;
    *text = end ? end + 1 : *text + length;
    return TRUE;
}

// "N=on|off[,days=..][,time=..]"
static BOOL ParseAlarm(const wchar_t *text, HostOptions *options)
{
    if (text[0] < L'0' || text[0] > L'2' || text[1] != L'=')
        return FALSE;
    AlarmRequest *alarm = &options->Alarms[text[0] - L'0'];
    *alarm = AlarmRequest();
    alarm->Given = TRUE;
    const wchar_t *rest = text + 2;
    wchar_t field[32];
    if (!NextField(&rest, field, 32) || (wcscmp(field, L"on") != 0 && wcscmp(field, L"off") != 0))
        return FALSE;
    alarm->On = wcscmp(field, L"on") == 0;
    while (*rest)
        if (!NextField(&rest, field, 32) || !ParseAlarmField(field, alarm))
            return FALSE;
    return TRUE;
}

static BOOL ParseLocale(const wchar_t *text, int *set)
{
    for (int i = 0; i < (int)(sizeof(LocaleNames) / sizeof(LocaleNames[0])); ++i)
        if (_wcsicmp(text, LocaleNames[i]) == 0) {
            *set = i;
            return TRUE;
        }
    return FALSE;
}

// Flags that stand alone.
static BOOL ParseSwitch(const wchar_t *flag, HostOptions *options)
{
    if (wcscmp(flag, L"--select") == 0)
        options->Select = TRUE;
    else if (wcscmp(flag, L"--suspend") == 0)
        options->Suspend = TRUE;
    else if (wcscmp(flag, L"--rotate") == 0)
        options->Rotate = TRUE;
    else if (wcscmp(flag, L"--tick") == 0)
        options->Tick = TRUE;
    else if (wcscmp(flag, L"--keep") == 0)
        options->Keep = TRUE;
    else if (wcscmp(flag, L"--help") == 0 || wcscmp(flag, L"-h") == 0)
        options->Help = TRUE;
    else
        return FALSE;
    return TRUE;
}

// Flags that take a value.
static BOOL ParseValue(const wchar_t *flag, const wchar_t *value, HostOptions *options)
{
    DWORD number;
    if (wcscmp(flag, L"--screenshot") == 0)
        options->ScreenshotPath = value;
    else if (wcscmp(flag, L"--after") == 0 && ParseNumber(value, &number) && number <= 600000)
        options->AfterMs = (int)number;
    else if (wcscmp(flag, L"--time") == 0 && ParseTime(value, &options->Time))
        options->HasTime = TRUE;
    else if (wcscmp(flag, L"--font-size") == 0 && ParseNumber(value, &number) && number > 0 &&
             number <= 10000)
        options->FontSize = number;
    else if (wcscmp(flag, L"--locale") == 0 && ParseLocale(value, &options->LocaleSet))
        ;
    else if (wcscmp(flag, L"--phone-status") == 0 && ParseNumber(value, &options->PhoneStatus))
        options->HasPhoneStatus = TRUE;
    else if (wcscmp(flag, L"--operator") == 0)
        options->OperatorName = value;
    else if (wcscmp(flag, L"--alarm") == 0 && ParseAlarm(value, options))
        ;
    else
        return FALSE;
    return TRUE;
}

static BOOL TakesValue(const wchar_t *flag)
{
    static const wchar_t *const flags[] = {L"--screenshot", L"--after", L"--time",
                                           L"--font-size", L"--locale", L"--phone-status",
                                           L"--operator", L"--alarm"};
    for (const wchar_t *known : flags)
        if (wcscmp(flag, known) == 0)
            return TRUE;
    return FALSE;
}

BOOL ParseCommandLine(int argc, wchar_t **argv, HostOptions *options)
{
    *options = HostOptions();
    options->AfterMs = 600;
    options->LocaleSet = -1;
    for (int i = 1; i < argc; ++i) {
        const wchar_t *flag = argv[i];
        if (ParseSwitch(flag, options))
            continue;
        if (!TakesValue(flag)) {
            ReportError(L"todayemu: unknown option '%ls'\n", flag);
            return FALSE;
        }
        if (i + 1 >= argc) {
            ReportError(L"todayemu: option '%ls' needs a value\n", flag);
            return FALSE;
        }
        if (!ParseValue(flag, argv[i + 1], options)) {
            ReportError(L"todayemu: bad value '%ls' for option '%ls'\n", argv[i + 1], flag);
            return FALSE;
        }
        ++i;
    }
    return TRUE;
}
