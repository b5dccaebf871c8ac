// The emulator's command line. Every device setting that a menu offers can
// also be given here, so that screenshots and tests start from a known
// device without touching the screen. The whole line is checked before
// anything is written to the device: a bad value ends the run with one line
// that names the flag and what it accepts, and exit code 2.
#include "todayemu.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <wctype.h>

// The one format set of the device menu that names no locale: 24-hour
// H.mm.ss formats over the device's own day and month names (device.cpp's
// third locale set).
static const wchar_t DotsName[] = L"dots";
enum { DotsLocaleSet = 2 };

// The item's settings a run can be given, with the values the options
// sheet lets a user pick (0 and 1 for a check box). FileOnAction, the one
// string, takes a path.
struct SettingRange {
    const wchar_t *Name;
    DWORD Lowest;
    DWORD Highest;
};

static const SettingRange SettingRanges[] = {
    {L"AlarmIconEnabled", 0, 1},
    {L"AlphaDayDate", 0, 0xFFFFFFFF},
    {L"AlphaReserved", 0, 0xFFFFFFFF},
    {L"AlphaTime", 0, 0xFFFFFFFF},
    {L"AlphaTransparent", 0, 0xFFFFFFFF},
    {L"CenterDayDate", 0, 2},
    {L"ClearTypeDayDateEnabled", 0, 1},
    {L"ClearTypeTimeEnabled", 0, 1},
    {L"ColorExAlarm", 0, 0xFFFFFF},
    {L"ColorExDate", 0, 0xFFFFFF},
    {L"ColorExDay", 0, 0xFFFFFF},
    {L"ColorExHour", 0, 0xFFFFFF},
    {L"ColorExMinute", 0, 0xFFFFFF},
    {L"ColorExSecond", 0, 0xFFFFFF},
    {L"ColorExTMarker", 0, 0xFFFFFF},
    {L"ColorExTSeparator", 0, 0xFFFFFF},
    {L"FileOnAction", 0, 0},
    {L"HideTimeInSleep", 0, 1},
    {L"HourMinFontSize", 16, 99},
    {L"OverrideARGB", 0, 0xFFFF},
    {L"SecondFontSize", 16, 99},
    {L"ShowDayDate", 0, 1},
    {L"ShowOpName", 0, 1},
    {L"ShowSeconds", 0, 1},
    {L"ShowShortDate", 0, 1},
    {L"ShowTimeMarkers", 0, 1},
    {L"SingleTMLine", 0, 1},
    {L"TapAndHoldEnabled", 0, 1},
    {L"TextColorDefault", 0, 0xFFFFFF},
    {L"TextColorEnabled", 0, 3},
    {L"TextColorHighlight", 0, 0xFFFFFF},
    {L"TimeMarkerFontSize", 6, 99},
    {L"VerticalBorderHeight", 0, 500},
};

// The longest path FileOnAction holds, its terminator not counted.
enum { ActionPathMax = 259 };

// The longest operator name the command line takes.
enum { OperatorNameMax = 255 };

