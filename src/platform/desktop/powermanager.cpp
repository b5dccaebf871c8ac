// A power manager on top of desktop Win32.
//
// The handheld's power manager tells registered queues about power-state
// transitions. On the desktop the system tells top-level windows
// (WM_POWERBROADCAST), so the stand-in owns a hidden top-level window on a
// thread of its own and turns each broadcast into POWER_BROADCAST messages on
// the registered queues. Its own thread, because the registering thread need
// not pump messages (a watcher thread never does), while the thread that
// sends the broadcast must keep serving sent messages.
//
// A broadcast returns only after its messages have been acted on: the power
// thread waits until the queue reports each message it wrote as consumed,
// that is, taken by a reader that has since come back to the queue (see
// msgqueue.cpp). A reader's synchronous send cannot be under way then, so
// for the suspend broadcast the item has repainted before the sender goes
// on to put the device to sleep. The wait is bounded, for a reader that
// never comes back.
//
// The power thread ends on an event of its own rather than on a posted
// message, so that stopping needs nothing that can be refused; the stop
// gives the signal again after each slice of its wait, and serves sends
// meanwhile.
#include "queue-standins.h"
#include "queueaccess.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const WCHAR PowerWindowClass[] = L"PowerManagerStandIn";
const int MaxPowerRegistrations = 16;
// Longest a broadcast waits for its messages to be consumed.
const DWORD ConsumeBound = 1000;
// A slice of the stop's wait for the power thread, after which the stop
// signal is given again.
const DWORD StopSlice = 100;
// Largest POWER_BROADCAST the stand-in builds (header plus a short name).
const DWORD MaxBroadcastBytes = 64;

struct PowerRegistration {
    DWORD Id;
    DWORD Flags;
    MessageQueue *Queue;
};

struct PowerManagerRecord {
    PowerRegistration Registrations[MaxPowerRegistrations];
    DWORD NextId;
    HANDLE Thread;
    HANDLE StopSignal;        // set to end the power thread
    HWND Window;
    volatile LONG Ending;
};
PowerManagerRecord PowerManager;
// Guards the registrations; taken before a queue's own lock, never the
// other way round, and never held across a wait.
SRWLOCK RegistrationLock = SRWLOCK_INIT;
// Serialises starting and stopping the power thread. The power thread never
// takes it, so holding it while waiting for that thread cannot deadlock.
SRWLOCK PowerLifecycleLock = SRWLOCK_INIT;

struct Delivery {
    MessageQueue *Queues[MaxPowerRegistrations];
    DWORD Sequences[MaxPowerRegistrations];   // the last message put on each
    int Count;
};

// Waits up to `ms` for `handle` while serving messages that other threads
// send to this one, so a thread that is itself waiting for this one in
// SendMessage goes on. Sends already pending are served before each wait,
// which only wakes for new ones. Returns whether the handle was signalled.
BOOL WaitServingSentMessages(HANDLE handle, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD spent = GetTickCount() - start;
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, spent < ms ? ms - spent : 0, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return wait == WAIT_OBJECT_0;
    }
}

int RegistrationCountLocked()
{
    int count = 0;
    for (int i = 0; i < MaxPowerRegistrations; i++)
        if (PowerManager.Registrations[i].Queue)
            count++;
    return count;
}

// Builds one POWER_BROADCAST; returns its size in bytes.
DWORD BuildBroadcast(BYTE *buffer, DWORD message, DWORD flags, const WCHAR *stateName)
{
    POWER_BROADCAST *broadcast = (POWER_BROADCAST *)buffer;
    DWORD nameBytes = (DWORD)(lstrlenW(stateName) + 1) * sizeof(WCHAR);
    DWORD header = FIELD_OFFSET(POWER_BROADCAST, SystemPowerState);
    if (header + nameBytes > MaxBroadcastBytes)
        nameBytes = 0;
    broadcast->Message = message;
    broadcast->Flags = flags;
    broadcast->Length = nameBytes;
    CopyMemory(broadcast->SystemPowerState, stateName, nameBytes);
    return header + nameBytes;
}

