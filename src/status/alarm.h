// The system clock's three alarms: is any on, and when is the next one.
#pragma once
#include <windows.h>

#define NEXT_ALARM_CHARS 29

DWORD AnyAlarmEnabled();
int SecondsToAlarm(HKEY alarmKey);
void FormatNextAlarm(WCHAR *text);
