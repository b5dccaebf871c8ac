// Leak and soak: the real DLL, driven through its exports and messages, must
// hold no more GDI objects and no more private memory after many paints,
// refresh queries, settings reloads, options sessions and item windows than
// after the first few. QZL_SOAK=full runs the long counts.
#include "testlib.h"
#include "itemdll.h"
#include "fakehost.h"
#include "usage.h"
#include "today-standins.h"
#include "settings.h"
#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

struct SoakCounts {
    int Paints;
    int Queries;
    int Reloads;
    int OptionsSessions;
    int Windows;
};

static const SoakCounts ShortSoak = {1000, 200, 20, 5, 20};
static const SoakCounts FullSoak = {10000, 1000, 100, 100, 100};

static HMODULE Dll;
static PFNCUSTOMINITIALIZEITEM Initialize;
static PFNCUSTOMOPTIONSDLGPROC OptionsProc;
static HWND Item;
static TODAYLISTITEM Record;

static void CreateItem()
{
    Record = TODAYLISTITEM();
    Record.tlit = tlitCustom;
    Item = Initialize(&Record, FakeHost.Window);
    SendMessageW(Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Record, 0);
    SetWindowPos(Item, NULL, 0, 40, GetSystemMetrics(SM_CXSCREEN), (int)Record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(Item);
}

static void Paint(int i)
{
    // Alternate selection now and then, so both cached backgrounds are used
    // (the first rounds, which build the caches, use both).
    if (i % 50 < 2)
        SendMessageW(Item, i % 2 ? WM_TODAYCUSTOM_RECEIVEDSELECTION : WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    InvalidateRect(Item, NULL, FALSE);
    UpdateWindow(Item);
}

static void Query(int i)
{
    if (i % 10 == 0)
        SendMessageW(Item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0);
    SendMessageW(Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Record, 0);
    UpdateWindow(Item);
}

static void Reload(int i)
{
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"HourMinFontSize", 30 + i % 10);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    SendMessageW(Item, WM_CREATE, 0, 0);
    SendMessageW(Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Record, 0);
    UpdateWindow(Item);
}

static BOOL CALLBACK PressOkOnSheet(HWND window, LPARAM)
{
    if (IsWindowVisible(window) && FindWindowExW(window, NULL, WC_TABCONTROLW, NULL)) {
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_OK, 0);
        return FALSE;
    }
    return TRUE;
}

static void CALLBACK CloseSheetTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), PressOkOnSheet, 0);
}

static void OptionsSession(int)
{
    UINT_PTR timer = SetTimer(NULL, 0, 50, CloseSheetTimer);
    DialogBoxParamW(Dll, MAKEINTRESOURCEW(IDD_TODAY_CUSTOM), FakeHost.Window, (DLGPROC)(void *)OptionsProc, 0);
    KillTimer(NULL, timer);
    // The eight reload requests the closing posted.
    PumpPending();
}

static void RecreateWindow(int)
{
    DestroyWindow(Item);
    CreateItem();
}

typedef void (*SoakStep)(int);

static void Soak(const char *name, SoakStep step, int count)
{
    // The first rounds build the caches that later rounds only replace.
    for (int i = 0; i < 3; i++)
        step(i);
    PumpPending();
    int gdiBefore = CountGdiObjects();
    SIZE_T memoryBefore = PrivateBytes();
    DWORD start = GetTickCount();
    for (int i = 0; i < count; i++)
        step(i);
    PumpPending();
    int gdiAfter = CountGdiObjects();
    SIZE_T memoryAfter = PrivateBytes();
    printf("%-16s x%-6d %6lu ms  GDI objects %d -> %d  private KiB %zu -> %zu\n", name, count,
           GetTickCount() - start, gdiBefore, gdiAfter, memoryBefore / 1024, memoryAfter / 1024);
    ok(gdiAfter <= gdiBefore, "%s: GDI objects %d -> %d", name, gdiBefore, gdiAfter);
    // Wine's heaps grow in blocks; anything per-step would show as far more.
    ok(memoryAfter <= memoryBefore + 512 * 1024, "%s: private memory %zu -> %zu KiB", name, memoryBefore / 1024,
       memoryAfter / 1024);
}

static void test_soak()
{
    const char *mode = getenv("QZL_SOAK");
    const SoakCounts &counts = mode && strcmp(mode, "full") == 0 ? FullSoak : ShortSoak;
    Soak("paints", Paint, counts.Paints);
    Soak("refresh queries", Query, counts.Queries);
    Soak("reloads", Reload, counts.Reloads);
    Soak("options", OptionsSession, counts.OptionsSessions);
    Soak("item windows", RecreateWindow, counts.Windows);
}

int main()
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    Dll = LoadItemDll();
    ok(Dll != NULL, "DLL loads");
    if (!Dll)
        return TestSummary();
    Initialize = ItemInitializer(Dll);
    OptionsProc = ItemOptionsProc(Dll);
    CreateFakeHost();
    CreateItem();
    run_test(test_soak);
    DestroyWindow(Item);
    DestroyFakeHost();
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    return TestSummary();
}
