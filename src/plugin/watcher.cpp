// The suspend watcher: a thread that hears the power manager's transitions
// and keeps the time off the strip while the device is in any state other
// than on. It clears TimeVisible and makes the window repaint synchronously
// before the device sleeps, and brings the time back at the next power
// message.
//
// Each wake-up reads the queue until a read finds it empty: that read tells
// the power manager that the watcher is done with what it took, so the
// suspend broadcast returns only after the repaint without the time. A
// message that arrives while the time is hidden is the wake-up; it is acted
// on in the same pass (a second suspend hides the time again at once).
//
// Stopping runs on the window's thread and must not hang it, whatever the
// watcher is doing: every wait of the watcher includes the stop event, and
// the stop path serves messages sent to its thread while it waits, so a
// watcher inside its synchronous send gets its answer and then sees the
// event. The event is set again after each slice of that wait.
#include "watcher.h"
#include "itemwindow.h"
#include "handheld.h"

namespace {

// Room for a POWER_BROADCAST with the longest state name.
const DWORD PowerMessageBytes = 536;
const DWORD PowerQueueDepth = 4;
// A slice of the stop's wait for the watcher, after which the stop event is
// set again.
const DWORD StopSlice = 100;

enum PowerRead { QueueEmpty, StaysOn, LeavesOn };

HANDLE CreatePowerQueue()
{
    MSGQUEUEOPTIONS options = {};
    options.dwSize = sizeof(options);
    options.dwFlags = MSGQUEUE_NOPRECOMMIT;
    options.dwMaxMessages = PowerQueueDepth;
    options.cbMaxMessage = PowerMessageBytes;
    options.bReadAccess = TRUE;
    return CreateMsgQueue(NULL, &options);
}

// Reads one message without waiting: LeavesOn for a transition into a
// state other than on, StaysOn for any other message (a message too short
// to carry the flags among them), QueueEmpty when nothing was read.
PowerRead ReadPowerMessage(HANDLE queue)
{
    DWORD buffer[PowerMessageBytes / sizeof(DWORD)];
    DWORD bytes = 0, flags = 0;
    if (!ReadMsgQueue(queue, buffer, sizeof(buffer), &bytes, 0, &flags))
        return QueueEmpty;
    if (bytes < FIELD_OFFSET(POWER_BROADCAST, Length))
        return StaysOn;
    POWER_BROADCAST broadcast;
    CopyMemory(&broadcast, buffer, FIELD_OFFSET(POWER_BROADCAST, Length));
    return broadcast.Message == PBT_TRANSITION && !(broadcast.Flags & POWER_STATE_ON) ? LeavesOn : StaysOn;
}

BOOL StopRequested(HANDLE stopEvent)
{
    return WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
}

// The flag is cleared before the send, so the repaint it causes already
// leaves the time out; the send returns once that repaint is done.
void HideTime()
{
    InterlockedExchange(&ItemState.TimeVisible, 0);
    SendMessageW(ItemState.Window, WM_USER, 0, 0);
}

void ShowTime()
{
    InterlockedExchange(&ItemState.TimeVisible, 1);
    PostMessageW(ItemState.Window, WM_USER, 0, 0);
}

// Acts on every queued message; returns FALSE when a stop is under way
// (it would only have the window repaint while it is being torn down).
BOOL ActOnQueuedMessages(HANDLE queue, HANDLE stopEvent, BOOL *hidden)
{
    PowerRead read;
    while ((read = ReadPowerMessage(queue)) != QueueEmpty) {
        if (*hidden) {
            ShowTime();
            *hidden = FALSE;
        }
        if (read != LeavesOn)
            continue;
        if (StopRequested(stopEvent))
            return FALSE;
        HideTime();
        *hidden = TRUE;
    }
    return TRUE;
}

// Runs until the stop event is signalled or a wait fails. The stop event is
// watched while the time is hidden too: the wake-up may never come, and a
// stop while hidden gives the time back rather than leaving it hidden.
void WatchPowerMessages(HANDLE queue, HANDLE stopEvent)
{
    HANDLE handles[2] = {queue, stopEvent};
    BOOL hidden = FALSE;
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0)
        if (!ActOnQueuedMessages(queue, stopEvent, &hidden))
            break;
    if (hidden)
        ShowTime();
}

// Waits up to `ms` for the watcher thread while serving messages sent to
// this thread: the watcher may be inside its synchronous send to this
// thread's window. A send that arrived before the wait began (and that this
// thread may already have been told about) is served first: the wait itself
// only wakes for sends that are new to it. Returns whether the thread ended.
BOOL WaitForWatcherServingSends(HANDLE thread, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE);
        DWORD spent = GetTickCount() - start;
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, spent < ms ? ms - spent : 0, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return wait == WAIT_OBJECT_0;
    }
}

} // namespace

DWORD WINAPI SuspendWatcher(LPVOID)
{
    HANDLE queue = CreatePowerQueue();
    if (queue == NULL)
        return 0;
    HANDLE notifications = RequestPowerNotifications(queue, PBT_TRANSITION);
    if (notifications == NULL) {
        CloseMsgQueue(queue);
        return 0;
    }
    HANDLE stopEvent = ItemState.WatcherStopEvent;
    WatchPowerMessages(queue, stopEvent);
    if (StopRequested(stopEvent))
        EventModify(stopEvent, EVENT_RESET);
    StopPowerNotifications(notifications);
    CloseMsgQueue(queue);
    return 0;
}

void StartSuspendWatcher()
{
    if (ItemState.WatcherStopEvent == NULL) {
        ItemState.WatcherStopEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
        if (ItemState.WatcherStopEvent == NULL)
            return;
    }
    if (ItemState.WatcherThread != NULL)
        return;
    ItemState.WatcherThread = CreateThread(NULL, 0, SuspendWatcher, NULL, 0, NULL);
}

void StopSuspendWatcher()
{
    if (ItemState.WatcherStopEvent == NULL)
        return;
    EventModify(ItemState.WatcherStopEvent, EVENT_SET);
    if (ItemState.WatcherThread != NULL) {
        while (!WaitForWatcherServingSends(ItemState.WatcherThread, StopSlice))
            EventModify(ItemState.WatcherStopEvent, EVENT_SET);
        CloseHandle(ItemState.WatcherThread);
        ItemState.WatcherThread = NULL;
    }
    CloseHandle(ItemState.WatcherStopEvent);
    ItemState.WatcherStopEvent = NULL;
}
