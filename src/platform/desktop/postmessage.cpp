#include "postmessage.h"

namespace {

struct HeldMessage {
    HWND Window;
    UINT Message;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages waiting for the thread's message loop. Only the user-interface
// thread posts them.
struct HeldMessagesRecord {
    HeldMessage Queue[32];
    int First, Count;
    UINT_PTR Timer;
};
HeldMessagesRecord HeldMessages;

// A thread timer fires from the message loop after everything already
// queued: the held messages arrive as posted ones would.
void CALLBACK DeliverHeldMessages(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    HeldMessages.Timer = 0;
    while (HeldMessages.Count > 0) {
        HeldMessage held = HeldMessages.Queue[HeldMessages.First];
        HeldMessages.First = (HeldMessages.First + 1) % (int)ARRAYSIZE(HeldMessages.Queue);
        HeldMessages.Count--;
        if (IsWindow(held.Window))
            SendMessageW(held.Window, held.Message, held.wParam, held.lParam);
    }
}

BOOL HoldMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int size = ARRAYSIZE(HeldMessages.Queue);
    if (HeldMessages.Count == size) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    if (HeldMessages.Timer == 0) {
        HeldMessages.Timer = SetTimer(NULL, 0, USER_TIMER_MINIMUM, DeliverHeldMessages);
        if (HeldMessages.Timer == 0)
            return FALSE;
    }
    HeldMessage *held = &HeldMessages.Queue[(HeldMessages.First + HeldMessages.Count) % size];
    held->Window = window;
    held->Message = message;
    held->wParam = wParam;
    held->lParam = lParam;
    HeldMessages.Count++;
    return TRUE;
}

} // namespace

BOOL WINAPI HandheldPostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (PostMessageW(window, message, wParam, lParam))
        return TRUE;
    if (GetLastError() != ERROR_MESSAGE_SYNC_ONLY || window == NULL || !IsWindow(window))
        return FALSE;
    return HoldMessage(window, message, wParam, lParam);
}
