// Point-to-point message queues and a power manager on top of desktop Win32.
//
// Queues: a queue is a list of messages behind a lock, with two manual-reset
// events that mirror its state, one set while a message is queued (what a
// read handle waits on) and one set while there is room (a write handle).
// The handles given out are duplicates of those events with SYNCHRONIZE
// access only, so a caller can wait on them but not fake their state; a small
// table maps each handle to its queue and access.
//
// Power manager: the handheld's power manager tells registered queues about
// power-state transitions. On the desktop the system tells top-level windows
// (WM_POWERBROADCAST), so the stand-in owns a hidden top-level window on a
// thread of its own and turns each broadcast into POWER_BROADCAST messages on
// the registered queues. Its own thread, because the registering thread need
// not pump messages (a watcher thread never does), while the thread that
// sends the broadcast must keep serving sent messages.
//
// A broadcast returns only after its messages have been acted on: the power
// thread waits until each queue it wrote to has been read empty, lets the
// readers reach their synchronous sends, and then makes one WM_NULL round
// trip through every other thread of the process that owns a top-level window.
// Such a thread serves sent messages in the order they arrive, so the round
// trip returns only after a reader's send to that thread has been handled:
// for the suspend broadcast, the item has repainted before the sender goes
// on to put the device to sleep. Every one of these waits is bounded.
#include "msgqueue.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct QueuedMessage {
    QueuedMessage *Next;
    DWORD Size;
    DWORD Flags;
    BYTE Data[1];
};

struct MessageQueue {
    LONG References;          // open handles, power registrations, deliveries
    LONG ReadHandles;
    DWORD Flags;
    DWORD MaxMessages;
    DWORD MaxMessageSize;
    DWORD Count;
    QueuedMessage *First;
    QueuedMessage *Last;
    HANDLE Readable;          // set while Count > 0
    HANDLE Writable;          // set while another message fits
};

struct QueueHandleEntry {
    HANDLE Handle;
    MessageQueue *Queue;
    BOOL ReadAccess;
};

const int MaxQueueHandles = 64;

struct QueueTableRecord {
    QueueHandleEntry Entries[MaxQueueHandles];
};
QueueTableRecord QueueTable;
// Guards QueueTable, every queue's contents and references, and the power
// manager's registrations. Never held across a wait.
SRWLOCK QueueLock = SRWLOCK_INIT;

// ---- Queues -------------------------------------------------------------------

BOOL QueueHasRoom(const MessageQueue *queue)
{
    return queue->MaxMessages == 0 || queue->Count < queue->MaxMessages;
}

void UpdateQueueSignals(MessageQueue *queue)
{
    if (queue->Count > 0)
        SetEvent(queue->Readable);
    else
        ResetEvent(queue->Readable);
    if (QueueHasRoom(queue))
        SetEvent(queue->Writable);
    else
        ResetEvent(queue->Writable);
}

void FreeQueue(MessageQueue *queue)
{
    QueuedMessage *message = queue->First;
    while (message) {
        QueuedMessage *next = message->Next;
        HeapFree(GetProcessHeap(), 0, message);
        message = next;
    }
    if (queue->Readable)
        CloseHandle(queue->Readable);
    if (queue->Writable)
        CloseHandle(queue->Writable);
    HeapFree(GetProcessHeap(), 0, queue);
}

// Caller holds QueueLock.
void ReleaseQueueLocked(MessageQueue *queue)
{
    if (--queue->References == 0)
        FreeQueue(queue);
}

void ReleaseQueue(MessageQueue *queue)
{
    AcquireSRWLockExclusive(&QueueLock);
    ReleaseQueueLocked(queue);
    ReleaseSRWLockExclusive(&QueueLock);
}

// Caller holds QueueLock.
QueueHandleEntry *FindQueueHandle(HANDLE handle)
{
    if (handle == NULL)
        return NULL;
    for (int i = 0; i < MaxQueueHandles; i++)
        if (QueueTable.Entries[i].Handle == handle)
            return &QueueTable.Entries[i];
    return NULL;
}

