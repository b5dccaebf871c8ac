// Load steps and the item window's message handling, with the item's code
// linked into this program and the clock fixed through its import table.
#include "testlib.h"
#include "callcount.h"
#include "iat.h"
#include "today-standins.h"
#include "settings.h"
#include "module.h"
#include "itemwindow.h"
#include "layout.h"
#include "fonts.h"
#include "phone.h"
#include <functional>

static SYSTEMTIME FakeNow;

static void WINAPI FakeGetLocalTime(SYSTEMTIME *time)
{
    *time = FakeNow;
}

static void SetClock(WORD hour, WORD minute, WORD second)
{
    FakeNow = SYSTEMTIME();
    FakeNow.wYear = 2026;
    FakeNow.wMonth = 12;
    FakeNow.wDay = 7;
    FakeNow.wDayOfWeek = 1;
    FakeNow.wHour = hour;
    FakeNow.wMinute = minute;
    FakeNow.wSecond = second;
}

static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TODAYM_GETCOLOR)
        return 0xFFFFFF;
    if (message == TODAYM_DRAWWATERMARK)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

static HWND CreateHost()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"TestTodayHost";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0,
                           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), NULL, NULL,
                           wc.hInstance, NULL);
}

static BOOL HasPendingPaint(HWND window)
{
    RECT rect;
    return GetUpdateRect(window, &rect, FALSE);
}

