#include "powerevents.h"

namespace {

BOOL CALLBACK FindOtherThreadWindow(HWND window, LPARAM parameter)
{
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || thread == GetCurrentThreadId())
        return TRUE;
    WCHAR name[64];
    GetClassNameW(window, name, ARRAYSIZE(name));
    if (lstrcmpW(name, L"IME") == 0)
        return TRUE;
    *(HWND *)parameter = window;
    return FALSE;
}

BOOL CALLBACK SendPowerBroadcast(HWND window, LPARAM event)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_POWERBROADCAST, (WPARAM)event, 0, SMTO_NORMAL, 5000, &result);
    }
    return TRUE;
}

} // namespace

HWND WaitForPowerWindow(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = NULL;
        EnumWindows(FindOtherThreadWindow, (LPARAM)&found);
        if (found || GetTickCount() - start >= ms)
            return found;
        Sleep(5);
    }
}

DWORD BroadcastPowerEvent(WPARAM event)
{
    DWORD start = GetTickCount();
    EnumWindows(SendPowerBroadcast, (LPARAM)event);
    return GetTickCount() - start;
}
