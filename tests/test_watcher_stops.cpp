// The suspend watcher stopped in random states, many times over: at start,
// while waiting for power messages, while the time is hidden, inside its
// synchronous send to a window that answers slowly, and after a resume.
// Each stop counts only when the watcher was seen in the state it was
// brought to. No stop may hang; the longest is reported. QZL_STOP_CASES sets the
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
    volatile LONG SentUsers;      // of those, sent rather than posted
    DWORD Longest;
    const char *LongestState;
    int PerState[5];
    int Reached[5];
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
        if (InSendMessage())
            InterlockedIncrement(&Run.SentUsers);
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

static void WaitWhilePumping(HANDLE thread, DWORD ms)
{
    PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, ms);
}

// The time hidden by a repaint sent to the item and served, or shown again.
static BOOL SeenHidden(LONG sentBefore)
{
    return PumpUntil([&] { return ItemState.TimeVisible == 0 && Run.SentUsers > sentBefore; }, 5000);
}

static BOOL SeenShown()
{
    return PumpUntil([] { return ItemState.TimeVisible == 1; }, 5000);
}

static const char *const StateNames[] = {"starting", "waiting", "hidden", "inside its send", "resumed"};

// Brings the watcher into state `state`; returns a thread still sending a
// power event, or NULL. *reached tells whether the watcher was seen there.
static HANDLE EnterState(int state, BOOL *reached)
{
    Run.UserDelay = 0;
    StartSuspendWatcher();
    *reached = ItemState.WatcherThread != NULL && WaitForSingleObject(ItemState.WatcherThread, 0) == WAIT_TIMEOUT;
    if (state == 0)
        return NULL;
    *reached = *reached && WaitForPowerWindow(2000) != NULL;
    if (state == 1) {
        Sleep(Random() % 5);
        return NULL;
    }
    LONG sent = Run.SentUsers;
    if (state == 3) {
        // The pending send must turn out to be the item's repaint, sent
        // with the time already hidden.
        Run.UserDelay = 10 + Random() % 60;
        HANDLE sender = PowerEventFromAnotherThread(PBT_APMSUSPEND);
        *reached = *reached && WaitForPendingSend(5000) && ItemState.TimeVisible == 0 && Run.SentUsers == sent;
        return sender;
    }
    HANDLE sender = PowerEventFromAnotherThread(PBT_APMSUSPEND);
    WaitWhilePumping(sender, 5000);
    CloseHandle(sender);
    *reached = *reached && SeenHidden(sent);
    if (state == 4) {
        sender = PowerEventFromAnotherThread(PBT_APMRESUMEAUTOMATIC);
        WaitWhilePumping(sender, 5000);
        CloseHandle(sender);
        *reached = *reached && SeenShown();
    }
    return NULL;
}

static void StopAndMeasure(int index, int state)
{
    BOOL reached = FALSE;
    LONG sent = Run.SentUsers;
    HANDLE sender = EnterState(state, &reached);
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
        // The send the stop found pending was the repaint.
        reached = reached && Run.SentUsers == sent + 1;
    }
    ok(reached, "stop %d: the watcher was never %s", index, StateNames[state]);
    if (reached)
        Run.Reached[state]++;
    PumpPending();
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
    printf("%d stops in %lu ms, reached/asked: starting %d/%d, waiting %d/%d, hidden %d/%d, inside send %d/%d, "
           "resumed %d/%d; longest stop %lu ms, while %s\n",
           cases, GetTickCount() - start, Run.Reached[0], Run.PerState[0], Run.Reached[1], Run.PerState[1],
           Run.Reached[2], Run.PerState[2], Run.Reached[3], Run.PerState[3], Run.Reached[4], Run.PerState[4],
           Run.Longest, Run.LongestState ? Run.LongestState : "-");
    // Every state was reached at least once.
    for (int state = 0; state < 5 && cases >= 40; state++)
        ok(Run.Reached[state] > 0, "never stopped while %s", StateNames[state]);
    DestroyWindow(Run.Host);
}

int main()
{
    run_test(test_random_stops);
    return TestSummary();
}