void PrintUsage(void)
{
    ReportError(
        L"usage: todayemu.exe [options]\n"
        L"  --screenshot OUT.png   run headless: write the screen as a PNG and exit\n"
        L"                         (the folder must exist)\n"
        L"  --after MS             take the screenshot MS ms after start-up (0 to 600000;\n"
        L"                         default 600, 1600 with --operator or --phone-status)\n"
        L"  --log-texts FILE       write every text the item draws to FILE, one line\n"
        L"                         each, UTF-8 (the folder must exist)\n"
        L"  --select               give the Quartzel item the selection\n"
        L"  --suspend              suspend the device before the screenshot\n"
        L"  --rotate               start in the other orientation (240x320 and 320x240\n"
        L"                         screens only; other screens refuse it)\n"
        L"  --time YYYY-MM-DDTHH:MM:SS  set the device clock (stopped; year 1601 or later)\n"
        L"  --tick                 let the set device clock run on\n"
        L"  --font-size N          UI font size in hundredths of a point (100 to 10000)\n"
        L"  --locale NAME          the device's locale: any name the platform knows\n"
        L"                         (en-US, fr-CA, ja-JP, kde-TZ, ...), or dots: 24-hour\n"
        L"                         H.mm.ss formats over the device's own names\n"
        L"  --phone-status N       phone status bits (unsigned 32-bit, decimal or 0x hex),\n"
        L"                         shown in the day slot: ShowOpName, ShowShortDate and\n"
        L"                         a day slot (CenterDayDate 0) turned on for the run\n"
        L"  --operator NAME        phone operator name (at most 255 characters), shown\n"
        L"                         as the phone state is\n"
        L"  --alarm N=on|off[,days=0x1f][,time=HH:MM]  alarm N (0..2) of the system clock,\n"
        L"                         days 0..0x7f (bit 0 Monday), HH:MM 00:00 to 23:59;\n"
        L"                         an alarm on turns AlarmIconEnabled on for the run\n"
        L"  --set NAME=VALUE       one of the item's settings for the run (decimal or\n"
        L"                         0x hex; FileOnAction a path); may be repeated, 16\n"
        L"                         settings at most; SecondFontSize and\n"
        L"                         TimeMarkerFontSize go up to the HourMinFontSize\n"
        L"  --keep                 keep the device changes after exit\n"
        L"  --undo                 put back what runs with --keep changed, and exit\n"
        L"  --help                 this text\n");
    ReportError(L"Settings and their values:\n");
    for (const SettingRange &range : SettingRanges)
        if (range.Highest >= 0xFFFF)
            ReportError(L"  %-24ls %lu to 0x%lX\n", range.Name, range.Lowest, range.Highest);
        else if (range.Highest)
            ReportError(L"  %-24ls %lu to %lu\n", range.Name, range.Lowest, range.Highest);
        else
            ReportError(L"  %-24ls a path of at most %d characters\n", range.Name, ActionPathMax);
    ReportError(
        L"Exit codes: 0 done; 1 a window or the PNG could not be made; 2 a bad command\n"
        L"line, or no Today item key, DLL or export.\n"
        L"Keys: Up/Down select, Enter action, O options, R rotate, F/Shift+F font size,\n"
        L"      L locale formats, P phone state, A alarm 0, S suspend,\n"
        L"      M or right-click title: menu, Esc quit.\n");
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

// A file the run writes anew: its folder must exist, as the screenshot's.
static BOOL ParseTextLogValue(const wchar_t *value, HostOptions *options)
{
    const wchar_t *screenshot = options->ScreenshotPath;
    BOOL ok = ParseScreenshotValue(value, options);
    options->ScreenshotPath = screenshot;
    options->TextLogPath = ok ? value : NULL;
    return ok;
}

static BOOL ParseAfterValue(const wchar_t *value, HostOptions *options)
{
    DWORD number;
    if (!ParseNumber(value, &number) || number > 600000)
        return FALSE;
    options->AfterMs = (int)number;
    return TRUE;
}

// The screenshot's default wait: past the item's first clock tick when the
// line sets the operator or the phone state, which the item reads there.
static int DefaultAfterMs(const HostOptions *options)
{
    return options->OperatorName || options->HasPhoneStatus ? 1600 : 600;
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
    // The last --locale of the line is the one that counts.
    options->LocaleSet = -1;
    options->LocaleName[0] = 0;
    if (_wcsicmp(value, DotsName) == 0) {
        options->LocaleSet = DotsLocaleSet;
        return TRUE;
    }
    return FindLocaleName(value, options->LocaleName);
}

static const SettingRange *FindSetting(const wchar_t *name, size_t length)
{
    for (const SettingRange &range : SettingRanges)
        if (wcslen(range.Name) == length && _wcsnicmp(name, range.Name, length) == 0)
            return &range;
    return NULL;
}

// A refusal that says more than what the flag accepts.
static BOOL Refuse(HostOptions *options, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    _vsnwprintf(options->Refusal, ARRAYSIZE(options->Refusal) - 1, format, args);
    va_end(args);
    options->Refusal[ARRAYSIZE(options->Refusal) - 1] = 0;
    return FALSE;
}

// The range of a number setting, as --help shows it.
static BOOL RefuseOutOfRange(HostOptions *options, const wchar_t *name, DWORD lowest, DWORD highest)
{
    if (highest >= 0xFFFF)
        return Refuse(options, L"%ls takes %lu to 0x%lX", name, lowest, highest);
    return Refuse(options, L"%ls takes %lu to %lu", name, lowest, highest);
}

// "NAME=VALUE": a setting the item has, and a value the options sheet
// could have stored for it. Each fault has its own message: the form, the
// name, the count, the range.
static BOOL ParseSetValue(const wchar_t *value, HostOptions *options)
{
    const wchar_t *equals = wcschr(value, L'=');
    if (!equals)
        return Refuse(options, L"expected NAME=VALUE (--help lists the settings)");
    const SettingRange *range = FindSetting(value, (size_t)(equals - value));
    if (!range)
        return Refuse(options, L"the item has no setting '%.*ls' (--help lists them)",
                      (int)(equals - value > 40 ? 40 : equals - value), value);
    if (options->SettingCount >= MaxSettingRequests)
        return Refuse(options, L"%d settings at most in one run", (int)MaxSettingRequests);
    SettingRequest *request = &options->Settings[options->SettingCount];
    request->Name = range->Name;
    request->Text = equals + 1;
    if (range->Highest == 0) {
        if (wcslen(request->Text) > ActionPathMax)
            return Refuse(options, L"%ls takes a path of at most %d characters", range->Name, (int)ActionPathMax);
    } else if (!ParseNumber(request->Text, &request->Value) || request->Value < range->Lowest ||
               request->Value > range->Highest) {
        return RefuseOutOfRange(options, range->Name, range->Lowest, range->Highest);
    }
    request->IsText = range->Highest == 0;
    ++options->SettingCount;
    return TRUE;
}

// The hour/minute size the item draws with when the device stores none.
enum { ItemHourMinuteSize = 38 };

static const SettingRequest *FindRequest(const HostOptions *options, const wchar_t *name)
{
    for (int i = 0; i < options->SettingCount; ++i)
        if (wcscmp(options->Settings[i].Name, name) == 0)
            return &options->Settings[i];
    return NULL;
}

// The hour/minute size of the run: the line's, else the device's.
static DWORD RunHourMinuteSize(const HostOptions *options)
{
    const SettingRequest *given = FindRequest(options, L"HourMinFontSize");
    if (given)
        return given->Value;
    DWORD size = ItemHourMinuteSize, bytes = sizeof(size);
    if (RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Marrowfen\\Quartzel", L"HourMinFontSize", RRF_RT_REG_DWORD,
                     NULL, &size, &bytes) != ERROR_SUCCESS)
        size = ItemHourMinuteSize;
    return size;
}

