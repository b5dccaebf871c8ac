// Message queues, the power manager stand-in and the suspend watcher.
// Suspend and resume are broadcast the way the desktop (and the Today
// emulator) does it: WM_POWERBROADCAST sent to every top-level window of the
// process. The item window here is a stand-in that records, for each
// WM_USER and each paint, whether the time was visible.
#include "testlib.h"
#include "powerevents.h"
#include "queue-standins.h"
#include "queueaccess.h"
#include "itemwindow.h"
#include "watcher.h"
#include "iat.h"

// ---- Helpers ------------------------------------------------------------------

static HANDLE NewQueue(DWORD maxMessages, DWORD maxMessage, BOOL read, DWORD flags = 0)
{
    MSGQUEUEOPTIONS options = {};
    options.dwSize = sizeof(options);
    options.dwFlags = flags;
    options.dwMaxMessages = maxMessages;
    options.cbMaxMessage = maxMessage;
    options.bReadAccess = read;
    return CreateMsgQueue(NULL, &options);
}

static HANDLE OpenWriter(HANDLE queue)
{
    MSGQUEUEOPTIONS options = {};
    options.dwSize = sizeof(options);
    options.bReadAccess = FALSE;
    return OpenMsgQueue(GetCurrentProcess(), queue, &options);
}

static BOOL Signalled(HANDLE handle)
{
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

// ---- A reader thread that logs power messages -------------------------------

struct PowerLog {
    HANDLE Queue;
    HANDLE Stop;
    DWORD WorkMs;           // spent on each message, outside any wait
    volatile LONG Count;
    DWORD Message[8];
    DWORD Flags[8];
    DWORD Length[8];
    DWORD Bytes[8];
    WCHAR Name[8][16];
};

static void LogPowerMessage(PowerLog *log, const DWORD *buffer, DWORD bytes)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < log->WorkMs;)
        ;
    const POWER_BROADCAST *b = (const POWER_BROADCAST *)buffer;
    int i = log->Count;
    log->Message[i] = b->Message;
    log->Flags[i] = b->Flags;
    log->Length[i] = b->Length;
    log->Bytes[i] = bytes;
    lstrcpynW(log->Name[i], b->SystemPowerState, 16);
    InterlockedIncrement(&log->Count);
}

// Reads until a read finds the queue empty, as a reader must to tell the
// power manager that it is done with what it took.
static DWORD WINAPI LogPowerMessages(LPVOID parameter)
{
    PowerLog *log = (PowerLog *)parameter;
    HANDLE handles[2] = {log->Queue, log->Stop};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
        DWORD buffer[134] = {}, bytes = 0, flags = 0;
        while (ReadMsgQueue(log->Queue, buffer, sizeof(buffer), &bytes, 0, &flags))
            if (log->Count < 8)
                LogPowerMessage(log, buffer, bytes);
    }
    return 0;
}

// ---- The item window stand-in ---------------------------------------------------

struct ItemRecord {
    int Users;              // WM_USER handled
    int UsersSent;          // ... of them sent (rather than posted)
    LONG UserTimeVisible;   // TimeVisible at the last WM_USER
    int Paints;
    LONG PaintTimeVisible;  // TimeVisible at the last paint
};
static ItemRecord Item;

static LRESULT CALLBACK ItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_USER:
        Item.Users++;
        if (InSendMessage())
            Item.UsersSent++;
        Item.UserTimeVisible = ItemState.TimeVisible;
        InvalidateRect(window, NULL, FALSE);
        UpdateWindow(window);
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        Item.Paints++;
        Item.PaintTimeVisible = ItemState.TimeVisible;
        EndPaint(window, &ps);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static HWND Host, ItemWindow;

static void CreateItemWindows()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ItemProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"WatcherTestItem";
    RegisterClassW(&wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"WatcherTestHost";
    RegisterClassW(&wc);
    Host = CreateWindowExW(0, L"WatcherTestHost", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 240, 100, NULL, NULL,
                           wc.hInstance, NULL);
    ItemWindow = CreateWindowExW(0, L"WatcherTestItem", L"item", WS_CHILD | WS_VISIBLE, 0, 0, 240, 60, Host, NULL,
                                 wc.hInstance, NULL);
    ItemState.Window = ItemWindow;
    PumpPending();
}

static DWORD StartWatcherAndWait()
{
    DWORD start = GetTickCount();
    StartSuspendWatcher();
    WaitForPowerWindow(5000);
    return GetTickCount() - start;
}

static DWORD TimedStop()
{
    DWORD start = GetTickCount();
    StopSuspendWatcher();
    return GetTickCount() - start;
}

static DWORD LongestStop;

static void NoteStop(const char *state, DWORD ms)
{
    printf("stop while %s: %lu ms\n", state, ms);
    if (ms > LongestStop)
        LongestStop = ms;
    ok(ms < 10000, "stop while %s returned (%lu ms)", state, ms);
}

// ---- Calls that fail ---------------------------------------------------------------
//
// An import of this program (which holds the item's code) is pointed at a
// wrapper that fails one call, counted from the moment it is armed, or every
// call.

const LONG EveryCall = -1;

struct FailureSeam {
    const char *Dll;
    const char *Function;
    void *Wrapper;
    void *Original;
    volatile LONG Calls;
    LONG FailCall;            // 1 for the first call after arming; EveryCall
    volatile LONG Failed;
};