// Without a settings key every setting has its default, as with an empty
// key.
static void test_attach_without_settings_key()
{
    DeleteRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    ClockSettings = ClockSettingsRecord();
    ModuleAttach(GetModuleHandleW(NULL));
    ok_int(ClockSettings.ShowSeconds, 1);
    ok_int(ClockSettings.HourMinFontSize, 38);
    ok_int(ClockSettings.AlarmIconEnabled, 1);
    ok_int(ClockSettings.AlphaReserved, 0xA0B0C0);
    ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\clock.exe");
    ok_int(ItemState.SettingsUnread, 0);
    ok(UiMetricMessage != 0, "SH_UIMETRIC_CHANGE registered");
    ok(UiMetricMessage == RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE"), "same message number");
    WNDCLASSW wc;
    ok(GetClassInfoW(GetModuleHandleW(NULL), L"QZL", &wc), "class QZL registered");
    ok(wc.lpfnWndProc == ItemWindowProc, "class procedure");
    ok_int(wc.style, CS_HREDRAW | CS_VREDRAW);
    ok(wc.hbrBackground == NULL, "no background brush");
    ModuleDetach();
    ok(!GetClassInfoW(GetModuleHandleW(NULL), L"QZL", &wc), "class gone at detach");
    ok(ModuleInstance == NULL, "instance reset at detach");
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
}

// The load closes the key it read, and the first creation opens it again: a
// key deleted and made again in between (another process's options, a new
// install) gives its marker and settings.
static void test_marker_in_a_key_made_again()
{
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", 1);
    ModuleAttach(GetModuleHandleW(NULL));
    ok_int(ClockSettings.ShowSeconds, 1);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", 0);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    HWND host = CreateHost();
    TODAYLISTITEM record = {};
    DestroyWindow(InitializeCustomItem(&record, host));
    ok_int(ClockSettings.ShowSeconds, 0);
    ok(!RegValueExists(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL"), "marker deleted");
    DestroyWindow(host);
    ModuleDetach();
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
}

static LRESULT CALLBACK StaleProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(w, m, wp, lp);
}

static void test_attach_replaces_a_stale_class()
{
    WNDCLASSW stale = {};
    stale.lpfnWndProc = StaleProc;
    stale.hInstance = GetModuleHandleW(NULL);
    stale.lpszClassName = L"QZL";
    ok(RegisterClassW(&stale) != 0, "stale class registered");
    ModuleAttach(GetModuleHandleW(NULL));
    WNDCLASSW wc;
    ok(GetClassInfoW(GetModuleHandleW(NULL), L"QZL", &wc) && wc.lpfnWndProc == ItemWindowProc,
       "class registered anew");
    ModuleDetach();
}

static void SetAlarm0(BYTE flags, BYTE days)
{
    const WCHAR *key = L"Software\\Microsoft\\Clock\\0";
    SetRegBinary(HKEY_LOCAL_MACHINE, key, L"AlarmFlags", &flags, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, key, L"AlarmDays", &days, 1);
}

// The load asks nothing of the alarms: the window shows nothing before the
// host's first refresh, which asks (test_refresh_query).
static void test_load_leaves_the_alarms_to_the_refresh()
{
    SetAlarm0(1, 0x1F);
    ItemState.AlarmSet = 0;
    ModuleAttach(GetModuleHandleW(NULL));
    ok_int(ItemState.AlarmSet, 0);
    ModuleDetach();
    SetAlarm0(0, 0x1F);
}

// Reads of the user-interface font size, counted at the registry.
static int FontSizeReads;
static LSTATUS(WINAPI *RealRegGetValueW)(HKEY, LPCWSTR, LPCWSTR, DWORD, LPDWORD, PVOID, LPDWORD);

static LSTATUS WINAPI CountingRegGetValueW(HKEY key, LPCWSTR subKey, LPCWSTR value, DWORD flags, LPDWORD type,
                                           PVOID data, LPDWORD size)
{
    if (value != NULL && lstrcmpiW(value, L"FontSize") == 0)
        FontSizeReads++;
    return RealRegGetValueW(key, subKey, value, flags, type, data, size);
}

static int DeviceContexts, ScreenSizes;
static HDC(WINAPI *RealGetDC)(HWND);
static int(WINAPI *RealGetSystemMetrics)(int);

static HDC WINAPI CountingGetDC(HWND window)
{
    DeviceContexts++;
    return RealGetDC(window);
}

static int WINAPI CountingGetSystemMetrics(int index)
{
    ScreenSizes += index == SM_CXSCREEN || index == SM_CYSCREEN;
    return RealGetSystemMetrics(index);
}

// Each screen DC, each question for the screen's size and each read of the
// UI font size costs server round trips under Wine. The first load of a
// process takes a screen DC to list the faces (and read the screen's
// resolution) and one for the font build, which reads the font size; the
// creation one for its layout and the screen's width and height; the
// host's first refresh asks for the font size (the fonts date from the
// load, before any window could be told of a change) but not the screen's
// size (the creation has just read it); the first paint on this 16-bit
// screen one, for its compatible bitmaps; the next refresh asks for the
// size and the font size again. No step leaves a registry key open for the
// next. Run first, before anything has read the screen.
static void test_load_steps_ask_little()
{
    HWND host = CreateHost(), item = NULL;
    TODAYLISTITEM record = {};
    record.tlit = tlitCustom;
    int width = GetSystemMetrics(SM_CXSCREEN);
    const struct {
        const char *Step;
        int Dcs, ScreenSizes, FontSizes;
        std::function<void()> Run;
    } Cases[] = {
        {"attach", 2, 0, 1, [] { ModuleAttach(GetModuleHandleW(NULL)); }},
        {"creation", 1, 2, 0, [&] { item = InitializeCustomItem(&record, host); }},
        {"height query", 0, 0, 1,
         [&] { SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0); }},
        {"first paint", 1, 0, 0, [&] {
             SetWindowPos(item, NULL, 0, 0, width, (int)record.cyp, SWP_NOZORDER);
             UpdateWindow(item);
         }},
        {"next refresh", 0, 2, 1,
         [&] { SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0); }}};
    void *real = NULL, *realMetrics = NULL, *realValue = NULL;
    // Every key opened (all of them exist) is counted against the keys closed.
    ok(CountImportCalls(GetModuleHandleW(NULL), "advapi32.dll") > 0, "advapi32.dll\n");
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "GetDC", (void *)CountingGetDC, &real) > 0, "GetDC\n");
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "GetSystemMetrics", (void *)CountingGetSystemMetrics,
                     &realMetrics) > 0,
       "GetSystemMetrics\n");
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "RegGetValueW", (void *)CountingRegGetValueW, &realValue) > 0,
       "RegGetValueW\n");
    RealGetDC = (decltype(RealGetDC))real;
    RealGetSystemMetrics = (decltype(RealGetSystemMetrics))realMetrics;
    RealRegGetValueW = (decltype(RealRegGetValueW))realValue;
    for (const auto &c : Cases) {
        DeviceContexts = ScreenSizes = FontSizeReads = 0;
        ResetImportCalls();
        c.Run();
        LONGLONG keysLeftOpen = ImportCalls("RegOpenKeyExW") - ImportCalls("RegCloseKey");
        ok(DeviceContexts == c.Dcs && ScreenSizes == c.ScreenSizes && FontSizeReads == c.FontSizes,
           "%s: %d DCs, %d size questions, %d font size reads; expected %d, %d, %d\n", c.Step, DeviceContexts,
           ScreenSizes, FontSizeReads, c.Dcs, c.ScreenSizes, c.FontSizes);
        ok(keysLeftOpen == 0, "%s: %lld registry keys left open\n", c.Step, keysLeftOpen);
    }
    ok_int(ScreenBitsPerPixel(), 16);
    ReplaceImport(GetModuleHandleW(NULL), NULL, "GetDC", real, NULL);
    ReplaceImport(GetModuleHandleW(NULL), NULL, "GetSystemMetrics", realMetrics, NULL);
    ReplaceImport(GetModuleHandleW(NULL), NULL, "RegGetValueW", realValue, NULL);
    DestroyWindow(item);
    DestroyWindow(host);
    ModuleDetach();
}