// The queue behind `handle` with one more reference, or NULL (and the last
// error set) when the handle is not a queue handle with the wanted access.
MessageQueue *AcquireQueue(HANDLE handle, BOOL needRead, BOOL needWrite)
{
    AcquireSRWLockExclusive(&QueueLock);
    QueueHandleEntry *entry = FindQueueHandle(handle);
    MessageQueue *queue = NULL;
    if (entry == NULL)
        SetLastError(ERROR_INVALID_HANDLE);
    else if ((needRead && !entry->ReadAccess) || (needWrite && entry->ReadAccess))
        SetLastError(ERROR_ACCESS_DENIED);
    else {
        queue = entry->Queue;
        queue->References++;
    }
    ReleaseSRWLockExclusive(&QueueLock);
    return queue;
}

// A new handle to `queue` with the given access; NULL when the table is full.
HANDLE OpenQueueHandle(MessageQueue *queue, BOOL readAccess)
{
    HANDLE process = GetCurrentProcess();
    HANDLE handle = NULL;
    if (!DuplicateHandle(process, readAccess ? queue->Readable : queue->Writable, process, &handle, SYNCHRONIZE,
                         FALSE, 0))
        return NULL;
    AcquireSRWLockExclusive(&QueueLock);
    QueueHandleEntry *entry = NULL;
    for (int i = 0; entry == NULL && i < MaxQueueHandles; i++)
        if (QueueTable.Entries[i].Handle == NULL)
            entry = &QueueTable.Entries[i];
    if (entry) {
        entry->Handle = handle;
        entry->Queue = queue;
        entry->ReadAccess = readAccess;
        queue->References++;
        if (readAccess)
            queue->ReadHandles++;
    }
    ReleaseSRWLockExclusive(&QueueLock);
    if (entry == NULL) {
        CloseHandle(handle);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return NULL;
    }
    return handle;
}

BOOL ValidQueueOptions(const MSGQUEUEOPTIONS *options)
{
    return options != NULL && options->dwSize >= sizeof(MSGQUEUEOPTIONS) && options->cbMaxMessage != 0;
}

MessageQueue *NewQueue(const MSGQUEUEOPTIONS *options)
{
    MessageQueue *queue = (MessageQueue *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MessageQueue));
    if (queue == NULL)
        return NULL;
    queue->Flags = options->dwFlags;
    queue->MaxMessages = options->dwMaxMessages;
    queue->MaxMessageSize = options->cbMaxMessage;
    queue->Readable = CreateEventW(NULL, TRUE, FALSE, NULL);
    queue->Writable = CreateEventW(NULL, TRUE, TRUE, NULL);
    if (queue->Readable == NULL || queue->Writable == NULL) {
        FreeQueue(queue);
        return NULL;
    }
    return queue;
}

// Appends a copy of the message. Caller holds QueueLock and has checked the
// size and the room.
BOOL AppendMessageLocked(MessageQueue *queue, const void *data, DWORD size, DWORD flags)
{
    QueuedMessage *message =
        (QueuedMessage *)HeapAlloc(GetProcessHeap(), 0, FIELD_OFFSET(QueuedMessage, Data) + size);
    if (message == NULL)
        return FALSE;
    message->Next = NULL;
    message->Size = size;
    message->Flags = flags;
    CopyMemory(message->Data, data, size);
    if (queue->Last)
        queue->Last->Next = message;
    else
        queue->First = message;
    queue->Last = message;
    queue->Count++;
    UpdateQueueSignals(queue);
    return TRUE;
}

