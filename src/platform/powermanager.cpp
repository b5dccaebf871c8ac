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
// thread waits until each queue it wrote to has been read empty and the
// thread that read it is back in a kernel wait (where a reader waits for its
// queue). A reader's synchronous send cannot be under way then, so for the
// suspend broadcast the item has repainted before the sender goes on to put
// the device to sleep. Whether a thread waits is seen from outside: while it
// is held suspended, a thread inside a system call reports the call's stub as
// its instruction pointer. The reader is only looked at, never woken. Every
// one of these waits is bounded.
#include "msgqueue.h"
#include "queueaccess.h"
#include "threadwait.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const WCHAR PowerWindowClass[] = L"PowerManagerStandIn";
const int MaxPowerRegistrations = 16;
// Longest a broadcast waits for a reader to empty its queue and to be back
// in its wait.
const DWORD ConsumeBound = 1000;
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
    int Count;
};

// Waits for `handle` while serving messages that other threads send to this
// one, so a thread that is itself waiting for this one in SendMessage goes on.
// Sends already pending are served before each wait, which only wakes for
// new ones.
void WaitServingSentMessages(HANDLE handle)
{
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return;
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

void NoteDelivery(Delivery *delivery, MessageQueue *queue)
{
    for (int i = 0; i < delivery->Count; i++)
        if (delivery->Queues[i] == queue)
            return;
    AddQueueReference(queue);
    delivery->Queues[delivery->Count++] = queue;
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
        if (OfferMessage(queue, buffer, size))
            NoteDelivery(delivery, queue);
    }
    ReleaseSRWLockExclusive(&RegistrationLock);
}

void WaitUntilRead(const Delivery *delivery)
{
    DWORD start = GetTickCount();
    for (int i = 0; i < delivery->Count; i++)
        while (QueuedCount(delivery->Queues[i]) > 0 && !PowerManager.Ending &&
               GetTickCount() - start < ConsumeBound)
            Sleep(1);
}

// Waits until the thread that emptied each queue is back in its wait.
void WaitUntilReadersWait(const Delivery *delivery)
{
    DWORD start = GetTickCount();
    for (int i = 0; i < delivery->Count; i++) {
        DWORD reader = LastReaderThread(delivery->Queues[i]);
        if (reader == 0 || reader == GetCurrentThreadId())
            continue;
        while (!ThreadIsInKernelWait(reader) && !PowerManager.Ending && GetTickCount() - start < ConsumeBound)
            Sleep(1);
    }
}

void WaitUntilActedOn(Delivery *delivery)
{
    if (delivery->Count == 0)
        return;
    WaitUntilRead(delivery);
    WaitUntilReadersWait(delivery);
    for (int i = 0; i < delivery->Count; i++)
        ReleaseQueue(delivery->Queues[i]);
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
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
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
    return CreateWindowExW(WS_EX_TOOLWINDOW, PowerWindowClass, L"Power Manager", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                           instance, NULL);
}

DWORD WINAPI RunPowerManager(LPVOID ready)
{
    HWND window = CreatePowerWindow();
    PowerManager.Window = window;
    SetEvent((HANDLE)ready);
    if (window == NULL)
        return 0;
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0)
        DispatchMessageW(&msg);
    UnregisterClassW(PowerWindowClass, (HINSTANCE)&__ImageBase);
    return 0;
}

// Starts the power thread and waits until its window exists. Caller holds
// PowerLifecycleLock.
BOOL StartPowerManager()
{
    if (PowerManager.Thread)
        return TRUE;
    HANDLE ready = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (ready == NULL)
        return FALSE;
    PowerManager.Ending = 0;
    PowerManager.Window = NULL;
    HANDLE thread = CreateThread(NULL, 0, RunPowerManager, ready, 0, NULL);
    if (thread)
        WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    if (thread && PowerManager.Window == NULL) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = NULL;
    }
    PowerManager.Thread = thread;
    return thread != NULL;
}

// Ends the power thread. Caller holds PowerLifecycleLock. A broadcast in
// progress gives up waiting for readers.
void StopPowerManager()
{
    if (PowerManager.Thread == NULL)
        return;
    PowerManager.Ending = 1;
    PostMessageW(PowerManager.Window, WM_CLOSE, 0, 0);
    WaitServingSentMessages(PowerManager.Thread);
    CloseHandle(PowerManager.Thread);
    PowerManager.Thread = NULL;
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
