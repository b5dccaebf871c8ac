// The suspend watcher: a thread that hears the power manager's transitions
// and keeps the time off the strip while the device is in any state other
// than on. It clears TimeVisible and makes the window repaint synchronously
// before the device sleeps, and brings the time back at the next power
// message.
//
// Stopping runs on the window's thread and must not hang it, whatever the
// watcher is doing: every wait of the watcher includes the stop event, and
// the stop path serves messages sent to its thread while it waits, so a
// watcher inside its synchronous send gets its answer and then sees the event.
#include "watcher.h"
#include "itemwindow.h"
#include "msgqueue.h"

namespace {

// Room for a POWER_BROADCAST with the longest state name.
const DWORD PowerMessageBytes = 536;
const DWORD PowerQueueDepth = 4;

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

// Reads one message; TRUE when it is a transition into a state other than
// on. A failed read or a message too short to carry the flags is dropped.
BOOL ReadLeavesOnState(HANDLE queue)
{
    DWORD buffer[PowerMessageBytes / sizeof(DWORD)];
    DWORD bytes = 0, flags = 0;
    if (!ReadMsgQueue(queue, buffer, sizeof(buffer), &bytes, 0, &flags))
        return FALSE;
    if (bytes < FIELD_OFFSET(POWER_BROADCAST, Length))
        return FALSE;
    const POWER_BROADCAST *broadcast = (const POWER_BROADCAST *)buffer;
    return broadcast->Message == PBT_TRANSITION && !(broadcast->Flags & POWER_STATE_ON);
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

// Runs until the stop event is signalled or a wait fails.
void WatchPowerMessages(HANDLE queue, HANDLE stopEvent)
{
    HANDLE handles[2] = {queue, stopEvent};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
        if (!ReadLeavesOnState(queue))
            continue;
        // A stop that is already under way would only have the window
        // repaint while it is being torn down.
        if (StopRequested(stopEvent))
            break;
        HideTime();
        // The next power message is left queued for the next pass. The stop
        // event is watched here too: the wake-up may never come, and a stop
        // while hidden gives the time back rather than leaving it hidden.
        DWORD wake = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        ShowTime();
        if (wake != WAIT_OBJECT_0)
            break;
    }
}

// Waits for the watcher thread while serving messages sent to this thread:
// the watcher may be inside its synchronous send to this thread's window.
// A send that arrived before the wait began (and that this thread may
// already have been told about) is served first: the wait itself only wakes
// for sends that are new to it.
void WaitForWatcherServingSends(HANDLE thread)
{
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return;
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
        WaitForWatcherServingSends(ItemState.WatcherThread);
        CloseHandle(ItemState.WatcherThread);
        ItemState.WatcherThread = NULL;
    }
    CloseHandle(ItemState.WatcherStopEvent);
    ItemState.WatcherStopEvent = NULL;
}
