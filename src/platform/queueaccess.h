// What the power manager needs of the message queues: a queue stays opaque
// to it, and every call takes the queue lock itself.
#pragma once
#include <windows.h>

struct MessageQueue;

// The queue behind `handle` with one more reference, or NULL (and the last
// error set) when the handle is not a queue handle with the wanted access.
MessageQueue *AcquireQueue(HANDLE handle, BOOL needRead, BOOL needWrite);
void AddQueueReference(MessageQueue *queue);
// Drops a reference; the last one frees the queue.
void ReleaseQueue(MessageQueue *queue);
// Appends a copy of the message unless it is too large for the queue, the
// queue is full or no reader is left; never waits.
BOOL OfferMessage(MessageQueue *queue, const void *data, DWORD size);
DWORD QueuedCount(MessageQueue *queue);
// The thread that took the latest message off the queue; 0 before any.
DWORD LastReaderThread(MessageQueue *queue);