// A size changed while no item window existed reaches no window: the host's
// first refresh after the next creation finds it, whether the fonts were
// built by that creation or, in this process, for an earlier window.
static void test_size_changed_without_a_window()
{
    const WCHAR *appearance = L"ControlPanel\\Appearance";
    DWORD saved = GetRegDword(HKEY_CURRENT_USER, appearance, L"FontSize", 800);
    HWND host = CreateHost();
    TODAYLISTITEM record = {};
    ModuleAttach(GetModuleHandleW(NULL));
    const struct {
        const char *Creation;
        DWORD Hundredths;
        BOOL Marked;    // a reload marker: the creation builds new fonts
        int Points;
    } rows[] = {
        {"first", 1099, FALSE, 10},
        {"second, fonts of the first", 1200, FALSE, 12},
        {"third, fonts it built", 900, TRUE, 9},
    };
    for (const auto &r : rows) {
        SetRegDword(HKEY_CURRENT_USER, appearance, L"FontSize", r.Hundredths);
        if (r.Marked)
            SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
        HWND item = InitializeCustomItem(&record, host);
        SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
        ok(ClockFonts.UiPoints == r.Points && ItemState.LastUiFontSize == (DWORD)r.Points,
           "%s creation: fonts for %d points, strip for %lu; expected %d\n", r.Creation, ClockFonts.UiPoints,
           ItemState.LastUiFontSize, r.Points);
        DestroyWindow(item);
    }
    SetRegDword(HKEY_CURRENT_USER, appearance, L"FontSize", saved);
    DestroyWindow(host);
    ModuleDetach();
}

static HWND Host;
static HWND Item;
static TODAYLISTITEM Record;

