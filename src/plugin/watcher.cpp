#include "watcher.h"

void StartSuspendWatcher() {}
void StopSuspendWatcher() {}
DWORD WINAPI SuspendWatcher(LPVOID) { return 0; }
