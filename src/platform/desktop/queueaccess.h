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
// queue is full or no reader is left; never waits. Returns the message's
// sequence number (counting from 1), or 0 when it was not queued.
DWORD OfferMessage(MessageQueue *queue, const void *data, DWORD size);
// Waits until every message up to `sequence` is consumed: taken by a reader
// that has come back to the queue since (a later read, or the close of its
// handle), or left with no reader at all. Gives up after `timeout` ms, or
// once *giveUp is non-zero (set it, then call WakeConsumeWaiters). Returns
// whether they are consumed.
BOOL WaitUntilConsumed(MessageQueue *queue, DWORD sequence, DWORD timeout, const volatile LONG *giveUp);
void WakeConsumeWaiters();
// Writers that found the queue full and wait for room.
DWORD WaitingWriterCount(MessageQueue *queue);