void NoteDelivery(Delivery *delivery, MessageQueue *queue, DWORD sequence)
{
    for (int i = 0; i < delivery->Count; i++)
        if (delivery->Queues[i] == queue) {
            delivery->Sequences[i] = sequence;
            return;
        }
    AddQueueReference(queue);
    delivery->Queues[delivery->Count] = queue;
    delivery->Sequences[delivery->Count++] = sequence;
}

// Puts the message on every queue registered for its class. A queue that
// refuses it (too large for the queue, queue full, reader gone) is skipped.
void Deliver(Delivery *delivery, DWORD message, DWORD flags, const WCHAR *stateName)
{
    BYTE buffer[MaxBroadcastBytes];
    DWORD size = BuildBroadcast(buffer, message, flags, stateName);
    AcquireSRWLockExclusive(&RegistrationLock);
    for (int i = 0; i < MaxPowerRegistrations; i++) {
        PowerRegistration *registration = &PowerManager.Registrations[i];
        MessageQueue *queue = registration->Queue;
        if (queue == NULL || !(registration->Flags & message))
            continue;
        DWORD sequence = OfferMessage(queue, buffer, size);
        if (sequence != 0)
            NoteDelivery(delivery, queue, sequence);
    }
    ReleaseSRWLockExclusive(&RegistrationLock);
}

// One bound for the whole delivery, however many queues it reached.
void WaitUntilActedOn(Delivery *delivery)
{
    DWORD start = GetTickCount();
    for (int i = 0; i < delivery->Count; i++) {
        DWORD spent = GetTickCount() - start;
        DWORD left = spent < ConsumeBound ? ConsumeBound - spent : 0;
        WaitUntilConsumed(delivery->Queues[i], delivery->Sequences[i], left, &PowerManager.Ending);
        ReleaseQueue(delivery->Queues[i]);
    }
}

void OnPowerBroadcast(WPARAM event)
{
    Delivery delivery = {};
    switch (event) {
    case PBT_APMSUSPEND:
        Deliver(&delivery, PBT_TRANSITION, POWER_STATE_SUSPEND, L"suspend");
        break;
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMECRITICAL:
        Deliver(&delivery, PBT_RESUME, 0, L"");
        Deliver(&delivery, PBT_TRANSITION, POWER_STATE_ON, L"on");
        break;
    case PBT_APMPOWERSTATUSCHANGE:
        Deliver(&delivery, PBT_POWERSTATUSCHANGE, 0, L"");
        break;
    }
    WaitUntilActedOn(&delivery);
}

LRESULT CALLBACK PowerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_POWERBROADCAST: OnPowerBroadcast(wParam); return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The class goes with the window, also when the window cannot be made: it
// names a procedure in this module, which may be unloaded next.
void UnregisterPowerWindowClass()
{
    UnregisterClassW(PowerWindowClass, (HINSTANCE)&__ImageBase);
}

HWND CreatePowerWindow()
{
    HINSTANCE instance = (HINSTANCE)&__ImageBase;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PowerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = PowerWindowClass;
    RegisterClassW(&wc);
    // A hidden popup: top-level, so the desktop's power broadcast reaches it.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, PowerWindowClass, L"Power Manager", WS_POPUP, 0, 0, 0, 0, NULL,
                                  NULL, instance, NULL);
    if (window == NULL)
        UnregisterPowerWindowClass();
    return window;
}

// Dispatches the window's messages (the broadcasts are sent, and served
// here) until the stop signal is set or the wait fails.
void ServePowerWindow(HANDLE stopSignal)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (MsgWaitForMultipleObjects(1, &stopSignal, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0 + 1)
            return;
    }
}

DWORD WINAPI RunPowerManager(LPVOID ready)
{
    HWND window = CreatePowerWindow();
    PowerManager.Window = window;
    // A starter that cannot be told the window is ready learns it from the
    // thread's end instead: the start then fails whole.
    if (window != NULL && !SetEvent((HANDLE)ready)) {
        PowerManager.Window = NULL;
        DestroyWindow(window);
        UnregisterPowerWindowClass();
        return 0;
    }
    if (window == NULL)
        return 0;
    ServePowerWindow(PowerManager.StopSignal);
    DestroyWindow(window);
    UnregisterPowerWindowClass();
    return 0;
}

