// Hides the time before the device suspends.
#pragma once
#include <windows.h>

void StartSuspendWatcher();
void StopSuspendWatcher();
DWORD WINAPI SuspendWatcher(LPVOID parameter);
