// The system clock's three alarms: is any on, and when is the next one.
#pragma once
#include <windows.h>

#define NEXT_ALARM_CHARS 29

// 1 when an alarm will ring: switched on, on some weekday, at a time of day.
DWORD AnyAlarmEnabled();
// Seconds until the alarm of the open key next rings; -1 when it never does.
int SecondsToAlarm(HKEY alarmKey);
// The menu line for the nearest alarm; FALSE (and an empty text) when no
// alarm will ring.
BOOL FormatNextAlarm(WCHAR *text);