// Removes the first message into `buffer`. A buffer smaller than the message
// gets its first bytes and the message is still consumed, as on the device.
// Caller holds QueueLock and has checked that a message is queued.
DWORD TakeMessageLocked(MessageQueue *queue, void *buffer, DWORD bufferSize, DWORD *bytesRead, DWORD *flags)
{
    QueuedMessage *message = queue->First;
    queue->First = message->Next;
    if (queue->First == NULL)
        queue->Last = NULL;
    queue->Count--;
    UpdateQueueSignals(queue);
    DWORD copied = message->Size < bufferSize ? message->Size : bufferSize;
    CopyMemory(buffer, message->Data, copied);
    *bytesRead = copied;
    if (flags)
        *flags = message->Flags;
    DWORD result = copied < message->Size ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
    HeapFree(GetProcessHeap(), 0, message);
    return result;
}

// Milliseconds left of `timeout` since `start`; INFINITE stays INFINITE.
DWORD TimeLeft(DWORD timeout, DWORD start)
{
    if (timeout == INFINITE)
        return INFINITE;
    DWORD spent = GetTickCount() - start;
    return spent >= timeout ? 0 : timeout - spent;
}

DWORD ReadFromQueue(MessageQueue *queue, void *buffer, DWORD bufferSize, DWORD *bytesRead, DWORD timeout,
                    DWORD *flags)
{
    DWORD start = GetTickCount();
    for (;;) {
        AcquireSRWLockExclusive(&QueueLock);
        if (queue->Count > 0) {
            DWORD result = TakeMessageLocked(queue, buffer, bufferSize, bytesRead, flags);
            ReleaseSRWLockExclusive(&QueueLock);
            return result;
        }
        ReleaseSRWLockExclusive(&QueueLock);
        DWORD left = TimeLeft(timeout, start);
        if (left == 0 || WaitForSingleObject(queue->Readable, left) == WAIT_FAILED)
            return ERROR_TIMEOUT;
    }
}

DWORD WriteToQueue(MessageQueue *queue, const void *data, DWORD size, DWORD timeout, DWORD flags)
{
    if (size > queue->MaxMessageSize)
        return ERROR_INSUFFICIENT_BUFFER;
    DWORD start = GetTickCount();
    for (;;) {
        AcquireSRWLockExclusive(&QueueLock);
        if (queue->ReadHandles == 0 && !(queue->Flags & MSGQUEUE_ALLOW_BROKEN)) {
            ReleaseSRWLockExclusive(&QueueLock);
            return ERROR_PIPE_NOT_CONNECTED;
        }
        if (QueueHasRoom(queue)) {
            BOOL appended = AppendMessageLocked(queue, data, size, flags);
            ReleaseSRWLockExclusive(&QueueLock);
            return appended ? ERROR_SUCCESS : ERROR_OUTOFMEMORY;
        }
        ReleaseSRWLockExclusive(&QueueLock);
        DWORD left = TimeLeft(timeout, start);
        if (left == 0 || WaitForSingleObject(queue->Writable, left) == WAIT_FAILED)
            return ERROR_TIMEOUT;
    }
}

DWORD QueuedCount(MessageQueue *queue)
{
    AcquireSRWLockExclusive(&QueueLock);
    DWORD count = queue->Count;
    ReleaseSRWLockExclusive(&QueueLock);
    return count;
}

BOOL Finish(DWORD error)
{
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

} // namespace

