#include "alarm.h"

DWORD AnyAlarmEnabled() { return 0; }
int SecondsToAlarm(HKEY) { return -1; }
void FormatNextAlarm(WCHAR *text) { text[0] = 0; }