static FailureSeam *Seam;

// Whether this call is the one to fail; counts it.
static BOOL FailThisCall()
{
    LONG call = InterlockedIncrement(&Seam->Calls);
    if (Seam->FailCall != EveryCall && call != Seam->FailCall)
        return FALSE;
    InterlockedIncrement(&Seam->Failed);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return TRUE;
}

static BOOL WINAPI FailingPostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return FailThisCall() ? FALSE
                          : ((BOOL(WINAPI *)(HWND, UINT, WPARAM, LPARAM))Seam->Original)(window, message, wParam, lParam);
}

static BOOL WINAPI FailingSetEvent(HANDLE event)
{
    return FailThisCall() ? FALSE : ((BOOL(WINAPI *)(HANDLE))Seam->Original)(event);
}

static HANDLE WINAPI FailingCreateEventW(SECURITY_ATTRIBUTES *security, BOOL manual, BOOL initial, LPCWSTR name)
{
    typedef HANDLE(WINAPI * Real)(SECURITY_ATTRIBUTES *, BOOL, BOOL, LPCWSTR);
    return FailThisCall() ? NULL : ((Real)Seam->Original)(security, manual, initial, name);
}

static HANDLE WINAPI FailingCreateThread(SECURITY_ATTRIBUTES *security, SIZE_T stack, LPTHREAD_START_ROUTINE routine,
                                         LPVOID parameter, DWORD flags, DWORD *id)
{
    typedef HANDLE(WINAPI * Real)(SECURITY_ATTRIBUTES *, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, DWORD *);
    return FailThisCall() ? NULL : ((Real)Seam->Original)(security, stack, routine, parameter, flags, id);
}

static ATOM WINAPI FailingRegisterClassW(const WNDCLASSW *wc)
{
    return FailThisCall() ? 0 : ((ATOM(WINAPI *)(const WNDCLASSW *))Seam->Original)(wc);
}

static HWND WINAPI FailingCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                                          int w, int h, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    typedef HWND(WINAPI * Real)(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID);
    return FailThisCall() ? NULL
                          : ((Real)Seam->Original)(exStyle, className, title, style, x, y, w, h, parent, menu,
                                                   instance, param);
}

static void ArmSeam(FailureSeam *seam)
{
    Seam = seam;
    seam->Calls = seam->Failed = 0;
    ok(ReplaceImport(GetModuleHandleW(NULL), seam->Dll, seam->Function, seam->Wrapper, &seam->Original) > 0,
       "%s is imported", seam->Function);
}

static void DisarmSeam(FailureSeam *seam)
{
    ReplaceImport(GetModuleHandleW(NULL), seam->Dll, seam->Function, seam->Original, NULL);
}

// A stop that must come back: a stop that hangs ends the program with a
// failure after this long, rather than running into the test's time limit.
const DWORD StopWatchdogMs = 10000;

struct Watchdog {
    HANDLE Done;
    HANDLE Thread;
    const char *What;
};

static DWORD WINAPI BarkOnHang(LPVOID parameter)
{
    Watchdog *dog = (Watchdog *)parameter;
    if (WaitForSingleObject(dog->Done, StopWatchdogMs) == WAIT_OBJECT_0)
        return 0;
    TestFailure(__FILE__, __LINE__, "%s did not come back within %lu ms", dog->What, StopWatchdogMs);
    ExitProcess((UINT)TestSummary());
}

static void StartWatchdog(Watchdog *dog, const char *what)
{
    dog->What = what;
    dog->Done = CreateEventW(NULL, TRUE, FALSE, NULL);
    dog->Thread = CreateThread(NULL, 0, BarkOnHang, dog, 0, NULL);
}

static void CallOffWatchdog(Watchdog *dog)
{
    SetEvent(dog->Done);
    WaitForSingleObject(dog->Thread, INFINITE);
    CloseHandle(dog->Thread);
    CloseHandle(dog->Done);
}

// ---- Queues -------------------------------------------------------------------

