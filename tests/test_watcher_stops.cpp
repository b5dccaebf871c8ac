// The suspend watcher stopped in random states, many times over: at start,
// while waiting for power messages, while the time is hidden, inside its
// synchronous send to a window that answers slowly, and after a resume.
// No stop may hang; the longest is reported. QZL_STOP_CASES sets the
// number of stops (the full run: 300); the seed is fixed.
#include "testlib.h"
#include "powerevents.h"
#include "itemwindow.h"
#include "watcher.h"
#include <stdlib.h>

struct StopRun {
    HWND Host;
    HWND Item;
    volatile LONG UserDelay;      // ms the item takes to answer WM_USER
    volatile LONG Users;
    DWORD Longest;
    const char *LongestState;
    int PerState[5];
};
static StopRun Run;

static unsigned long long RandomState = 0x57095EEDull;

static DWORD Random()
{
    return NextRandom(&RandomState);
}

static LRESULT CALLBACK SlowItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER) {
        InterlockedIncrement(&Run.Users);
        Sleep((DWORD)Run.UserDelay);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static void CreateWindows()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SlowItemProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"StopTestItem";
    RegisterClassW(&wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"StopTestHost";
    RegisterClassW(&wc);
    Run.Host = CreateWindowExW(0, L"StopTestHost", L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    Run.Item = CreateWindowExW(0, L"StopTestItem", L"", WS_CHILD, 0, 0, 10, 10, Run.Host, NULL, wc.hInstance, NULL);
    ItemState.Window = Run.Item;
}

static DWORD WINAPI SendPowerEvent(LPVOID event)
{
    HWND power = WaitForPowerWindow(2000);
    DWORD_PTR result = 0;
    if (power)
        SendMessageTimeoutW(power, WM_POWERBROADCAST, (WPARAM)event, 0, SMTO_NORMAL, 10000, &result);
    return 0;
}

static HANDLE PowerEventFromAnotherThread(WPARAM event)
{
    return CreateThread(NULL, 0, SendPowerEvent, (LPVOID)event, 0, NULL);
}

// Waits, without serving anything, until a message sent to this thread is
// pending: the watcher is then inside its synchronous send.
static void WaitForPendingSend(DWORD ms)
{
    DWORD start = GetTickCount();
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && GetTickCount() - start < ms)
        Sleep(1);
}

static void WaitWhilePumping(HANDLE thread, DWORD ms)
{
    DWORD start = GetTickCount();
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT && GetTickCount() - start < ms)
        PumpMessages(5);
}

static const char *const StateNames[] = {"starting", "waiting", "hidden", "inside its send", "resumed"};

// Brings the watcher into state `state`; returns a thread still sending a
// power event, or NULL.
static HANDLE EnterState(int state)
{
    Run.UserDelay = 0;
    StartSuspendWatcher();
    if (state == 0)
        return NULL;
    WaitForPowerWindow(2000);
    if (state == 1) {
        Sleep(Random() % 5);
        return NULL;
    }
    if (state == 3) {
        Run.UserDelay = 10 + Random() % 60;
        HANDLE sender = PowerEventFromAnotherThread(PBT_APMSUSPEND);
        WaitForPendingSend(2000);
        return sender;
    }
    HANDLE sender = PowerEventFromAnotherThread(PBT_APMSUSPEND);
    WaitWhilePumping(sender, 5000);
    CloseHandle(sender);
    if (state == 4) {
        sender = PowerEventFromAnotherThread(PBT_APMRESUMEAUTOMATIC);
        WaitWhilePumping(sender, 5000);
        CloseHandle(sender);
    }
    return NULL;
}

static void StopAndMeasure(int index, int state)
{
    HANDLE sender = EnterState(state);
    DWORD start = GetTickCount();
    StopSuspendWatcher();
    DWORD took = GetTickCount() - start;
    ok(took < 10000, "stop %d while %s took %lu ms", index, StateNames[state], took);
    ok(ItemState.WatcherThread == NULL && ItemState.WatcherStopEvent == NULL, "stop %d: handles closed", index);
    ok(ItemState.TimeVisible == 1, "stop %d while %s: time visible again", index, StateNames[state]);
    if (sender) {
        WaitWhilePumping(sender, 12000);
        ok(WaitForSingleObject(sender, 0) == WAIT_OBJECT_0, "stop %d: the power event came back", index);
        CloseHandle(sender);
    }
    PumpMessages(1);
    Run.PerState[state]++;
    if (took >= Run.Longest) {
        Run.Longest = took;
        Run.LongestState = StateNames[state];
    }
}

static void test_random_stops()
{
    int cases = 40;
    if (const char *env = getenv("QZL_STOP_CASES"))
        cases = atoi(env);
    CreateWindows();
    DWORD start = GetTickCount();
    for (int i = 0; i < cases; i++)
        StopAndMeasure(i, (int)(Random() % 5));
    printf("%d stops in %lu ms (starting %d, waiting %d, hidden %d, inside send %d, resumed %d); "
           "longest stop %lu ms, while %s\n",
           cases, GetTickCount() - start, Run.PerState[0], Run.PerState[1], Run.PerState[2], Run.PerState[3],
           Run.PerState[4], Run.Longest, Run.LongestState ? Run.LongestState : "-");
    DestroyWindow(Run.Host);
}

int main()
{
    run_test(test_random_stops);
    return TestSummary();
}