// As the options sheet has them: the seconds' and the markers' sizes go up
// to the hour/minute size, no further.
static BOOL CheckDependentSizes(const HostOptions *options)
{
    static const wchar_t *const dependents[] = {L"SecondFontSize", L"TimeMarkerFontSize"};
    DWORD hourMinute = RunHourMinuteSize(options);
    for (const wchar_t *name : dependents) {
        const SettingRequest *request = FindRequest(options, name);
        const SettingRange *range = FindSetting(name, wcslen(name));
        if (request && request->Value > hourMinute) {
            ReportError(L"todayemu: --set '%ls=%ls' refused: %ls takes %lu to %lu, up to the "
                        L"HourMinFontSize (%lu)\n",
                        name, request->Text, name, range->Lowest, hourMinute, hourMinute);
            return FALSE;
        }
    }
    return TRUE;
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
    {L"--log-texts", ParseTextLogValue, L"a file path in an existing folder"},
    {L"--time", ParseTimeValue,
     L"a real date and time as YYYY-MM-DDTHH:MM:SS, year 1601 or later"},
    {L"--font-size", ParseFontSizeValue, L"hundredths of a point, 100 to 10000 (800 = 8 pt)"},
    {L"--locale", ParseLocaleValue, L"a locale name the platform knows (such as fr-CA) or dots"},
    {L"--phone-status", ParsePhoneStatusValue,
     L"status bits as an unsigned 32-bit number, decimal or 0x hex"},
    {L"--operator", ParseOperatorValue, L"a name of at most 255 characters"},
    {L"--alarm", ParseAlarmValue,
     L"N=on|off[,days=0..0x7f][,time=HH:MM] with N 0, 1 or 2 and HH:MM 00:00 to 23:59"},
    {L"--set", ParseSetValue,
     L"NAME=VALUE with a setting of the item and a value in its range (--help lists them)"},
};

static const ValueFlag *FindValueFlag(const wchar_t *name)
{
    for (const ValueFlag &flag : ValueFlags)
        if (wcscmp(name, flag.Name) == 0)
            return &flag;
    return NULL;
}

// A flag where its predecessor's value should be: that value is missing
// (the last flag of a line that a script continues, for one).
static BOOL IsFlagName(const wchar_t *text)
{
    static const wchar_t *const switches[] = {L"--select", L"--suspend", L"--rotate", L"--tick",
                                              L"--keep",   L"--undo",    L"--help", L"-h"};
    for (const wchar_t *name : switches)
        if (wcscmp(text, name) == 0)
            return TRUE;
    return FindValueFlag(text) != NULL;
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
    else if (wcscmp(flag, L"--undo") == 0)
        options->Undo = TRUE;
    else if (wcscmp(flag, L"--help") == 0 || wcscmp(flag, L"-h") == 0)
        options->Help = TRUE;
    else
        return FALSE;
    return TRUE;
}

// --rotate asks of the device's screen, still before anything is written.
static BOOL CheckScreenTurns(void)
{
    DWORD width, height;
    if (ScreenCanTurn(&width, &height))
        return TRUE;
    ReportError(L"todayemu: --rotate refused: a %lux%lu screen is not turned here (only 240x320 and "
                L"320x240 are; the turned screens are devices of their own)\n",
                width, height);
    return FALSE;
}

BOOL ParseCommandLine(int argc, wchar_t **argv, HostOptions *options)
{
    *options = HostOptions();
    options->AfterMs = -1;
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
        if (i + 1 >= argc || IsFlagName(argv[i + 1])) {
            ReportError(L"todayemu: %ls needs a value: %ls\n", name, flag->Accepts);
            return FALSE;
        }
        options->Refusal[0] = 0;
        if (!flag->Parse(argv[i + 1], options)) {
            // A long value is shown cut, so the message stays one line.
            const wchar_t *value = argv[i + 1];
            BOOL said = options->Refusal[0] != 0;
            ReportError(L"todayemu: %ls '%.40ls%ls' refused: %ls%ls\n", name, value, wcslen(value) > 40 ? L"..." : L"",
                        said ? L"" : L"expected ", said ? options->Refusal : flag->Accepts);
            return FALSE;
        }
        ++i;
    }
    if (options->AfterMs < 0)
        options->AfterMs = DefaultAfterMs(options);
    return CheckDependentSizes(options) && (!options->Rotate || CheckScreenTurns());
}