static void test_queue_signals_and_limits()
{
    HANDLE reader = NewQueue(2, 16, TRUE);
    ok(reader != NULL, "read queue created");
    HANDLE writer = OpenWriter(reader);
    ok(writer != NULL, "write handle opened");
    ok(!Signalled(reader), "empty queue: read handle not signalled");
    ok(Signalled(writer), "empty queue: write handle signalled");

    char a[] = "abc", b[] = "defgh";
    ok(WriteMsgQueue(writer, a, sizeof(a), 0, 0), "first write");
    ok(Signalled(reader), "read handle signalled while a message is queued");
    ok(WriteMsgQueue(writer, b, sizeof(b), 0, MSGQUEUE_MSGALERT), "second write");
    ok(!Signalled(writer), "full queue: write handle not signalled");
    SetLastError(0);
    ok(!WriteMsgQueue(writer, a, sizeof(a), 0, 0), "third write refused");
    ok_int(GetLastError(), ERROR_TIMEOUT);
    ok(!WriteMsgQueue(writer, a, sizeof(a), 60, 0), "write with time-out refused");

    char buffer[32] = {};
    DWORD bytes = 0, flags = 99;
    ok(ReadMsgQueue(reader, buffer, sizeof(buffer), &bytes, 0, &flags), "first read");
    ok_int(bytes, sizeof(a));
    ok(lstrcmpA(buffer, "abc") == 0, "first message \"%s\"", buffer);
    ok_int(flags, 0);
    ok(Signalled(writer), "room again after a read");
    // A buffer too small gets the message's first bytes and consumes it.
    SetLastError(0);
    ok(!ReadMsgQueue(reader, buffer, 2, &bytes, 0, &flags), "short read reports failure");
    ok_int(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ok_int(bytes, 2);
    ok(buffer[0] == 'd' && buffer[1] == 'e', "short read copied the first bytes");
    ok_int(flags, MSGQUEUE_MSGALERT);
    ok(!Signalled(reader), "queue empty again");

    // A time-out of 0 does not block (a read that waited for a message
    // would never return here).
    SetLastError(0);
    ok(!ReadMsgQueue(reader, buffer, sizeof(buffer), &bytes, 0, &flags), "read of an empty queue");
    ok_int(GetLastError(), ERROR_TIMEOUT);

    // Access is checked per handle.
    SetLastError(0);
    ok(!WriteMsgQueue(reader, a, sizeof(a), 0, 0), "no writing through a read handle");
    ok_int(GetLastError(), ERROR_ACCESS_DENIED);
    // With a message waiting, so that only the access can refuse the read.
    ok(WriteMsgQueue(writer, a, sizeof(a), 0, 0), "a message waits");
    SetLastError(0);
    ok(!ReadMsgQueue(writer, buffer, sizeof(buffer), &bytes, 0, &flags), "no reading through a write handle");
    ok_int(GetLastError(), ERROR_ACCESS_DENIED);
    ok(ReadMsgQueue(reader, buffer, sizeof(buffer), &bytes, 0, &flags), "the message is left for the reader");
    // Bad parameters.
    ok(!ReadMsgQueue(reader, NULL, 4, &bytes, 0, &flags), "null buffer refused");
    ok(!ReadMsgQueue(reader, buffer, 0, &bytes, 0, &flags), "empty buffer refused");
    ok(!WriteMsgQueue(writer, a, 0, 0, 0), "empty message refused");
    ok(!ReadMsgQueue((HANDLE)0x1234, buffer, 4, &bytes, 0, &flags), "foreign handle refused");

    ok(CloseMsgQueue(reader), "reader closed");
    SetLastError(0);
    ok(!WriteMsgQueue(writer, a, sizeof(a), 0, 0), "no reader: write refused");
    ok_int(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
    ok(CloseMsgQueue(writer), "writer closed");
    ok(!CloseMsgQueue(writer), "second close refused");
}

static void test_oversized_message_refused()
{
    HANDLE reader = NewQueue(4, 8, TRUE);
    HANDLE writer = OpenWriter(reader);
    char big[64];
    FillMemory(big, sizeof(big), 'x');
    SetLastError(0);
    ok(!WriteMsgQueue(writer, big, 9, 0, 0), "a message one byte too large is refused");
    ok_int(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ok(!WriteMsgQueue(writer, big, sizeof(big), INFINITE, 0), "a large message is refused at once");
    ok(!Signalled(reader), "nothing queued");
    ok(WriteMsgQueue(writer, big, 8, 0, 0), "a message of the largest size fits");
    CloseMsgQueue(writer);
    CloseMsgQueue(reader);

    // Queue options that make no sense.
    ok(NewQueue(4, 0, TRUE) == NULL, "zero message size refused");
    MSGQUEUEOPTIONS options = {};
    options.dwSize = 4;
    options.cbMaxMessage = 16;
    ok(CreateMsgQueue(NULL, &options) == NULL, "short options refused");
    ok(CreateMsgQueue(NULL, NULL) == NULL, "no options refused");
}

struct LateWriter {
    HANDLE Writer;
    DWORD Delay;
};

static DWORD WINAPI WriteLate(LPVOID parameter)
{
    LateWriter *late = (LateWriter *)parameter;
    Sleep(late->Delay);
    DWORD value = 7;
    WriteMsgQueue(late->Writer, &value, sizeof(value), 0, 0);
    return 0;
}

struct WaitingWrite {
    HANDLE Writer;
    DWORD Value;
    BOOL Written;
};

static DWORD WINAPI WriteWithTimeOut(LPVOID parameter)
{
    WaitingWrite *write = (WaitingWrite *)parameter;
    write->Written = WriteMsgQueue(write->Writer, &write->Value, sizeof(write->Value), 5000, 0);
    return 0;
}

static void test_blocking_read_and_unlimited_queue()
{
    HANDLE reader = NewQueue(0, 4, TRUE);
    HANDLE writer = OpenWriter(reader);
    LateWriter late = {writer, 30};
    HANDLE thread = CreateThread(NULL, 0, WriteLate, &late, 0, NULL);
    DWORD value = 0, bytes = 0, flags = 0;
    ok(ReadMsgQueue(reader, &value, sizeof(value), &bytes, 2000, &flags), "blocking read got the late message");
    ok_int(value, 7);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    // A full queue: a write with a time-out waits until a reader makes room.
    HANDLE small = NewQueue(1, 4, TRUE);
    HANDLE smallWriter = OpenWriter(small);
    value = 1;
    ok(WriteMsgQueue(smallWriter, &value, sizeof(value), 0, 0), "queue filled");
    // The second write waits in its own thread; room is made only once the
    // queue has seen that writer find it full.
    WaitingWrite waiting = {smallWriter, 2, FALSE};
    thread = CreateThread(NULL, 0, WriteWithTimeOut, &waiting, 0, NULL);
    MessageQueue *queue = AcquireQueue(small, FALSE, FALSE);
    DWORD start = GetTickCount();
    while (WaitingWriterCount(queue) == 0 && GetTickCount() - start < 5000)
        Sleep(1);
    ok_int(WaitingWriterCount(queue), 1);
    ok(WaitForSingleObject(thread, 0) == WAIT_TIMEOUT, "the write to a full queue waits");
    ok(ReadMsgQueue(small, &value, sizeof(value), &bytes, 0, &flags) && value == 1, "the first message");
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ok_int(WaitingWriterCount(queue), 0);
    ReleaseQueue(queue);
    ok(waiting.Written, "write waited for room");
    ok(ReadMsgQueue(small, &value, sizeof(value), &bytes, 0, &flags) && value == 2, "the waiting write's message");
    CloseMsgQueue(smallWriter);
    CloseMsgQueue(small);

    // dwMaxMessages 0: no limit.
    int written = 0;
    for (DWORD i = 0; i < 200; i++)
        written += WriteMsgQueue(writer, &i, sizeof(i), 0, 0) ? 1 : 0;
    ok_int(written, 200);
    int read = 0;
    while (ReadMsgQueue(reader, &value, sizeof(value), &bytes, 0, &flags))
        read++;
    ok_int(read, 200);
    CloseMsgQueue(writer);
    CloseMsgQueue(reader);
}

// A second reader: a thread that reads once each time it is asked to.
struct SecondReader {
    HANDLE Queue;
    HANDLE Ask;               // auto-reset
    HANDLE Done;              // auto-reset
    HANDLE Thread;
    BOOL Read;
    BOOL Quit;
};

static DWORD WINAPI ReadWhenAsked(LPVOID parameter)
{
    SecondReader *reader = (SecondReader *)parameter;
    while (WaitForSingleObject(reader->Ask, INFINITE) == WAIT_OBJECT_0 && !reader->Quit) {
        DWORD value = 0, bytes = 0, flags = 0;
        reader->Read = ReadMsgQueue(reader->Queue, &value, sizeof(value), &bytes, 0, &flags);
        SetEvent(reader->Done);
    }
    return 0;
}

static BOOL ReadOnSecondReader(SecondReader *reader)
{
    SetEvent(reader->Ask);
    WaitForSingleObject(reader->Done, INFINITE);
    return reader->Read;
}

static void StartSecondReader(SecondReader *reader, HANDLE queue)
{
    reader->Queue = queue;
    reader->Ask = CreateEventW(NULL, FALSE, FALSE, NULL);
    reader->Done = CreateEventW(NULL, FALSE, FALSE, NULL);
    reader->Quit = FALSE;
    reader->Thread = CreateThread(NULL, 0, ReadWhenAsked, reader, 0, NULL);
}

static void EndSecondReader(SecondReader *reader)
{
    reader->Quit = TRUE;
    SetEvent(reader->Ask);
    WaitForSingleObject(reader->Thread, INFINITE);
    CloseHandle(reader->Thread);
    CloseHandle(reader->Ask);
    CloseHandle(reader->Done);
}

static BOOL Consumed(MessageQueue *queue, DWORD sequence)
{
    static const volatile LONG never = 0;
    return WaitUntilConsumed(queue, sequence, 0, &never);
}

// What the power manager waits for: a message is consumed only once the
// thread that took it comes back to the queue, by any read of its own or by
// closing its handle; another thread's read does not speak for it.
static void test_message_consumed_when_reader_comes_back()
{
    HANDLE reader = NewQueue(4, 4, TRUE);
    HANDLE second = NewQueue(4, 4, TRUE);
    MSGQUEUEOPTIONS options = {sizeof(options), 0, 0, 0, TRUE};
    HANDLE otherReader = OpenMsgQueue(GetCurrentProcess(), reader, &options);
    MessageQueue *queue = AcquireQueue(reader, FALSE, FALSE);
    SecondReader other;
    StartSecondReader(&other, otherReader);
    DWORD value = 5, bytes = 0, flags = 0;
    DWORD first = OfferMessage(queue, &value, sizeof(value));
    DWORD next = OfferMessage(queue, &value, sizeof(value));
    ok_int(first, 1);
    ok_int(next, 2);
    ok(!Consumed(queue, first), "a queued message is not consumed");
    ok(ReadMsgQueue(reader, &value, sizeof(value), &bytes, 0, &flags), "the first message taken");
    ok(!Consumed(queue, first), "taken, its reader not back yet: not consumed");
    ok(ReadOnSecondReader(&other), "another thread takes the second");
    ok(!Consumed(queue, first), "another thread's read does not speak for the first reader");
    ok(!ReadMsgQueue(reader, &value, sizeof(value), &bytes, 0, &flags), "the first reader finds the queue empty");
    ok(Consumed(queue, first), "the first reader is back: its message is consumed");
    ok(!Consumed(queue, next), "the second reader is not back yet");
    ok(!ReadOnSecondReader(&other), "the other thread comes back, to an empty queue");
    ok(Consumed(queue, next), "now both are consumed");
    // A reader that closes its handle is done with what it took.
    DWORD third = OfferMessage(queue, &value, sizeof(value));
    ok(ReadMsgQueue(reader, &value, sizeof(value), &bytes, 0, &flags), "the third message taken");
    ok(!Consumed(queue, third), "taken, not consumed");
    ok(CloseMsgQueue(reader), "the reader closes its handle");
    ok(Consumed(queue, third), "consumed by its reader's close, another read handle still open");
    EndSecondReader(&other);
    ok(CloseMsgQueue(otherReader), "the other read handle closed");
    ReleaseQueue(queue);

    // A message nobody takes holds the wait to its bound; once the last
    // reader is gone it counts as consumed.
    queue = AcquireQueue(second, FALSE, FALSE);
    DWORD fourth = OfferMessage(queue, &value, sizeof(value));
    ok(!Consumed(queue, fourth), "a queued message is not consumed");
    ok(CloseMsgQueue(second), "the only reader goes");
    ok(Consumed(queue, fourth), "no reader left: nothing to wait for");
    ReleaseQueue(queue);
}

static void test_event_modify()
{
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    ok(EventModify(event, EVENT_SET) && Signalled(event), "EVENT_SET");
    ok(EventModify(event, EVENT_RESET) && !Signalled(event), "EVENT_RESET");
    ok(EventModify(event, EVENT_PULSE) && !Signalled(event), "EVENT_PULSE leaves it reset");
    ok(!EventModify(event, 9), "unknown function refused");
    CloseHandle(event);
}

// ---- Power manager ---------------------------------------------------------------

static void test_power_broadcasts()
{
    PowerLog log = {};
    log.Queue = NewQueue(4, 536, TRUE);
    log.Stop = CreateEventW(NULL, TRUE, FALSE, NULL);
    // A reader that works on each message after taking it: the broadcast
    // still returns only once it is done and back in its wait.
    log.WorkMs = 50;
    HANDLE notifications = RequestPowerNotifications(log.Queue, PBT_TRANSITION | PBT_RESUME);
    ok(notifications != NULL, "notifications requested");
    ok(WaitForPowerWindow(5000) != NULL, "the power manager has a top-level window");
    HANDLE reader = CreateThread(NULL, 0, LogPowerMessages, &log, 0, NULL);

    BroadcastPowerEvent(PBT_APMSUSPEND);
    // The reader has dealt with the message by the time the broadcast returns.
    ok_int(log.Count, 1);
    ok_int(log.Message[0], PBT_TRANSITION);
    ok_int(log.Flags[0], POWER_STATE_SUSPEND);
    ok_wstr(log.Name[0], L"suspend");
    ok_int(log.Length[0], sizeof(L"suspend"));
    ok_int(log.Bytes[0], FIELD_OFFSET(POWER_BROADCAST, SystemPowerState) + sizeof(L"suspend"));

    BroadcastPowerEvent(PBT_APMRESUMESUSPEND);
    ok_int(log.Count, 3);
    ok_int(log.Message[1], PBT_RESUME);
    ok_int(log.Message[2], PBT_TRANSITION);
    ok_int(log.Flags[2], POWER_STATE_ON);
    ok_wstr(log.Name[2], L"on");

    // Events the queue did not ask for do not reach it: the next message
    // after a status change is the suspend that follows it.
    BroadcastPowerEvent(PBT_APMPOWERSTATUSCHANGE);
    BroadcastPowerEvent(PBT_APMSUSPEND);
    ok(PumpUntil([&] { return log.Count >= 4; }), "the suspend after the status change arrived");
    ok_int(log.Count, 4);
    ok_int(log.Message[3], PBT_TRANSITION);
    ok_int(log.Flags[3], POWER_STATE_SUSPEND);

    SetEvent(log.Stop);
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
    ok_int(StopPowerNotifications(notifications), ERROR_SUCCESS);
    ok_int(StopPowerNotifications(notifications), ERROR_INVALID_PARAMETER);
    ok(WaitForPowerWindow(0) == NULL, "the power manager is gone with its last registration");
    ok(RequestPowerNotifications((HANDLE)0x1234, PBT_TRANSITION) == NULL, "a foreign handle is refused");
    CloseMsgQueue(log.Queue);
    CloseHandle(log.Stop);
}

static void test_power_message_too_large_for_queue()
{
    // A queue whose messages are smaller than a POWER_BROADCAST: the power
    // manager's write is refused, nothing is queued, the broadcast does not
    // wait for it, and a second, proper queue still gets its message.
    HANDLE small = NewQueue(4, 12, TRUE);
    HANDLE fine = NewQueue(4, 536, TRUE);
    HANDLE smallNote = RequestPowerNotifications(small, POWER_NOTIFY_ALL);
    HANDLE fineNote = RequestPowerNotifications(fine, PBT_TRANSITION);
    ok(smallNote && fineNote, "both registered");
    WaitForPowerWindow(5000);
    DWORD took = BroadcastPowerEvent(PBT_APMSUSPEND);
    ok(!Signalled(small), "nothing queued on the small queue");
    ok(Signalled(fine), "the proper queue has its message");
    // The unread message on the proper queue holds the broadcast up to its
    // bound (one second); never longer.
    ok(took < 3000, "broadcast bounded (%lu ms)", took);
    BYTE buffer[536];
    DWORD bytes = 0, flags = 0;
    ok(ReadMsgQueue(fine, buffer, sizeof(buffer), &bytes, 0, &flags), "proper queue read");
    // The later registration goes first: the power manager stays for the
    // earlier one, and goes with it.
    StopPowerNotifications(fineNote);
    ok(WaitForPowerWindow(0) != NULL, "the power manager stays while a registration remains");
    StopPowerNotifications(smallNote);
    ok(WaitForPowerWindow(0) == NULL, "the power manager is gone with the last registration");
    CloseMsgQueue(small);
    CloseMsgQueue(fine);
}

// A queue whose messages are exactly as large as the suspend broadcast
// (its header and the name "suspend") gets it; one byte smaller does not.
static void test_power_message_exactly_fits()
{
    const DWORD size = FIELD_OFFSET(POWER_BROADCAST, SystemPowerState) + sizeof(L"suspend");
    HANDLE exact = NewQueue(4, size, TRUE);
    HANDLE short_ = NewQueue(4, size - 1, TRUE);
    HANDLE exactNote = RequestPowerNotifications(exact, PBT_TRANSITION);
    HANDLE shortNote = RequestPowerNotifications(short_, PBT_TRANSITION);
    WaitForPowerWindow(5000);
    BroadcastPowerEvent(PBT_APMSUSPEND);
    ok(Signalled(exact), "a queue of exactly %lu bytes has the broadcast", size);
    ok(!Signalled(short_), "a queue of %lu bytes has nothing", size - 1);
    BYTE buffer[64];
    DWORD bytes = 0, flags = 0;
    ok(ReadMsgQueue(exact, buffer, sizeof(buffer), &bytes, 0, &flags) && bytes == size, "read %lu bytes", bytes);
    StopPowerNotifications(exactNote);
    StopPowerNotifications(shortNote);
    CloseMsgQueue(exact);
    CloseMsgQueue(short_);
}

// The power manager keeps 16 registrations; a 17th is refused, and a freed
// place can be taken again.
static void test_registration_table_full()
{
    HANDLE queue = NewQueue(4, 536, TRUE);
    HANDLE notes[17] = {};
    int taken = 0;
    for (int i = 0; i < 17; i++) {
        notes[i] = RequestPowerNotifications(queue, PBT_TRANSITION);
        taken += notes[i] != NULL;
    }
    ok_int(taken, 16);
    ok(notes[16] == NULL, "the 17th registration is refused");
    ok_int(StopPowerNotifications(notes[3]), ERROR_SUCCESS);
    notes[3] = RequestPowerNotifications(queue, PBT_TRANSITION);
    ok(notes[3] != NULL, "a freed place is taken again");
    for (HANDLE note : notes)
        if (note)
            StopPowerNotifications(note);
    ok(WaitForPowerWindow(0) == NULL, "the power manager is gone with the last registration");
    CloseMsgQueue(queue);
}

// ---- Suspend watcher ---------------------------------------------------------------

static void test_watcher_hides_time_over_suspend()
{
    Item = ItemRecord();
    ItemState.TimeVisible = 1;
    StartWatcherAndWait();
    ok(ItemState.WatcherThread != NULL && ItemState.WatcherStopEvent != NULL, "watcher started");

    BroadcastPowerEvent(PBT_APMSUSPEND);
    // Before the broadcast returns, the item has repainted without the time.
    ok_int(ItemState.TimeVisible, 0);
    ok_int(Item.UsersSent, 1);
    ok_int(Item.UserTimeVisible, 0);
    ok(Item.Paints >= 1, "repainted during the broadcast");
    ok_int(Item.PaintTimeVisible, 0);

    int paints = Item.Paints;
    BroadcastPowerEvent(PBT_APMRESUMESUSPEND);
    ok_int(ItemState.TimeVisible, 1);
    // The wake-up posts one repaint with the time.
    ok(PumpUntil([&] { return Item.Users == 2 && Item.Paints > paints; }), "repainted after resume");
    ok_int(Item.UsersSent, 1);
    ok_int(Item.UserTimeVisible, 1);
    ok_int(Item.PaintTimeVisible, 1);

    // The transition into the on state that follows the wake-up, and one
    // while nothing is hidden, change nothing: the next suspend's repaint
    // is the only message the item gets after them.
    BroadcastPowerEvent(PBT_APMRESUMEAUTOMATIC);
    BroadcastPowerEvent(PBT_APMSUSPEND);
    ok_int(ItemState.TimeVisible, 0);
    PumpPending();
    ok_int(Item.UsersSent, 2);
    ok_int(Item.Users, 3);

    // A second suspend in a row wakes the hidden watcher (time back, one
    // post) and then hides the time again.
    BroadcastPowerEvent(PBT_APMSUSPEND);
    ok_int(ItemState.TimeVisible, 0);
    PumpPending();
    ok_int(Item.UsersSent, 3);
    ok_int(Item.Users, 5);
    ok_int(ItemState.TimeVisible, 0);
    BroadcastPowerEvent(PBT_APMRESUMESUSPEND);
    ok(PumpUntil([] { return ItemState.TimeVisible == 1 && Item.PaintTimeVisible == 1 && Item.Users == 6; }),
       "time back after the second suspend");

    NoteStop("waiting for power messages", TimedStop());
    ok(ItemState.WatcherThread == NULL && ItemState.WatcherStopEvent == NULL, "handles closed and zeroed");
    ok(WaitForPowerWindow(0) == NULL, "power manager gone");
}

// The real watcher, many suspends in a row: each broadcast returns only
// after the item has repainted without the time (its sent WM_USER handled
// and a paint seen). A broadcast that returned early leaves the send
// pending; it is served before the resume.
static void test_every_suspend_returns_after_the_repaint()
{
    const int rounds = 1000;
    Item = ItemRecord();
    StartWatcherAndWait();
    int early = 0, firstEarly = -1;
    DWORD start = GetTickCount();
    for (int i = 0; i < rounds; i++) {
        int sent = Item.UsersSent, paints = Item.Paints;
        BroadcastPowerEvent(PBT_APMSUSPEND);
        if (Item.UsersSent != sent + 1 || Item.Paints <= paints || Item.PaintTimeVisible != 0) {
            early++;
            if (firstEarly < 0)
                firstEarly = i;
        }
        BroadcastPowerEvent(PBT_APMRESUMESUSPEND);
        PumpPending();
    }
    printf("%d suspends in %lu ms\n", rounds, GetTickCount() - start);
    ok(early == 0, "%d of %d suspend broadcasts returned before the repaint (first: %d)", early, rounds, firstEarly);
    ok(PumpUntil([] { return Item.PaintTimeVisible == 1; }), "the time is back after the last resume");
    NoteStop("after many suspends", TimedStop());
}

static void test_watcher_started_once()
{
    StartWatcherAndWait();
    HANDLE thread = ItemState.WatcherThread;
    HANDLE event = ItemState.WatcherStopEvent;
    StartSuspendWatcher();
    ok(ItemState.WatcherThread == thread, "second start keeps the running thread");
    ok(ItemState.WatcherStopEvent == event, "second start keeps the event");
    ok(WaitForSingleObject(thread, 0) == WAIT_TIMEOUT, "the watcher still runs");
    NoteStop("started twice", TimedStop());
    // Stopping what is not running is harmless.
    StopSuspendWatcher();
    ok(ItemState.WatcherThread == NULL && ItemState.WatcherStopEvent == NULL, "still zero");
}

static void test_stop_while_hiding()
{
    Item = ItemRecord();
    StartWatcherAndWait();
    BroadcastPowerEvent(PBT_APMSUSPEND);
    ok_int(ItemState.TimeVisible, 0);
    // The watcher now waits for the wake-up, which may never come.
    NoteStop("hiding the time", TimedStop());
    ok_int(ItemState.TimeVisible, 1);
    ok(PumpUntil([] { return Item.UserTimeVisible == 1 && Item.PaintTimeVisible == 1; }), "repainted with the time");
}

// A call that fails while the watcher is stopped, in each state it may be
// stopped in: the stop still comes back (each of its waits is bounded or
// served, each signal it gives is given again), the power manager goes, and
// the time is back.
static void test_stop_with_failing_calls()
{
    static FailureSeam seams[] = {
        {"user32.dll", "PostMessageW", (void *)FailingPostMessageW, NULL, 0, EveryCall, 0},
        {"kernel32.dll", "SetEvent", (void *)FailingSetEvent, NULL, 0, 1, 0},
        {"kernel32.dll", "SetEvent", (void *)FailingSetEvent, NULL, 0, 2, 0},
    };
    for (FailureSeam &seam : seams)
        for (int hiding = 0; hiding < 2; hiding++) {
            Item = ItemRecord();
            StartWatcherAndWait();
            if (hiding)
                BroadcastPowerEvent(PBT_APMSUSPEND);
            ok_int(ItemState.TimeVisible, hiding ? 0 : 1);
            char what[96];
            wsprintfA(what, "the stop with %s call %ld failing, %s", seam.Function, seam.FailCall,
                      hiding ? "while hiding" : "while waiting");
            Watchdog dog;
            StartWatchdog(&dog, what);
            ArmSeam(&seam);
            DWORD took = TimedStop();
            DisarmSeam(&seam);
            CallOffWatchdog(&dog);
            printf("%s: %lu ms, %ld calls failed\n", what, took, seam.Failed);
            // A post that nothing needs is not made: such a call may not come.
            ok(seam.Failed > 0 || seam.FailCall == EveryCall, "%s: no call failed", what);
            ok(ItemState.WatcherThread == NULL && ItemState.WatcherStopEvent == NULL, "%s: handles closed", what);
            ok(WaitForPowerWindow(0) == NULL, "%s: the power manager is gone", what);
            ok_int(ItemState.TimeVisible, 1);
            PumpPending();
        }
}

// A call of the power manager's start that fails: no registration, and
// nothing of it left behind (no thread, no window, no window class naming a
// procedure of a module that may be unloaded next); the next request works.
static void test_power_manager_start_fails()
{
    static FailureSeam seams[] = {
        {"kernel32.dll", "CreateEventW", (void *)FailingCreateEventW, NULL, 0, 1, 0},
        {"kernel32.dll", "CreateEventW", (void *)FailingCreateEventW, NULL, 0, 2, 0},
        {"kernel32.dll", "CreateThread", (void *)FailingCreateThread, NULL, 0, 1, 0},
        {"user32.dll", "RegisterClassW", (void *)FailingRegisterClassW, NULL, 0, 1, 0},
        {"user32.dll", "CreateWindowExW", (void *)FailingCreateWindowExW, NULL, 0, 1, 0},
        {"kernel32.dll", "SetEvent", (void *)FailingSetEvent, NULL, 0, 1, 0},
    };
    HANDLE queue = NewQueue(4, 536, TRUE);
    for (FailureSeam &seam : seams) {
        ArmSeam(&seam);
        HANDLE note = RequestPowerNotifications(queue, PBT_TRANSITION);
        DisarmSeam(&seam);
        const char *name = seam.Function;
        ok(seam.Failed == 1, "%s call %ld: failed once (%ld)", name, seam.FailCall, seam.Failed);
        ok(note == NULL, "%s call %ld failing: the request is refused", name, seam.FailCall);
        if (note)
            StopPowerNotifications(note);
        WNDCLASSW wc;
        ok(!GetClassInfoW(GetModuleHandleW(NULL), L"PowerManagerStandIn", &wc),
           "%s call %ld failing: the window class is left registered", name, seam.FailCall);
        ok(WaitForPowerWindow(0) == NULL, "%s call %ld failing: a power window is left", name, seam.FailCall);
        note = RequestPowerNotifications(queue, PBT_TRANSITION);
        ok(note != NULL && WaitForPowerWindow(5000) != NULL, "%s call %ld: the next request works", name,
           seam.FailCall);
        if (note)
            StopPowerNotifications(note);
    }
    CloseMsgQueue(queue);
}

static DWORD WINAPI SendSuspendToPowerWindow(LPVOID window)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW((HWND)window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, SMTO_NORMAL, 10000, &result);
    return 0;
}

static void test_stop_while_watcher_sends()
{
    // The suspend comes from another thread while this one does not pump:
    // the watcher hangs in its synchronous send to this thread's window
    // until the stop serves it.
    Item = ItemRecord();
    StartWatcherAndWait();
    HWND power = WaitForPowerWindow(5000);
    HANDLE sender = CreateThread(NULL, 0, SendSuspendToPowerWindow, power, 0, NULL);
    // The time is hidden just before the send.
    ok(WaitForPendingSend(5000) && ItemState.TimeVisible == 0, "the watcher never sent");
    ok_int(Item.Users, 0);
    NoteStop("inside its synchronous send", TimedStop());
    ok_int(Item.UsersSent, 1);
    ok_int(Item.UserTimeVisible, 0);
    ok(WaitForSingleObject(sender, 5000) == WAIT_OBJECT_0, "the broadcast came back");
    CloseHandle(sender);
    ok_int(ItemState.TimeVisible, 1);
    PumpPending();
}

static void test_stop_right_after_start()
{
    StartSuspendWatcher();
    NoteStop("starting up", TimedStop());
    ok(WaitForPowerWindow(0) == NULL, "power manager gone");
}

static void test_watcher_without_a_queue()
{
    // Every queue handle in use: the watcher cannot create its queue and
    // ends at once. Its handle stays until the stop, so a second start does
    // not start another.
    HANDLE queues[80];
    int open = 0;
    for (; open < 80; open++) {
        queues[open] = NewQueue(1, 4, TRUE);
        if (queues[open] == NULL)
            break;
    }
    ok(open < 80, "the queue table fills up (%d queues)", open);
    StartSuspendWatcher();
    HANDLE thread = ItemState.WatcherThread;
    ok(thread != NULL, "thread started");
    ok(WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0, "thread ended by itself");
    StartSuspendWatcher();
    ok(ItemState.WatcherThread == thread, "no second thread");
    ok(WaitForPowerWindow(0) == NULL, "no power manager");
    NoteStop("already ended", TimedStop());
    ok(ItemState.WatcherThread == NULL && ItemState.WatcherStopEvent == NULL, "handles closed and zeroed");
    for (int i = 0; i < open; i++)
        CloseMsgQueue(queues[i]);
}

int main()
{
    run_test(test_queue_signals_and_limits);
    run_test(test_oversized_message_refused);
    run_test(test_blocking_read_and_unlimited_queue);
    run_test(test_message_consumed_when_reader_comes_back);
    run_test(test_event_modify);
    run_test(test_power_broadcasts);
    run_test(test_power_message_too_large_for_queue);
    run_test(test_power_message_exactly_fits);
    run_test(test_registration_table_full);
    run_test(test_power_manager_start_fails);
    CreateItemWindows();
    run_test(test_watcher_hides_time_over_suspend);
    run_test(test_every_suspend_returns_after_the_repaint);
    run_test(test_watcher_started_once);
    run_test(test_stop_while_hiding);
    run_test(test_stop_while_watcher_sends);
    run_test(test_stop_with_failing_calls);
    run_test(test_stop_right_after_start);
    run_test(test_watcher_without_a_queue);
    printf("longest stop: %lu ms\n", LongestStop);
    DestroyWindow(ItemWindow);
    DestroyWindow(Host);
    return TestSummary();
}
