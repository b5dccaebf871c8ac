// The system clock's three alarms, read afresh from the registry each time:
// whether any is switched on (the bell), and how long until the next one
// rings (the menu line). Each key is opened, read and closed within the
// read: a key held open could not be deleted by the clock (on the handheld,
// no one may delete a key that an application has open).
#include "alarm.h"
#include "program.h"
#include "resource.h"
#include "resstr.h"
#include "regkey.h"
#include "portable.h"

namespace {

const WCHAR *const AlarmKeys[] = {
    L"Software\\Microsoft\\Clock\\0",
    L"Software\\Microsoft\\Clock\\1",
    L"Software\\Microsoft\\Clock\\2",
};
const int AlarmCount = 3;

const ULONGLONG UnitsPerSecond = 10000000ULL;
const ULONGLONG UnitsPerMinute = 60 * UnitsPerSecond;
const ULONGLONG UnitsPerDay = 1440 * UnitsPerMinute;
const WORD MinutesPerDay = 1440;

// Reads a value of exactly `size` bytes; any other size counts as unreadable.
BOOL ReadAlarmBytes(HKEY key, const WCHAR *name, void *data, DWORD size)
{
    DWORD got = size;
    return RegQueryValueExW(key, name, NULL, NULL, (BYTE *)data, &got) == ERROR_SUCCESS && got == size;
}

BYTE ReadAlarmByte(HKEY key, const WCHAR *name)
{
    BYTE value = 0;
    if (!ReadAlarmBytes(key, name, &value, sizeof(value)))
        return 0;
    return value;
}

// Weekday bits 0 (Monday) to 6 (Sunday); bit 7 names no day.
const BYTE WeekdayBits = 0x7F;

struct AlarmValues {
    BYTE Days;
    WORD Minutes;
};

// An alarm rings when it is switched on, has a weekday and a time of day.
// Anything else never rings, so it gives neither a bell nor a next alarm.
BOOL ReadRingingAlarm(HKEY key, AlarmValues *alarm)
{
    if (ReadAlarmByte(key, L"AlarmFlags") == 0)
        return FALSE;
    BYTE time[2] = {};
    if (!ReadAlarmBytes(key, L"AlarmDays", &alarm->Days, sizeof(alarm->Days)) ||
        !ReadAlarmBytes(key, L"AlarmTime", time, sizeof(time)))
        return FALSE;
    alarm->Minutes = (WORD)(time[0] | (time[1] << 8));
    return (alarm->Days & WeekdayBits) != 0 && alarm->Minutes < MinutesPerDay;
}

// Alarm `index`, its key opened for this read alone. A missing key never
// rings, and is looked for again at the next read.
BOOL ReadAlarm(int index, AlarmValues *alarm)
{
    HKEY key = OpenRegistryKey(HKEY_LOCAL_MACHINE, AlarmKeys[index], RegistryRead);
    if (key == NULL)
        return FALSE;
    BOOL rings = ReadRingingAlarm(key, alarm);
    RegCloseKey(key);
    return rings;
}

ULONGLONG FileTimeUnits(const SYSTEMTIME *time)
{
    FILETIME file = {};
    SystemTimeToFileTime(time, &file);
    return ((ULONGLONG)file.dwHighDateTime << 32) | file.dwLowDateTime;
}

// Monday 0 .. Sunday 6, the bit order of AlarmDays.
int WeekdayIndex(const SYSTEMTIME *time)
{
    return time->wDayOfWeek == 0 ? 6 : time->wDayOfWeek - 1;
}

// Seconds from `now` to the first of today and the seven following days
// whose weekday bit is set and whose alarm time is not yet past; -1 if none.
int SearchOccurrence(const SYSTEMTIME *now, BYTE days, WORD minutes)
{
    SYSTEMTIME midnight = *now;
    midnight.wHour = 0;
    midnight.wMinute = 0;
    midnight.wSecond = 0;
    midnight.wMilliseconds = 0;
    ULONGLONG nowUnits = FileTimeUnits(now);
    ULONGLONG candidate = FileTimeUnits(&midnight) + minutes * UnitsPerMinute;
    int today = WeekdayIndex(now);
    for (int i = 0; i <= 7; i++) {
        if ((days & (1 << ((today + i) % 7))) && candidate >= nowUnits)
            return (int)((candidate - nowUnits) / UnitsPerSecond);
        candidate += UnitsPerDay;
    }
    return -1;
}

// -1 when no alarm will ring.
// Seconds from now to the alarm's next ringing; -1 if it never rings.
int SecondsToRinging(const AlarmValues &alarm)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SearchOccurrence(&now, alarm.Days, alarm.Minutes);
}

int ShortestSecondsToAlarm()
{
    int shortest = -1;
    for (int i = 0; i < AlarmCount; i++) {
        AlarmValues alarm;
        int seconds = ReadAlarm(i, &alarm) ? SecondsToRinging(alarm) : -1;
        if (seconds >= 0 && (shortest < 0 || seconds < shortest))
            shortest = seconds;
    }
    return shortest;
}

// Appends as much of `piece` as fits, always leaving the text terminated.
void AppendBounded(WCHAR *text, int capacity, const WCHAR *piece)
{
    int used = lstrlenW(text);
    if (used >= capacity - 1)
        return;
    CopyText(text + used, piece, capacity - used);
}

// Parts of 0 are left out, unless `evenZero`.
void AppendPart(WCHAR *text, int capacity, int value, UINT unitString, BOOL evenZero = FALSE)
{
    if (value < 1 && !evenZero)
        return;
    WCHAR number[16];
    wsprintfW(number, L" %d", value);
    AppendBounded(text, capacity, number);
    AppendBounded(text, capacity, LoadStringInPlace(ModuleInstance, unitString));
}

} // namespace

DWORD AnyAlarmEnabled()
{
    AlarmValues alarm;
    for (int i = 0; i < AlarmCount; i++)
        if (ReadAlarm(i, &alarm))
            return 1;
    return 0;
}

int SecondsToAlarm(HKEY alarmKey)
{
    AlarmValues alarm;
    return ReadRingingAlarm(alarmKey, &alarm) ? SecondsToRinging(alarm) : -1;
}

BOOL FormatNextAlarm(WCHAR *text)
{
    int seconds = ShortestSecondsToAlarm();
    text[0] = 0;
    if (seconds < 0)
        return FALSE;
    AppendBounded(text, NEXT_ALARM_CHARS, LoadStringInPlace(ModuleInstance, IDS_NEXT_ALARM_IN));
    AppendPart(text, NEXT_ALARM_CHARS, seconds / 86400, IDS_UNIT_DAYS);
    AppendPart(text, NEXT_ALARM_CHARS, (seconds / 3600) % 24, IDS_UNIT_HOURS);
    AppendPart(text, NEXT_ALARM_CHARS, (seconds / 60) % 60, IDS_UNIT_MINUTES);
    // At the very moment the alarm rings, the line still ends in a time.
    AppendPart(text, NEXT_ALARM_CHARS, seconds % 60, IDS_UNIT_SECONDS, seconds == 0);
    return TRUE;
}