HANDLE CreateMsgQueue(LPCWSTR lpszName, LPMSGQUEUEOPTIONS lpOptions)
{
    // Named queues would be shared between processes; nothing here needs one.
    if (lpszName != NULL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return NULL;
    }
    if (!ValidQueueOptions(lpOptions)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    MessageQueue *queue = NewQueue(lpOptions);
    if (queue == NULL) {
        SetLastError(ERROR_OUTOFMEMORY);
        return NULL;
    }
    HANDLE handle = OpenQueueHandle(queue, lpOptions->bReadAccess);
    if (handle == NULL)
        FreeQueue(queue);
    return handle;
}

HANDLE OpenMsgQueue(HANDLE, HANDLE hMsgQ, LPMSGQUEUEOPTIONS lpOptions)
{
    if (lpOptions == NULL || lpOptions->dwSize < sizeof(MSGQUEUEOPTIONS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    MessageQueue *queue = AcquireQueue(hMsgQ, FALSE, FALSE);
    if (queue == NULL)
        return NULL;
    HANDLE handle = OpenQueueHandle(queue, lpOptions->bReadAccess);
    ReleaseQueue(queue);
    return handle;
}

BOOL ReadMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbBufferSize, LPDWORD lpNumberOfBytesRead, DWORD dwTimeout,
                  DWORD *pdwFlags)
{
    if (lpBuffer == NULL || cbBufferSize == 0 || lpNumberOfBytesRead == NULL)
        return Finish(ERROR_INVALID_PARAMETER);
    *lpNumberOfBytesRead = 0;
    MessageQueue *queue = AcquireQueue(hMsgQ, TRUE, FALSE);
    if (queue == NULL)
        return FALSE;
    DWORD result = ReadFromQueue(queue, lpBuffer, cbBufferSize, lpNumberOfBytesRead, dwTimeout, pdwFlags);
    ReleaseQueue(queue);
    return Finish(result);
}

BOOL WriteMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbDataSize, DWORD dwTimeout, DWORD dwFlags)
{
    if (lpBuffer == NULL || cbDataSize == 0)
        return Finish(ERROR_INVALID_PARAMETER);
    MessageQueue *queue = AcquireQueue(hMsgQ, FALSE, TRUE);
    if (queue == NULL)
        return FALSE;
    DWORD result = WriteToQueue(queue, lpBuffer, cbDataSize, dwTimeout, dwFlags);
    ReleaseQueue(queue);
    return Finish(result);
}

BOOL CloseMsgQueue(HANDLE hMsgQ)
{
    AcquireSRWLockExclusive(&QueueLock);
    QueueHandleEntry *entry = FindQueueHandle(hMsgQ);
    if (entry == NULL) {
        ReleaseSRWLockExclusive(&QueueLock);
        return Finish(ERROR_INVALID_HANDLE);
    }
    MessageQueue *queue = entry->Queue;
    if (entry->ReadAccess)
        queue->ReadHandles--;
    entry->Handle = NULL;
    entry->Queue = NULL;
    ReleaseQueueLocked(queue);
    ReleaseSRWLockExclusive(&QueueLock);
    CloseHandle(hMsgQ);
    return TRUE;
}

BOOL EventModify(HANDLE hEvent, DWORD func)
{
    switch (func) {
    case EVENT_PULSE: return PulseEvent(hEvent);
    case EVENT_RESET: return ResetEvent(hEvent);
    case EVENT_SET: return SetEvent(hEvent);
    }
    return Finish(ERROR_INVALID_PARAMETER);
}

// ---- Power manager --------------------------------------------------------------

namespace {

const WCHAR PowerWindowClass[] = L"PowerManagerStandIn";
const int MaxPowerRegistrations = 16;
// Longest a broadcast waits for a reader to empty its queue, and for one
// thread to answer the closing round trip.
const DWORD ConsumeBound = 1000;
const DWORD RoundTripBound = 1000;
// Time for a reader that has just emptied its queue to reach its
// synchronous send, before the round trip is queued behind it.
const DWORD ReaderSettle = 20;
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
// Serialises starting and stopping the power thread. The power thread never
// takes it, so holding it while waiting for that thread cannot deadlock.
SRWLOCK PowerLifecycleLock = SRWLOCK_INIT;

struct Delivery {
    MessageQueue *Queues[MaxPowerRegistrations];
    int Count;
};

// Waits for `handle` while serving messages that other threads send to this
// one, so a thread that is itself waiting for this one in SendMessage goes on.
void WaitServingSentMessages(HANDLE handle)
{
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
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
    queue->References++;
    delivery->Queues[delivery->Count++] = queue;
}

// Puts the message on every queue registered for its class. A queue that
// refuses it (too large for the queue, queue full, reader gone) is skipped.
void Deliver(Delivery *delivery, DWORD message, DWORD flags, const WCHAR *stateName)
{
    BYTE buffer[MaxBroadcastBytes];
    DWORD size = BuildBroadcast(buffer, message, flags, stateName);
    AcquireSRWLockExclusive(&QueueLock);
    for (int i = 0; i < MaxPowerRegistrations; i++) {
        PowerRegistration *registration = &PowerManager.Registrations[i];
        MessageQueue *queue = registration->Queue;
        if (queue == NULL || !(registration->Flags & message))
            continue;
        if (size > queue->MaxMessageSize || !QueueHasRoom(queue) || queue->ReadHandles == 0)
            continue;
        if (AppendMessageLocked(queue, buffer, size, 0))
            NoteDelivery(delivery, queue);
    }
    ReleaseSRWLockExclusive(&QueueLock);
}

void WaitUntilRead(const Delivery *delivery)
{
    DWORD start = GetTickCount();
    for (int i = 0; i < delivery->Count; i++)
        while (QueuedCount(delivery->Queues[i]) > 0 && !PowerManager.Ending &&
               GetTickCount() - start < ConsumeBound)
            Sleep(1);
}

struct RoundTripThreads {
    DWORD Ids[32];
    HWND Windows[32];
    int Count;
};

BOOL CALLBACK CollectWindowThread(HWND window, LPARAM parameter)
{
    RoundTripThreads *threads = (RoundTripThreads *)parameter;
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || thread == GetCurrentThreadId())
        return TRUE;
    for (int i = 0; i < threads->Count; i++)
        if (threads->Ids[i] == thread)
            return TRUE;
    if (threads->Count < (int)ARRAYSIZE(threads->Ids)) {
        threads->Ids[threads->Count] = thread;
        threads->Windows[threads->Count] = window;
        threads->Count++;
    }
    return TRUE;
}

// One WM_NULL round trip through every other thread of the process that owns
// a top-level window: it comes back after the sends queued before it.
void RoundTripThroughWindowThreads()
{
    RoundTripThreads threads = {};
    EnumWindows(CollectWindowThread, (LPARAM)&threads);
    for (int i = 0; i < threads.Count; i++) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(threads.Windows[i], WM_NULL, 0, 0, SMTO_NORMAL, RoundTripBound, &ignored);
    }
}