static void test_create_item_window()
{
    Host = CreateHost();
    Record = TODAYLISTITEM();
    Record.tlit = tlitCustom;
    Item = InitializeCustomItem(&Record, Host);
    ok(Item != NULL, "item window created");
    ok(ItemState.Window == Item, "ItemState.Window is the new window");
    WCHAR text[32] = {};
    GetClassNameW(Item, text, 32);
    ok_wstr(text, L"QZL");
    GetWindowTextW(Item, text, 32);
    ok_wstr(text, L"Quartzel");
    ok(GetParent(Item) == Host, "child of the host window");
    LONG style = GetWindowLongW(Item, GWL_STYLE);
    ok((style & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE), "style %lx", style);
    RECT rect;
    GetWindowRect(Item, &rect);
    ok_int(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    ok_int(rect.bottom - rect.top, 0);
    ok_int(Record.cyp, 0);
    ok_int(ItemState.LastMinute, FakeNow.wMinute);
}

static LRESULT Query()
{
    return SendMessageW(Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Record, 0);
}

static void test_refresh_query()
{
    ok_int(Query(), TRUE);
    ok(Record.cyp > 0, "height reported: %lu", Record.cyp);
    ok_int(Record.cyp, ClockLayout.ContentHeight + 2 * (int)ClockSettings.VerticalBorderHeight);
    DWORD height = Record.cyp;
    ok_int(Query(), FALSE);
    ok_int(Record.cyp, height);
    // An alarm switched on is news while the bell is shown; with the bell
    // switched off the alarms are not asked.
    SetAlarm0(1, 0x1F);
    ok_int(Query(), TRUE);
    ok_int(ItemState.AlarmSet, 1);
    SetAlarm0(0, 0x1F);
    ClockSettings.AlarmIconEnabled = 0;
    ok_int(Query(), FALSE);
    ok_int(ItemState.AlarmSet, 1);
    ClockSettings.AlarmIconEnabled = 1;
    ok_int(Query(), TRUE);
    ok_int(ItemState.AlarmSet, 0);

    ClockSettings.VerticalBorderHeight = 4;
    ok_int(Query(), TRUE);
    ok_int(Record.cyp, height + 8);
    ok_int(Query(), FALSE);

    // An unsupported resolution hides the item whatever the border says.
    int dpi = ClockLayout.DpiX;
    ClockLayout.DpiX = 120;
    ok_int(Query(), TRUE);
    ok_int(Record.cyp, 0);
    ok_int(ClockLayout.ContentHeight, 0);
    ok_int(ClockSettings.VerticalBorderHeight, 0);
    ClockLayout.DpiX = dpi;
    ok_int(Query(), TRUE);
    ok_int(Record.cyp, height);
}

static void test_window_position_flags()
{
    SetWindowPos(Item, NULL, 0, 20, GetSystemMetrics(SM_CXSCREEN), 60, SWP_NOZORDER | SWP_NOACTIVATE);
    ItemState.BackgroundDirty = 0;
    ItemState.WatermarkDirty = 0;
    SetWindowPos(Item, NULL, 0, 30, GetSystemMetrics(SM_CXSCREEN), 60, SWP_NOZORDER | SWP_NOACTIVATE);
    ok_int(ItemState.WatermarkDirty, 1);
    ok_int(ItemState.BackgroundDirty, 0);
    ok_int(ItemState.LastTop, 30);
    ItemState.WatermarkDirty = 0;
    SetWindowPos(Item, NULL, 0, 30, GetSystemMetrics(SM_CXSCREEN), 70, SWP_NOZORDER | SWP_NOACTIVATE);
    ok_int(ItemState.BackgroundDirty, 1);
    ok_int(ItemState.WatermarkDirty, 0);
    ok_int(ItemState.LastHeight, 70);
}

static LRESULT Tick()
{
    ValidateRect(Item, NULL);
    LRESULT result = SendMessageW(Item, WM_TIMER, CLOCK_TIMER_ID, 0);
    ok(HasPendingPaint(Item) == (result == 1), "repaint requested exactly when the tick says so");
    return result;
}

static void test_timer_repaints()
{
    ClockSettings.ShowSeconds = 0;
    ClockSettings.ShowOpName = 0;
    SetClock(10, 15, 20);
    ItemState.LastMinute = 15;
    ok_int(Tick(), 0);
    SetClock(10, 15, 59);
    ok_int(Tick(), 0);
    SetClock(10, 16, 0);
    ok_int(Tick(), 1);
    ok_int(ItemState.LastMinute, 16);
    ok_int(Tick(), 0);
    // The clock set an hour on, then the next day at the same time, then
    // woken twelve hours later in the same minute: each shows something
    // new, and a host that asks first hears of it.
    SetClock(11, 16, 0);
    ok_int(Tick(), 1);
    ok_int(Tick(), 0);
    FakeNow.wDay = 8;
    ok_int(Tick(), 1);
    FakeNow.wHour = 23;
    ValidateRect(Item, NULL);
    ok_int(Query(), TRUE);
    ok(HasPendingPaint(Item), "the query asks for the new hour to be painted");
    ok_int(Tick(), 0);
    ok_int(Query(), FALSE);

    ClockSettings.ShowSeconds = 1;
    ok_int(Tick(), 1);
    ok_int(Tick(), 1);
    ClockSettings.ShowSeconds = 0;

    // The operator text refreshes on the first tick, then every third.
    ClockSettings.ShowOpName = 1;
    ItemState.OperatorCountdown = 0;
    int pattern[7];
    for (int i = 0; i < 7; i++)
        pattern[i] = (int)Tick();
    ok(pattern[0] == 1 && pattern[1] == 0 && pattern[2] == 0 && pattern[3] == 1 && pattern[4] == 0 &&
           pattern[5] == 0 && pattern[6] == 1,
       "refresh ticks %d%d%d%d%d%d%d", pattern[0], pattern[1], pattern[2], pattern[3], pattern[4], pattern[5],
       pattern[6]);
    ClockSettings.ShowOpName = 0;
}

static void test_selection_and_cache_messages()
{
    ValidateRect(Item, NULL);
    ItemState.WatermarkDirty = 0;
    ok_int(SendMessageW(Item, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0), 1);
    ok_int(ItemState.Selected, 1);
    ok_int(SendMessageW(Item, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0), 0);
    ok_int(ItemState.Selected, 0);
    ok_int(SendMessageW(Item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0), 0);
    ok_int(ItemState.WatermarkDirty, 1);
    ok_int(SendMessageW(Item, WM_TODAYCUSTOM_USERNAVIGATION, VK_DOWN, 0), 0);
    ok(!HasPendingPaint(Item), "selection and cache messages do not invalidate");
}

static int PaintsSeen;
static WNDPROC ItemProcedure;

static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        PaintsSeen++;
    return CallWindowProcW(ItemProcedure, window, message, wParam, lParam);
}

