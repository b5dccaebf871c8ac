// Power events as the emulated device delivers them: WM_POWERBROADCAST
// sent to every top-level window of the process, where the power manager's
// hidden window turns them into power notifications.
#pragma once
#include <windows.h>

// The power manager's window: the one top-level window of this process that
// belongs to another thread. Waits up to `ms` for it; NULL when none.
HWND WaitForPowerWindow(DWORD ms);

// Sends WM_POWERBROADCAST with `event` to every top-level window of this
// process, as the device does on suspend and resume; returns the
// milliseconds it took.
DWORD BroadcastPowerEvent(WPARAM event);
