// The suspend watcher in the real DLL: the strip loses its time before the
// suspend broadcast returns and gets it back after resume (read from the
// painted pixels), and the watcher follows the setting across reloads.
#include "testlib.h"
#include "powerevents.h"
#include "itemdll.h"
#include "fakehost.h"
#include "iat.h"
#include "today-standins.h"
#include "settings.h"
#include "usage.h"

static HMODULE Dll;
static HWND Item;
static TODAYLISTITEM Record;

static SYSTEMTIME FakeNow;
static void WINAPI FakeGetLocalTime(SYSTEMTIME *time)
{
    *time = FakeNow;
}

// ---- Pixels ------------------------------------------------------------------------

struct Capture {
    int Width, Height;
    DWORD Pixels[240 * 200];
};

static void CaptureItem(Capture *capture)
{
    RECT rect;
    GetClientRect(Item, &rect);
    capture->Width = rect.right < 240 ? rect.right : 240;
    capture->Height = rect.bottom < 200 ? rect.bottom : 200;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture->Width;
    info.bmiHeader.biHeight = -capture->Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(Item);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture->Width, capture->Height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    CopyMemory(capture->Pixels, bits, (SIZE_T)capture->Width * capture->Height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(Item, screen);
}

static int DifferentPixels(const Capture *a, const Capture *b)
{
    int count = 0;
    for (int i = 0; i < a->Width * a->Height; i++)
        if ((a->Pixels[i] & 0xFFFFFF) != (b->Pixels[i] & 0xFFFFFF))
            count++;
    return count;
}

static int Colours(const Capture *a)
{
    DWORD first = a->Pixels[0] & 0xFFFFFF;
    int others = 0;
    for (int i = 0; i < a->Width * a->Height; i++)
        if ((a->Pixels[i] & 0xFFFFFF) != first)
            others++;
    return others;
}

// A post refused, as from a full message queue.
static volatile LONG RefusedPosts;
static BOOL WINAPI RefusePostMessageW(HWND, UINT, WPARAM, LPARAM)
{
    InterlockedIncrement(&RefusedPosts);
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
}

// Ends the program with a failure when `done` is not set within 10 s: a
// destruction that hangs fails in seconds rather than at the test's limit.
static DWORD WINAPI FailOnHang(LPVOID done)
{
    if (WaitForSingleObject((HANDLE)done, 10000) == WAIT_OBJECT_0)
        return 0;
    TestFailure(__FILE__, __LINE__, "destroying the item did not come back within 10 s");
    ExitProcess((UINT)TestSummary());
}

// ---- Tests -------------------------------------------------------------------------

static void CreateItem()
{
    PFNCUSTOMINITIALIZEITEM initialize =
        ItemInitializer(Dll);
    Record = TODAYLISTITEM();
    Record.tlit = tlitCustom;
    Item = initialize(&Record, FakeHost.Window);
    SendMessageW(Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Record, 0);
    SetWindowPos(Item, NULL, 0, 0, GetSystemMetrics(SM_CXSCREEN), (int)Record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(Item);
    PumpPending();
}

static Capture Before, During, After;

static void test_suspend_hides_the_time()
{
    ok(WaitForPowerWindow(5000) != NULL, "the watcher has registered for power notifications");
    InvalidateRect(Item, NULL, FALSE);
    UpdateWindow(Item);
    CaptureItem(&Before);
    ok(Colours(&Before) > 50, "the strip shows something (%d pixels off the first colour)", Colours(&Before));

    // No message is pumped between the broadcast and the capture: what is on
    // the screen was painted while the broadcast was under way.
    BroadcastPowerEvent(PBT_APMSUSPEND);
    CaptureItem(&During);
    int changed = DifferentPixels(&Before, &During);
    ok(changed > 50, "the time is gone when the suspend broadcast returns (%d pixels changed)", changed);

    // The wake-up brings the same face back.
    BroadcastPowerEvent(PBT_APMRESUMESUSPEND);
    ok(PumpUntil([] {
           CaptureItem(&After);
           return DifferentPixels(&Before, &After) == 0;
       }),
       "the time is back after the wake-up (%d pixels differ)", DifferentPixels(&Before, &After));
}

static void test_watcher_follows_the_setting()
{
    int running = CountThreads();
    // Another reload with the setting still on: no second watcher. The
    // desktop takes WM_CREATE only as a send.
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    ok_int(SendMessageW(Item, WM_CREATE, 0, 0), 1);
    ok(!RegValueExists(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL"), "the reload ran");
    ok_int(SendMessageW(Item, WM_CREATE, 0, 0), 1);
    ok_int(CountThreads(), running);
    ok(WaitForPowerWindow(0) != NULL, "still watching");

    // Switched off in the options: the reload stops the watcher and with it
    // the power manager's thread.
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"HideTimeInSleep", 0);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    DWORD start = GetTickCount();
    SendMessageW(Item, WM_CREATE, 0, 0);
    DWORD took = GetTickCount() - start;
    printf("reload that stops the watcher: %lu ms\n", took);
    ok(WaitForPowerWindow(0) == NULL, "power manager gone");
    ok_int(CountThreads(), running - 2);

    // Switched on again.
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"HideTimeInSleep", 1);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    SendMessageW(Item, WM_CREATE, 0, 0);
    ok(WaitForPowerWindow(5000) != NULL, "watching again");
    ok_int(CountThreads(), running);

    // The window goes while the time is hidden, and every post of the item
    // is refused: destruction returns promptly (the power manager's stop
    // needs no post) and leaves no thread behind.
    BroadcastPowerEvent(PBT_APMSUSPEND);
    HANDLE done = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE watchdog = CreateThread(NULL, 0, FailOnHang, done, 0, NULL);
    void *post = NULL;
    ok(ReplaceImport(Dll, NULL, "PostMessageW", (void *)RefusePostMessageW, &post) > 0, "posts refused");
    start = GetTickCount();
    DestroyWindow(Item);
    took = GetTickCount() - start;
    ReplaceImport(Dll, NULL, "PostMessageW", post, NULL);
    SetEvent(done);
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    CloseHandle(done);
    printf("destroy while hidden, posts refused: %lu ms, %ld refused\n", took, RefusedPosts);
    ok(took < 10000, "destroy returned (%lu ms)", took);
    ok(WaitForPowerWindow(0) == NULL, "power manager gone with the window");
    ok_int(CountThreads(), running - 2);
}

int main()
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"HideTimeInSleep", 1);
    Dll = LoadItemDll();
    ok(Dll != NULL, "item DLL loaded");
    if (Dll == NULL)
        return TestSummary();
    FakeNow = SYSTEMTIME();
    FakeNow.wYear = 2024;
    FakeNow.wMonth = 3;
    FakeNow.wDay = 15;
    FakeNow.wDayOfWeek = 5;
    FakeNow.wHour = 10;
    FakeNow.wMinute = 8;
    ok(ReplaceImport(Dll, NULL, "GetLocalTime", (void *)FakeGetLocalTime, NULL) > 0, "clock replaced");
    CreateFakeHost();
    CreateItem();
    run_test(test_suspend_hides_the_time);
    run_test(test_watcher_follows_the_setting);
    DestroyFakeHost();
    FreeLibrary(Dll);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    return TestSummary();
}
