// The emulator's command line. Every device setting that a menu offers can
// also be given here, so that screenshots and tests start from a known
// device without touching the screen. The whole line is checked before
// anything is written to the device: a bad value ends the run with one line
// that names the flag and what it accepts, and exit code 2.
#include "todayemu.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <wctype.h>

// Locale set names, in the order of the locale sets (device.cpp).
static const wchar_t *const LocaleNames[] = {L"en-US", L"de-DE", L"dots"};

// The longest operator name the command line takes.
enum { OperatorNameMax = 255 };

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

// A decimal or 0x-hexadecimal number of at most 32 bits, no sign. Leading
// zeros are decimal: 010 is ten, never octal eight.
static BOOL ParseNumber(const wchar_t *text, DWORD *value)
{
    int base = 10;
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        base = 16;
        text += 2;
    }
    if (!iswxdigit(text[0]) || (base == 10 && !iswdigit(text[0])))
        return FALSE;
    wchar_t *end = NULL;
    errno = 0;
    unsigned long long number = wcstoull(text, &end, base);
    if (!end || *end || errno == ERANGE || number > 0xFFFFFFFFull)
        return FALSE;
    *value = (DWORD)number;
    return TRUE;
}

static BOOL IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

static int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// `count` decimal digits at text[at].
static BOOL ReadDigits(const wchar_t *text, int at, int count, int *value)
{
    *value = 0;
    for (int i = at; i < at + count; ++i) {
        if (!iswdigit(text[i]))
            return FALSE;
        *value = *value * 10 + (text[i] - L'0');
    }
    return TRUE;
}

// Exactly YYYY-MM-DDTHH:MM:SS, a date that exists. SystemTimeToFileTime
// alone would take 29 February of any year and make it 1 March.
static BOOL ParseTime(const wchar_t *text, SYSTEMTIME *time)
{
    int year, month, day, hour, minute, second;
    if (wcslen(text) != 19 || text[4] != L'-' || text[7] != L'-' || text[10] != L'T' ||
        text[13] != L':' || text[16] != L':' || !ReadDigits(text, 0, 4, &year) ||
        !ReadDigits(text, 5, 2, &month) || !ReadDigits(text, 8, 2, &day) ||
        !ReadDigits(text, 11, 2, &hour) || !ReadDigits(text, 14, 2, &minute) ||
        !ReadDigits(text, 17, 2, &second))
        return FALSE;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return FALSE;
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    // The round trip fills in the day of the week, which the item's alarm
    // search relies on.
    FILETIME ft;
    return SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, time);
}

// HH:MM, 00:00 to 23:59.
static BOOL ParseClockTime(const wchar_t *text, WORD *minutes)
{
    int hour, minute;
    if (wcslen(text) != 5 || text[2] != L':' || !ReadDigits(text, 0, 2, &hour) ||
        !ReadDigits(text, 3, 2, &minute) || hour > 23 || minute > 59)
        return FALSE;
    *minutes = (WORD)(hour * 60 + minute);
    return TRUE;
}

