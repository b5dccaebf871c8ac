// The system clock's three alarms, read afresh from the registry each time:
// whether any is switched on (the bell), and how long until the next one
// rings (the menu line).
#include "alarm.h"
#include "program.h"
#include "resource.h"
#include "resstr.h"

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
const int SecondsPerWeek = 604800;
const WORD MinutesPerDay = 1440;

HKEY OpenAlarmKey(int index)
{
    // The handheld ignores the access mask; the desktop needs read access.
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AlarmKeys[index], 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

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

BOOL AlarmEnabled(int index)
{
    HKEY key = OpenAlarmKey(index);
    if (key == NULL)
        return FALSE;
    BYTE flags = ReadAlarmByte(key, L"AlarmFlags");
    BYTE days = ReadAlarmByte(key, L"AlarmDays");
    RegCloseKey(key);
    return flags != 0 && days != 0;
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

int ShortestSecondsToAlarm()
{
    int shortest = SecondsPerWeek;
    for (int i = 0; i < AlarmCount; i++) {
        HKEY key = OpenAlarmKey(i);
        int seconds = -1;
        if (key) {
            seconds = SecondsToAlarm(key);
            RegCloseKey(key);
        }
        if (seconds >= 0 && seconds < shortest)
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
    lstrcpynW(text + used, piece, capacity - used);
}

void AppendPart(WCHAR *text, int capacity, int value, UINT unitString)
{
    if (value < 1)
        return;
    WCHAR number[16];
    wsprintfW(number, L" %d", value);
    AppendBounded(text, capacity, number);
    AppendBounded(text, capacity, LoadStringInPlace(ModuleInstance, unitString));
}

} // namespace

DWORD AnyAlarmEnabled()
{
    for (int i = 0; i < AlarmCount; i++)
        if (AlarmEnabled(i))
            return 1;
    return 0;
}

int SecondsToAlarm(HKEY alarmKey)
{
    if (ReadAlarmByte(alarmKey, L"AlarmFlags") == 0)
        return -1;
    BYTE days = 0;
    BYTE time[2] = {};
    if (!ReadAlarmBytes(alarmKey, L"AlarmDays", &days, sizeof(days)) ||
        !ReadAlarmBytes(alarmKey, L"AlarmTime", time, sizeof(time)))
        return -1;
    WORD minutes = (WORD)(time[0] | (time[1] << 8));
    // A time past the end of the day is no time of day at all; searching
    // with it would put the alarm on the wrong weekday.
    if (minutes >= MinutesPerDay)
        return -1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SearchOccurrence(&now, days, minutes);
}

void FormatNextAlarm(WCHAR *text)
{
    int seconds = ShortestSecondsToAlarm();
    text[0] = 0;
    AppendBounded(text, NEXT_ALARM_CHARS, LoadStringInPlace(ModuleInstance, IDS_NEXT_ALARM_IN));
    AppendPart(text, NEXT_ALARM_CHARS, seconds / 86400, IDS_UNIT_DAYS);
    AppendPart(text, NEXT_ALARM_CHARS, (seconds / 3600) % 24, IDS_UNIT_HOURS);
    AppendPart(text, NEXT_ALARM_CHARS, (seconds / 60) % 60, IDS_UNIT_MINUTES);
    AppendPart(text, NEXT_ALARM_CHARS, seconds % 60, IDS_UNIT_SECONDS);
}