// Starts the power thread and waits until its window exists. Caller holds
// PowerLifecycleLock.
BOOL StartPowerManager()
{
    if (PowerManager.Thread)
        return TRUE;
    HANDLE ready = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE stopSignal = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE thread = NULL;
    PowerManager.Ending = 0;
    PowerManager.Window = NULL;
    PowerManager.StopSignal = stopSignal;
    if (ready && stopSignal)
        thread = CreateThread(NULL, 0, RunPowerManager, ready, 0, NULL);
    if (thread) {
        // The thread either says its window is ready or ends.
        HANDLE started[] = {ready, thread};
        WaitForMultipleObjects(ARRAYSIZE(started), started, FALSE, INFINITE);
    }
    if (thread && PowerManager.Window == NULL) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = NULL;
    }
    if (ready)
        CloseHandle(ready);
    if (thread == NULL && stopSignal) {
        CloseHandle(stopSignal);
        PowerManager.StopSignal = NULL;
    }
    PowerManager.Thread = thread;
    return thread != NULL;
}

// Ends the power thread. Caller holds PowerLifecycleLock. A broadcast in
// progress gives up waiting for its readers.
void StopPowerManager()
{
    if (PowerManager.Thread == NULL)
        return;
    PowerManager.Ending = 1;
    WakeConsumeWaiters();
    do
        SetEvent(PowerManager.StopSignal);
    while (!WaitServingSentMessages(PowerManager.Thread, StopSlice));
    CloseHandle(PowerManager.Thread);
    CloseHandle(PowerManager.StopSignal);
    PowerManager.Thread = NULL;
    PowerManager.StopSignal = NULL;
    PowerManager.Window = NULL;
}

DWORD AddRegistration(HANDLE queueHandle, DWORD flags)
{
    MessageQueue *queue = AcquireQueue(queueHandle, FALSE, FALSE);
    if (queue == NULL)
        return 0;
    DWORD id = 0;
    AcquireSRWLockExclusive(&RegistrationLock);
    for (int i = 0; i < MaxPowerRegistrations && id == 0; i++) {
        PowerRegistration *registration = &PowerManager.Registrations[i];
        if (registration->Queue)
            continue;
        id = ++PowerManager.NextId;
        if (id == 0)
            id = ++PowerManager.NextId;
        registration->Id = id;
        registration->Flags = flags;
        registration->Queue = queue;
    }
    ReleaseSRWLockExclusive(&RegistrationLock);
    if (id == 0)
        ReleaseQueue(queue);
    return id;
}

// Removes the registration; returns FALSE when there is none with that id.
BOOL RemoveRegistration(DWORD id, int *remaining)
{
    BOOL found = FALSE;
    AcquireSRWLockExclusive(&RegistrationLock);
    for (int i = 0; i < MaxPowerRegistrations && id != 0; i++) {
        PowerRegistration *registration = &PowerManager.Registrations[i];
        if (registration->Queue == NULL || registration->Id != id)
            continue;
        ReleaseQueue(registration->Queue);
        registration->Queue = NULL;
        registration->Id = 0;
        found = TRUE;
        break;
    }
    *remaining = RegistrationCountLocked();
    ReleaseSRWLockExclusive(&RegistrationLock);
    return found;
}

} // namespace

HANDLE RequestPowerNotifications(HANDLE hMsgQ, DWORD Flags)
{
    AcquireSRWLockExclusive(&PowerLifecycleLock);
    DWORD id = AddRegistration(hMsgQ, Flags);
    if (id != 0 && !StartPowerManager()) {
        int remaining = 0;
        RemoveRegistration(id, &remaining);
        id = 0;
        SetLastError(ERROR_OUTOFMEMORY);
    }
    ReleaseSRWLockExclusive(&PowerLifecycleLock);
    return (HANDLE)(ULONG_PTR)id;
}

DWORD StopPowerNotifications(HANDLE h)
{
    AcquireSRWLockExclusive(&PowerLifecycleLock);
    int remaining = 0;
    BOOL found = RemoveRegistration((DWORD)(ULONG_PTR)h, &remaining);
    // Without registrations the thread goes, so that nothing of this module
    // runs once its last user is gone (the library may be unloaded next).
    if (found && remaining == 0)
        StopPowerManager();
    ReleaseSRWLockExclusive(&PowerLifecycleLock);
    return found ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}