// One field of an alarm request: "days=0x1f" (bit 0 Monday .. bit 6
// Sunday) or "time=07:00".
static BOOL ParseAlarmField(const wchar_t *field, AlarmRequest *alarm)
{
    DWORD days;
    if (wcsncmp(field, L"days=", 5) == 0 && ParseNumber(field + 5, &days) && days <= 0x7F) {
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

// ---------------------------------------------------------------------------
// Flags that take a value: one parser each, and what it accepts.

static BOOL ParseScreenshotValue(const wchar_t *value, HostOptions *options)
{
    // The folder must exist now: finding out after the run would leave
    // a device changed for nothing.
    wchar_t folder[MAX_PATH];
    if (!*value || wcslen(value) >= MAX_PATH)
        return FALSE;
    wcscpy(folder, value);
    wchar_t *slash = wcsrchr(folder, L'\\');
    if (!slash)
        slash = wcsrchr(folder, L'/');
    if (slash) {
        slash[1] = 0;
        DWORD attributes = GetFileAttributesW(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return FALSE;
    }
    options->ScreenshotPath = value;
    return TRUE;
}

static BOOL ParseAfterValue(const wchar_t *value, HostOptions *options)
{
    DWORD number;
    if (!ParseNumber(value, &number) || number > 600000)
        return FALSE;
    options->AfterMs = (int)number;
    return TRUE;
}

static BOOL ParseTimeValue(const wchar_t *value, HostOptions *options)
{
    options->HasTime = ParseTime(value, &options->Time);
    return options->HasTime;
}

static BOOL ParseFontSizeValue(const wchar_t *value, HostOptions *options)
{
    DWORD number;
    if (!ParseNumber(value, &number) || number < 100 || number > 10000)
        return FALSE;
    options->FontSize = number;
    return TRUE;
}

static BOOL ParseLocaleValue(const wchar_t *value, HostOptions *options)
{
    for (int i = 0; i < (int)(sizeof(LocaleNames) / sizeof(LocaleNames[0])); ++i)
        if (_wcsicmp(value, LocaleNames[i]) == 0) {
            options->LocaleSet = i;
            return TRUE;
        }
    return FALSE;
}

static BOOL ParsePhoneStatusValue(const wchar_t *value, HostOptions *options)
{
    options->HasPhoneStatus = ParseNumber(value, &options->PhoneStatus);
    return options->HasPhoneStatus;
}

static BOOL ParseOperatorValue(const wchar_t *value, HostOptions *options)
{
    // Long enough to show how the item cuts a name that does not fit.
    if (wcslen(value) > OperatorNameMax)
        return FALSE;
    options->OperatorName = value;
    return TRUE;
}

// "N=on|off[,days=..][,time=..]"
static BOOL ParseAlarmValue(const wchar_t *value, HostOptions *options)
{
    if (value[0] < L'0' || value[0] > L'2' || value[1] != L'=')
        return FALSE;
    AlarmRequest alarm = {};
    alarm.Given = TRUE;
    const wchar_t *rest = value + 2;
    wchar_t field[32];
    if (!NextField(&rest, field, 32) || (wcscmp(field, L"on") != 0 && wcscmp(field, L"off") != 0))
        return FALSE;
    alarm.On = wcscmp(field, L"on") == 0;
    while (*rest)
        if (!NextField(&rest, field, 32) || !ParseAlarmField(field, &alarm))
            return FALSE;
    options->Alarms[value[0] - L'0'] = alarm;
    return TRUE;
}

struct ValueFlag {
    const wchar_t *Name;
    BOOL (*Parse)(const wchar_t *value, HostOptions *options);
    const wchar_t *Accepts;
};

static const ValueFlag ValueFlags[] = {
    {L"--screenshot", ParseScreenshotValue, L"a PNG file path in an existing folder"},
    {L"--after", ParseAfterValue, L"milliseconds, 0 to 600000"},
    {L"--time", ParseTimeValue,
     L"a real date and time as YYYY-MM-DDTHH:MM:SS, year 1601 or later"},
    {L"--font-size", ParseFontSizeValue, L"hundredths of a point, 100 to 10000 (800 = 8 pt)"},
    {L"--locale", ParseLocaleValue, L"en-US, de-DE or dots"},
    {L"--phone-status", ParsePhoneStatusValue,
     L"status bits as an unsigned 32-bit number, decimal or 0x hex"},
    {L"--operator", ParseOperatorValue, L"a name of at most 255 characters"},
    {L"--alarm", ParseAlarmValue,
     L"N=on|off[,days=0..0x7f][,time=HH:MM] with N 0, 1 or 2 and HH:MM 00:00 to 23:59"},
};

static const ValueFlag *FindValueFlag(const wchar_t *name)
{
    for (const ValueFlag &flag : ValueFlags)
        if (wcscmp(name, flag.Name) == 0)
            return &flag;
    return NULL;
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

BOOL ParseCommandLine(int argc, wchar_t **argv, HostOptions *options)
{
    *options = HostOptions();
    options->AfterMs = 600;
    options->LocaleSet = -1;
    for (int i = 1; i < argc; ++i) {
        const wchar_t *name = argv[i];
        if (ParseSwitch(name, options))
            continue;
        const ValueFlag *flag = FindValueFlag(name);
        if (!flag) {
            ReportError(L"todayemu: unknown option '%ls' (--help lists the options)\n", name);
            return FALSE;
        }
        if (i + 1 >= argc) {
            ReportError(L"todayemu: %ls needs a value: %ls\n", name, flag->Accepts);
            return FALSE;
        }
        if (!flag->Parse(argv[i + 1], options)) {
            // A long value is shown cut, so the message stays one line.
            const wchar_t *value = argv[i + 1];
            ReportError(L"todayemu: %ls '%.40ls%ls' refused: expected %ls\n", name, value,
                        wcslen(value) > 40 ? L"..." : L"", flag->Accepts);
            return FALSE;
        }
        ++i;
    }
    return TRUE;
}