void WaitUntilActedOn(Delivery *delivery)
{
    if (delivery->Count == 0)
        return;
    WaitUntilRead(delivery);
    Sleep(ReaderSettle);
    RoundTripThroughWindowThreads();
    AcquireSRWLockExclusive(&QueueLock);
    for (int i = 0; i < delivery->Count; i++)
        ReleaseQueueLocked(delivery->Queues[i]);
    ReleaseSRWLockExclusive(&QueueLock);
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
// progress gives up waiting for readers; its round trip is served here.
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
    AcquireSRWLockExclusive(&QueueLock);
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
    if (id == 0)
        ReleaseQueueLocked(queue);
    ReleaseSRWLockExclusive(&QueueLock);
    return id;
}

// Removes the registration; returns FALSE when there is none with that id.
BOOL RemoveRegistration(DWORD id, int *remaining)
{
    BOOL found = FALSE;
    AcquireSRWLockExclusive(&QueueLock);
    for (int i = 0; i < MaxPowerRegistrations && id != 0; i++) {
        PowerRegistration *registration = &PowerManager.Registrations[i];
        if (registration->Queue == NULL || registration->Id != id)
            continue;
        ReleaseQueueLocked(registration->Queue);
        registration->Queue = NULL;
        registration->Id = 0;
        found = TRUE;
        break;
    }
    *remaining = RegistrationCountLocked();
    ReleaseSRWLockExclusive(&QueueLock);
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
