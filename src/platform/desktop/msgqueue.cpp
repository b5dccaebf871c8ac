// Point-to-point message queues on top of desktop Win32.
//
// A queue is a list of messages behind a lock, with two manual-reset
// events that mirror its state, one set while a message is queued (what a
// read handle waits on) and one set while there is room (a write handle).
// The handles given out are duplicates of those events with SYNCHRONIZE
// access only, so a caller can wait on them but not fake their state; a small
// table maps each handle to its queue and access.
//
// The power manager (powermanager.cpp) writes into registered queues through
// the few calls of queueaccess.h, and learns from the queue itself when a
// reader has dealt with a message: a message taken off the queue is held
// for the thread that took it until that thread comes back to the queue
// (its next read, even one that finds the queue empty, or the close of its
// handle). Only then is the message consumed. The reader is never looked at
// from outside; what the queue sees is exact on any Win32.
#include "queue-standins.h"
#include "queueaccess.h"

namespace {

struct QueuedMessage {
    QueuedMessage *Next;
    DWORD Sequence;           // 1 for the queue's first message, then counting up
    DWORD Taker;              // thread that took it off the queue (held messages)
    DWORD Size;
    DWORD Flags;
    BYTE Data[1];
};

} // namespace

struct MessageQueue {
    LONG References;          // open handles, power registrations, deliveries
    LONG ReadHandles;
    DWORD Flags;
    DWORD MaxMessages;
    DWORD MaxMessageSize;
    DWORD Count;
    QueuedMessage *First;
    QueuedMessage *Last;
    QueuedMessage *Held;      // taken, not yet consumed (see the top of the file)
    DWORD LastSequence;       // of the latest message queued
    DWORD WaitingWriters;     // writers that found the queue full and wait for room
    HANDLE Readable;          // set while Count > 0
    HANDLE Writable;          // set while another message fits
};

namespace {

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
// Guards QueueTable and every queue's contents and references. Never held
// across a wait, except by SleepConditionVariableSRW on MessagesConsumed.
SRWLOCK QueueLock = SRWLOCK_INIT;
// Woken whenever messages are consumed (or their last reader goes), and
// when a waiter is asked to give up.
CONDITION_VARIABLE MessagesConsumed = CONDITION_VARIABLE_INIT;

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

void FreeMessages(QueuedMessage *message)
{
    while (message) {
        QueuedMessage *next = message->Next;
        HeapFree(GetProcessHeap(), 0, message);
        message = next;
    }
}

void FreeQueue(MessageQueue *queue)
{
    FreeMessages(queue->First);
    FreeMessages(queue->Held);
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
    message->Sequence = ++queue->LastSequence;
    message->Taker = 0;
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
    message->Taker = GetCurrentThreadId();
    message->Next = queue->Held;
    queue->Held = message;
    return result;
}

// The messages that `thread` took are consumed: it is back at the queue.
// A thread of 0 stands for every reader. Caller holds QueueLock.
void ConsumeHeldLocked(MessageQueue *queue, DWORD thread)
{
    QueuedMessage **link = &queue->Held;
    BOOL consumed = FALSE;
    while (*link) {
        QueuedMessage *message = *link;
        if (thread != 0 && message->Taker != thread) {
            link = &message->Next;
            continue;
        }
        *link = message->Next;
        HeapFree(GetProcessHeap(), 0, message);
        consumed = TRUE;
    }
    if (consumed)
        WakeAllConditionVariable(&MessagesConsumed);
}

// Whether every message up to `sequence` is consumed; with no reader left
// nothing will ever read them, which counts too. Caller holds QueueLock.
BOOL ConsumedLocked(const MessageQueue *queue, DWORD sequence)
{
    if (queue->ReadHandles == 0)
        return TRUE;
    if (queue->First && queue->First->Sequence <= sequence)
        return FALSE;
    for (const QueuedMessage *message = queue->Held; message; message = message->Next)
        if (message->Sequence <= sequence)
            return FALSE;
    return TRUE;
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
        ConsumeHeldLocked(queue, GetCurrentThreadId());
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
        DWORD left = TimeLeft(timeout, start);
        if (left != 0)
            queue->WaitingWriters++;
        ReleaseSRWLockExclusive(&QueueLock);
        if (left == 0)
            return ERROR_TIMEOUT;
        DWORD wait = WaitForSingleObject(queue->Writable, left);
        AcquireSRWLockExclusive(&QueueLock);
        queue->WaitingWriters--;
        ReleaseSRWLockExclusive(&QueueLock);
        if (wait == WAIT_FAILED)
            return ERROR_TIMEOUT;
    }
}

BOOL Finish(DWORD error)
{
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

} // namespace

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

void ReleaseQueue(MessageQueue *queue)
{
    AcquireSRWLockExclusive(&QueueLock);
    ReleaseQueueLocked(queue);
    ReleaseSRWLockExclusive(&QueueLock);
}

void AddQueueReference(MessageQueue *queue)
{
    AcquireSRWLockExclusive(&QueueLock);
    queue->References++;
    ReleaseSRWLockExclusive(&QueueLock);
}

// Appends the message unless it is too large for the queue, the queue is
// full or no reader is left; never waits. Returns the message's sequence
// number, or 0 when it was not queued.
DWORD OfferMessage(MessageQueue *queue, const void *data, DWORD size)
{
    AcquireSRWLockExclusive(&QueueLock);
    DWORD sequence = 0;
    if (size <= queue->MaxMessageSize && QueueHasRoom(queue) && queue->ReadHandles > 0 &&
        AppendMessageLocked(queue, data, size, 0))
        sequence = queue->LastSequence;
    ReleaseSRWLockExclusive(&QueueLock);
    return sequence;
}

BOOL WaitUntilConsumed(MessageQueue *queue, DWORD sequence, DWORD timeout, const volatile LONG *giveUp)
{
    DWORD start = GetTickCount();
    AcquireSRWLockExclusive(&QueueLock);
    BOOL consumed;
    while (!(consumed = ConsumedLocked(queue, sequence)) && !*giveUp) {
        DWORD left = TimeLeft(timeout, start);
        if (left == 0 || !SleepConditionVariableSRW(&MessagesConsumed, &QueueLock, left, 0))
            break;
    }
    ReleaseSRWLockExclusive(&QueueLock);
    return consumed;
}

void WakeConsumeWaiters()
{
    AcquireSRWLockExclusive(&QueueLock);
    WakeAllConditionVariable(&MessagesConsumed);
    ReleaseSRWLockExclusive(&QueueLock);
}

DWORD WaitingWriterCount(MessageQueue *queue)
{
    AcquireSRWLockExclusive(&QueueLock);
    DWORD writers = queue->WaitingWriters;
    ReleaseSRWLockExclusive(&QueueLock);
    return writers;
}

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
    if (entry->ReadAccess) {
        // A reader closing its handle is done with what it took; the last
        // reader going leaves nobody to consume the rest.
        queue->ReadHandles--;
        ConsumeHeldLocked(queue, queue->ReadHandles == 0 ? 0 : GetCurrentThreadId());
        if (queue->ReadHandles == 0)
            WakeAllConditionVariable(&MessagesConsumed);
    }
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