// The paint happens inside the send: nothing is left to paint afterwards, and
// a paint went through the window procedure before the send returned.
static void test_status_message_repaints_at_once()
{
    ItemProcedure = (WNDPROC)SetWindowLongPtrW(Item, GWLP_WNDPROC, (LONG_PTR)CountingProc);
    ValidateRect(Item, NULL);
    PaintsSeen = 0;
    ok_int(SendMessageW(Item, WM_USER, 0, 0), 1);
    ok_int(PaintsSeen, 1);
    ok(!HasPendingPaint(Item), "WM_USER paints synchronously");
    SetWindowLongPtrW(Item, GWLP_WNDPROC, (LONG_PTR)ItemProcedure);
}

static void test_reload_marker_once()
{
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", 0);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    ClockSettings.ShowSeconds = 1;
    ItemState.BackgroundDirty = 0;
    ok_int(SendMessageW(Item, WM_CREATE, 0, 0), 1);
    ok_int(ClockSettings.ShowSeconds, 0);
    ok_int(ItemState.BackgroundDirty, 1);
    ok(!RegValueExists(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL"), "marker deleted");

    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", 1);
    ItemState.BackgroundDirty = 0;
    ok_int(SendMessageW(Item, WM_CREATE, 0, 0), 1);
    ok_int(ClockSettings.ShowSeconds, 0);
    ok_int(ItemState.BackgroundDirty, 0);

    // A key that may be read but not written: the settings are taken all
    // the same; the marker cannot go.
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    SetRegKeyWritable(HKEY_CURRENT_USER, SETTINGS_KEY, FALSE);
    ok_int(SendMessageW(Item, WM_CREATE, 0, 0), 1);
    ok_int(ClockSettings.ShowSeconds, 1);
    ok_int(ItemState.BackgroundDirty, 1);
    ok(RegValueExists(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL"), "marker kept");
    SetRegKeyWritable(HKEY_CURRENT_USER, SETTINGS_KEY, TRUE);
    DeleteRegValue(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL");
}

// The phone-state notice follows the operator-name option through the
// options' reloads: each WM_CREATE after the settings changed opens it or
// closes it, and one that finds them unchanged leaves it as it is.
static void test_phone_notice_follows_reload()
{
    static const struct {
        const char *Step;
        DWORD ShowOpName;
        BOOL Marked;
        BOOL Open;
    } steps[] = {
        {"switched on", 1, TRUE, TRUE},   {"unchanged", 1, FALSE, TRUE}, {"switched off", 0, TRUE, FALSE},
        {"off, unchanged", 0, FALSE, FALSE}, {"on again", 1, TRUE, TRUE}, {"off again", 0, TRUE, FALSE},
    };
    for (const auto &step : steps) {
        SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowOpName", step.ShowOpName);
        if (step.Marked)
            SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
        HREGNOTIFY before = ItemState.PhoneStatusNotification;
        SendMessageW(Item, WM_CREATE, 0, 0);
        HREGNOTIFY after = ItemState.PhoneStatusNotification;
        BOOL kept = step.Marked || after == before;
        ok((after != NULL) == step.Open && kept, "%s: notice %p, before %p\n", step.Step, after, before);
    }
    DeleteRegValue(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowOpName");
}

static LONG FontHeight(HFONT font)
{
    LOGFONTW face = {};
    return GetObjectW(font, sizeof(face), &face) ? face.lfHeight : 0;
}

// A change of the system's text size rebuilds the fonts from the settings in
// memory: a new hour size shows in the new font at once.
static void test_ui_metric_change()
{
    DWORD size = ClockSettings.HourMinFontSize;
    LONG before = FontHeight(ClockFonts.HourMinuteFont);
    ClockSettings.HourMinFontSize = 60;
    LRESULT expected = DefWindowProcW(Item, UiMetricMessage, 0, 1);
    ok_int(SendMessageW(Item, UiMetricMessage, 0, 1), expected);
    LONG after = FontHeight(ClockFonts.HourMinuteFont);
    ok(after != 0 && after != before, "hour font rebuilt: height %ld before, %ld after", before, after);
    ClockSettings.HourMinFontSize = size;
    SendMessageW(Item, UiMetricMessage, 0, 1);
    ok_int(FontHeight(ClockFonts.HourMinuteFont), before);
}

// A refresh with nothing new reads the size once, for the strip and the
// fonts both; the system's notice calls for new fonts whatever the size,
// so only their build reads it.
static void test_font_size_reads()
{
    static const struct {
        const char *Event;
        BOOL Notice;
        int Reads;
    } Cases[] = {{"quiet refresh", FALSE, 1}, {"size notice", TRUE, 1}, {"refresh after it", FALSE, 1}};
    void *real = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "RegGetValueW", (void *)CountingRegGetValueW, &real) > 0,
       "RegGetValueW\n");
    RealRegGetValueW = (decltype(RealRegGetValueW))real;
    Query();
    for (const auto &c : Cases) {
        FontSizeReads = 0;
        if (c.Notice)
            SendMessageW(Item, UiMetricMessage, 0, 1);
        else
            Query();
        ok(FontSizeReads == c.Reads, "%s: %d reads of the size, expected %d\n", c.Event, FontSizeReads, c.Reads);
    }
    ReplaceImport(GetModuleHandleW(NULL), NULL, "RegGetValueW", real, NULL);
}

// Destruction lets go of everything the window started: the operator-name
// change notice, the phone key and the suspend watcher.
static void test_destroy()
{
    ClockSettings.ShowOpName = 1;
    ClockSettings.HideTimeInSleep = 1;
    SendMessageW(Item, WM_CREATE, 0, 0);
    ItemState.OperatorCountdown = 0;
    SendMessageW(Item, WM_TIMER, CLOCK_TIMER_ID, 0);
    ok(ItemState.PhoneStatusNotification != NULL, "change notice open before");
    ok(PhoneKey != NULL, "phone key open before");
    ok(ItemState.WatcherThread != NULL, "watcher running before");
    // The message alone first: the window stays, so a timer still running
    // would be the item's own leftover, not one the system already took.
    ok_int(SendMessageW(Item, WM_DESTROY, 0, 0), 0);
    ok(!KillTimer(Item, CLOCK_TIMER_ID), "clock timer stopped");
    ok(ItemState.PhoneStatusNotification == NULL, "change notice closed");
    ok(PhoneKey == NULL, "phone key closed");
    ok(ItemState.WatcherThread == NULL && ItemState.WatcherStopEvent == NULL, "watcher stopped");
    ok(DestroyWindow(Item), "item destroyed");
    ok(ItemState.Window == Item, "Window is not cleared by destruction");
    ClockSettings.ShowOpName = 0;
    ClockSettings.HideTimeInSleep = 0;
    DestroyWindow(Host);
}

int main()
{
    ok(ReplaceImport(GetModuleHandleW(NULL), "kernel32.dll", "GetLocalTime", (void *)FakeGetLocalTime, NULL) > 0,
       "clock replaced");
    SetClock(10, 15, 0);
    run_test(test_load_steps_ask_little);
    run_test(test_attach_without_settings_key);
    run_test(test_marker_in_a_key_made_again);
    run_test(test_attach_replaces_a_stale_class);
    run_test(test_load_leaves_the_alarms_to_the_refresh);
    run_test(test_size_changed_without_a_window);

    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    ModuleAttach(GetModuleHandleW(NULL));
    run_test(test_create_item_window);
    run_test(test_refresh_query);
    run_test(test_window_position_flags);
    run_test(test_timer_repaints);
    run_test(test_selection_and_cache_messages);
    run_test(test_status_message_repaints_at_once);
    run_test(test_reload_marker_once);
    run_test(test_phone_notice_follows_reload);
    run_test(test_ui_metric_change);
    run_test(test_font_size_reads);
    run_test(test_destroy);
    ModuleDetach();
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    return TestSummary();
}
