// A host that misbehaves: impossible colours, no watermark, messages in an
// unusual order, items destroyed and created over and over. The item must
// neither crash nor leak.
#include "testlib.h"
#include "itemdll.h"
#include "fakehost.h"
#include "usage.h"
#include "today-standins.h"
#include "settings.h"

static HMODULE Dll;
static PFNCUSTOMINITIALIZEITEM Initialize;

static void Paint(HWND item)
{
    InvalidateRect(item, NULL, FALSE);
    UpdateWindow(item);
}

static void test_paint_before_refresh()
{
    TODAYLISTITEM record = {};
    HWND item = Initialize(&record, FakeHost.Window);
    ok(item != NULL, "item created");
    // Height 0 and no refresh yet: nothing to draw, nothing may fail.
    Paint(item);
    SetWindowPos(item, NULL, 0, 30, GetSystemMetrics(SM_CXSCREEN), 80, SWP_NOZORDER | SWP_NOACTIVATE);
    Paint(item);
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    Paint(item);
    ok(record.cyp > 0, "height after the first refresh: %lu", record.cyp);
    DestroyWindow(item);
}

static void test_impossible_colours_and_no_watermark()
{
    FakeHost.TextColor = FakeHost.HighlightColor = FakeHost.HighlightedTextColor = 0xFFFFFFFF;
    FakeHost.DrawWatermark = FALSE;
    TODAYLISTITEM record = {};
    HWND item = Initialize(&record, FakeHost.Window);
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    SetWindowPos(item, NULL, 0, 30, GetSystemMetrics(SM_CXSCREEN), (int)record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    Paint(item);
    SendMessageW(item, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0);
    Paint(item);
    ok(FakeHost.WatermarkRequests > 0, "watermark asked for");
    ok(FakeHost.ColorRequests > 0, "colours asked for");
    DestroyWindow(item);
    FakeHost.TextColor = RGB(255, 255, 255);
    FakeHost.HighlightColor = RGB(0, 80, 160);
    FakeHost.HighlightedTextColor = RGB(255, 255, 0);
    FakeHost.DrawWatermark = TRUE;
}

static void test_null_record_and_odd_messages()
{
    TODAYLISTITEM record = {};
    HWND item = Initialize(NULL, FakeHost.Window);
    ok(item != NULL, "a null record is not read at creation");
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0);
    SendMessageW(item, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    SendMessageW(item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0);
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    Paint(item);
    DestroyWindow(item);
}

static void test_recreate_many_times()
{
    TODAYLISTITEM record = {};
    HWND item = Initialize(&record, FakeHost.Window);
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    Paint(item);
    DestroyWindow(item);
    int gdiBefore = CountGdiObjects();
    for (int i = 0; i < 100; i++) {
        record = TODAYLISTITEM();
        item = Initialize(&record, FakeHost.Window);
        if (i % 2)
            SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
        SetWindowPos(item, NULL, 0, 30 + i % 3, GetSystemMetrics(SM_CXSCREEN), (int)record.cyp,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        Paint(item);
        DestroyWindow(item);
    }
    int gdiAfter = CountGdiObjects();
    ok(gdiAfter <= gdiBefore, "GDI objects after 100 windows: %d -> %d", gdiBefore, gdiAfter);
}

int main()
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    Dll = LoadItemDll();
    ok(Dll != NULL, "DLL loads");
    if (!Dll)
        return TestSummary();
    Initialize = ItemInitializer(Dll);
    CreateFakeHost();
    run_test(test_paint_before_refresh);
    run_test(test_impossible_colours_and_no_watermark);
    run_test(test_null_record_and_odd_messages);
    run_test(test_recreate_many_times);
    DestroyFakeHost();
    return TestSummary();
}
