// The options sheet as a whole: what a closing saves and in which order,
// the reload requests to the item window, the ways of closing, the page
// headers, and what an opening leaves behind.
#include "testlib.h"
#include "usage.h"
#include "fakehost.h"
#include "options/optionstest.h"
#include "options.h"
#include "resource.h"
#include "settings.h"
#include "module.h"
#include "itemwindow.h"
#include "phone.h"
#include "propsheet.h"
#include <commctrl.h>

static const WCHAR *const GeneralWrites[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                             L"VerticalBorderHeight", NULL};

// ---- Open and close ----------------------------------------------------------

static void test_open_and_close_at_once()
{
    ArrangeSettings(NULL);
    ClockSettingsRecord before = ClockSettings;
    OpenAndClose();
    static const WCHAR *const expected[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                            L"VerticalBorderHeight", L"QZL", NULL};
    ok(WritesWere(expected), "only the General page and the marker are written");
    if (!WritesWere(expected))
        PrintWrites();
    ok_int(StoredSetting(L"QZL"), 0);
    ok_int(StoredSetting(L"HideTimeInSleep"), 0);
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 0);
    ok_int(StoredSetting(L"VerticalBorderHeight"), 0);
    ok_wstr(StoredFileOnAction(), L"\\Windows\\clock.exe");
    ok(!SettingStored(L"ShowSeconds"), "Time page not written");
    ok(!SettingStored(L"HourMinFontSize"), "Font Size page not written");
    ok(memcmp(&before, &ClockSettings, offsetof(ClockSettingsRecord, FileOnAction)) == 0,
       "no other setting changed in memory");
    ok(OptionsSheet.PageWindows[GeneralPage] != NULL, "General page opened");
    for (int i = DayDatePage; i < OPTIONS_PAGE_COUNT; i++)
        ok(OptionsSheet.PageWindows[i] == NULL, "page %d not opened", i);
    ok_int(OptionsSheet.ReleasedPages, 8);
}

static void VisitEveryPage(HWND sheet)
{
    for (int i = OPTIONS_PAGE_COUNT - 1; i >= 0; i--)
        ShowPage(sheet, i);
    PressOk(sheet);
}

static void test_every_page_saved_in_order()
{
    ArrangeSettings(NULL);
    RunSheet(VisitEveryPage);
    static const WCHAR *const expected[] = {
        L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled", L"VerticalBorderHeight",
        L"ShowDayDate", L"ShowShortDate", L"ShowOpName", L"CenterDayDate",
        L"ShowSeconds", L"AlarmIconEnabled", L"ShowTimeMarkers", L"SingleTMLine",
        L"HourMinFontSize", L"SecondFontSize", L"TimeMarkerFontSize",
        L"TextColorEnabled",
        L"OverrideARGB",
        L"ClearTypeDayDateEnabled", L"ClearTypeTimeEnabled",
        L"QZL", NULL};
    ok(WritesWere(expected), "seven pages in page order, then the marker");
    if (!WritesWere(expected))
        PrintWrites();
    // The defaults come back unchanged.
    ok_int(StoredSetting(L"ShowDayDate"), 1);
    ok_int(StoredSetting(L"CenterDayDate"), 1);
    ok_int(StoredSetting(L"ShowSeconds"), 1);
    ok_int(StoredSetting(L"AlarmIconEnabled"), 1);
    ok_int(StoredSetting(L"ShowTimeMarkers"), 1);
    ok_int(StoredSetting(L"SingleTMLine"), 0);
    ok_int(StoredSetting(L"HourMinFontSize"), 38);
    ok_int(StoredSetting(L"SecondFontSize"), 26);
    ok_int(StoredSetting(L"TimeMarkerFontSize"), 9);
    ok_int(StoredSetting(L"TextColorEnabled"), 0);
    ok_int(StoredSetting(L"OverrideARGB"), 0);
    ok(!SettingStored(L"AlphaDayDate") && !SettingStored(L"AlphaTime"), "cell colours not written");
    ok(PhoneKey == NULL, "phone key closed after the save");
}

// ---- Ways of closing -----------------------------------------------------------

struct CloseRecord {
    const char *Name;
    void (*Close)(HWND sheet, HWND page);
};

static void CloseWithOk(HWND sheet, HWND) { PressOk(sheet); }
static void CloseWithCancel(HWND sheet, HWND) { PropSheet_PressButton(sheet, PSBTN_CANCEL); }
static void CloseWithClose(HWND sheet, HWND) { PostMessageW(sheet, WM_CLOSE, 0, 0); }
static void CloseWithCloseBox(HWND sheet, HWND) { PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Keys go to the focused control and reach the sheet's dialog handling
// through its message loop, as typed keys do.
static void PressKey(HWND page, WPARAM key)
{
    HWND box = GetDlgItem(page, IDC_HIDE_IN_SUSPEND);
    SetFocus(box);
    PostMessageW(box, WM_KEYDOWN, key, 1);
    PostMessageW(box, WM_KEYUP, key, 0xC0000001);
}
static void CloseWithEscape(HWND, HWND page) { PressKey(page, VK_ESCAPE); }
static void CloseWithEnter(HWND, HWND page) { PressKey(page, VK_RETURN); }

static const CloseRecord ClosePaths[] = {
    {"OK", CloseWithOk},       {"Cancel", CloseWithCancel},      {"WM_CLOSE", CloseWithClose},
    {"close box", CloseWithCloseBox}, {"Escape", CloseWithEscape}, {"Enter", CloseWithEnter},
};
static const CloseRecord *ClosePath;
static RECT SheetRect;
static BOOL CancelVisible, OkVisible, PropertyLeft;

// The name under which the sheet stand-in once kept its record on the
// sheet window: an atom per opening, and a pointer into a stack frame.
static const WCHAR OldSheetProperty[] = L"QuartzelHandheldSheet";

static void EditThenClose(HWND sheet)
{
    GetWindowRect(sheet, &SheetRect);
    PropertyLeft = GetPropW(sheet, OldSheetProperty) != NULL;
    CancelVisible = IsWindowVisible(GetDlgItem(sheet, IDCANCEL));
    OkVisible = IsWindowVisible(GetDlgItem(sheet, IDOK));
    HWND page = ShowPage(sheet, GeneralPage);
    Click(page, IDC_HIDE_IN_SUSPEND);
    HWND time = ShowPage(sheet, TimePage);
    Click(time, IDC_SHOW_SECONDS);
    ShowPage(sheet, GeneralPage);
    ClosePath->Close(sheet, page);
}

static void test_every_way_of_closing_saves()
{
    for (const CloseRecord &path : ClosePaths) {
        ArrangeSettings(NULL);
        ClosePath = &path;
        RunSheet(EditThenClose);
        ok(StoredSetting(L"HideTimeInSleep") == 1, "%s: suspend box saved", path.Name);
        ok(StoredSetting(L"ShowSeconds") == 0, "%s: seconds box saved", path.Name);
        ok(StoredSetting(L"QZL") == 0, "%s: marker written", path.Name);
        ok(ClockSettings.HideTimeInSleep == 1 && ClockSettings.ShowSeconds == 0, "%s: memory follows", path.Name);
    }
    ok(SheetRect.left == 0 && SheetRect.top == 0 && SheetRect.right == GetSystemMetrics(SM_CXSCREEN) &&
           SheetRect.bottom == GetSystemMetrics(SM_CYSCREEN),
       "sheet fills the screen: %ld,%ld-%ld,%ld", SheetRect.left, SheetRect.top, SheetRect.right,
       SheetRect.bottom);
    ok(OkVisible && !CancelVisible, "only OK is shown");
    ok(!PropertyLeft, "the sheet window carries a property of the stand-in");
}

static int SheetCallbacks;
static HWND InitializedSheet;

static int CALLBACK CountSheetCallbacks(HWND sheet, UINT message, LPARAM)
{
    SheetCallbacks++;
    if (message == PSCB_INITIALIZED)
        InitializedSheet = sheet;
    return 0;
}

static INT_PTR CALLBACK EmptyPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A modeless sheet outlives the stand-in's call: it is still given the
// handheld's shape and the caller's callback, and nothing of the call's
// frame is left on it.
static void test_modeless_sheet()
{
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.hInstance = ModuleInstance;
    page.pszTemplate = MAKEINTRESOURCEW(IDD_PAGE_ABOUT);
    page.pfnDlgProc = EmptyPageProc;
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_MAXIMIZE | PSH_USECALLBACK;
    header.hInstance = ModuleInstance;
    header.nPages = 1;
    header.ppsp = &page;
    header.pfnCallback = CountSheetCallbacks;
    SheetCallbacks = 0;
    HWND sheet = (HWND)HandheldPropertySheetW(&header);
    ok(IsWindow(sheet), "the modeless sheet stands after the call");
    ok(InitializedSheet == sheet && SheetCallbacks >= 1, "the caller's callback ran (%d calls)", SheetCallbacks);
    RECT rect;
    GetWindowRect(sheet, &rect);
    ok(rect.right == GetSystemMetrics(SM_CXSCREEN) && !IsWindowVisible(GetDlgItem(sheet, IDCANCEL)),
       "the handheld's shape: %ld wide, Cancel hidden", rect.right);
    ok(GetPropW(sheet, OldSheetProperty) == NULL, "a property points into the ended call");
    DestroyWindow(sheet);
    PumpPending();
}

// ---- Reload requests to the item window -------------------------------------------

struct ItemWatchRecord {
    WNDPROC Original;
    int Creates;
    int CreatesWithMarker;
    int FirstWithMarker;
};
static ItemWatchRecord ItemWatch;

static LRESULT CALLBACK WatchedItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        ItemWatch.Creates++;
        if (SettingStored(L"QZL")) {
            ItemWatch.CreatesWithMarker++;
            if (ItemWatch.FirstWithMarker == 0)
                ItemWatch.FirstWithMarker = ItemWatch.Creates;
        }
    }
    return CallWindowProcW(ItemWatch.Original, window, message, wParam, lParam);
}

static void ChangeFontSize(HWND sheet)
{
    HWND page = ShowPage(sheet, FontSizePage);
    TypeText(page, IDC_HOURMIN_EDIT, L"44");
    PressOk(sheet);
}

// The eight released pages ask the item for one reload, after the save: it
// finds the marker.
static void test_one_reload_request()
{
    ArrangeSettings(NULL);
    ModuleAttach(GetModuleHandleW(NULL));
    HWND host = CreateFakeHost();
    HWND item = InitializeCustomItem(NULL, host);
    ok(item != NULL && ItemState.Window == item, "item window created");
    ItemWatch = ItemWatchRecord();
    ItemWatch.Original = (WNDPROC)SetWindowLongPtrW(item, GWLP_WNDPROC, (LONG_PTR)WatchedItemProc);
    RunSheet(ChangeFontSize);
    ok_int(ItemWatch.Creates, 0);   // posted, not yet handled
    PumpUntil([] { return ItemWatch.Creates >= 1; });
    PumpPending();
    ok_int(ItemWatch.Creates, 1);
    ok_int(ItemWatch.CreatesWithMarker, 1);
    ok_int(ItemWatch.FirstWithMarker, 1);
    ok(!SettingStored(L"QZL"), "marker removed by the reload");
    ok_int(ClockSettings.HourMinFontSize, 44);
    DestroyWindow(item);
    DestroyFakeHost();
    ModuleDetach();
    ModuleInstance = GetModuleHandleW(NULL);
    ItemState.Window = NULL;
}

// ---- Settings key missing, failing writes, second opening -------------------------

static void TickEverything(HWND sheet)
{
    Click(ShowPage(sheet, GeneralPage), IDC_HIDE_IN_SUSPEND);
    Click(ShowPage(sheet, TimePage), IDC_SHOW_SECONDS);
    Click(ShowPage(sheet, ClearTypePage), IDC_CLEARTYPE_TIME);
    Click(ShowPage(sheet, ColorPage), IDC_THEME_COLORS);
    PressOk(sheet);
}

static void test_settings_key_missing()
{
    ArrangeSettings(NULL);
    DeleteRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    ClockSettingsRecord before = ClockSettings;
    RunSheet(TickEverything);
    ok_int(Writes.Count, 0);
    ok(!SettingStored(L"QZL"), "no marker");
    HKEY key = NULL;
    ok(RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS, "key not created");
    ok(memcmp(&before, &ClockSettings, offsetof(ClockSettingsRecord, FileOnAction)) == 0,
       "nothing changed in memory");
    ok(wcscmp(before.FileOnAction, ClockSettings.FileOnAction) == 0, "the same path, spelt the same: \"%ls\"",
       ClockSettings.FileOnAction);
    ok_int(OptionsSheet.ReleasedPages, 8);
    // The save tells why it wrote nothing: the registry's own error.
    ok_int(SaveAllPages(), ERROR_FILE_NOT_FOUND);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetRegKeyWritable(HKEY_CURRENT_USER, SETTINGS_KEY, FALSE);
    ok_int(SaveAllPages(), ERROR_ACCESS_DENIED);
    ok(!SettingStored(L"QZL"), "no marker in a read-only key");
    SetRegKeyWritable(HKEY_CURRENT_USER, SETTINGS_KEY, TRUE);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
}

static void test_failing_write_spares_the_rest()
{
    ArrangeSettings(NULL);
    Writes.FailName = L"FileOnAction";
    RunSheet(TickEverything);
    ok(!SettingStored(L"FileOnAction"), "the failing value is missing");
    ok_int(StoredSetting(L"HideTimeInSleep"), 1);
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 0);
    ok_int(StoredSetting(L"ShowSeconds"), 0);
    ok_int(StoredSetting(L"ClearTypeTimeEnabled"), 1);
    ok_int(StoredSetting(L"TextColorEnabled"), 1);
    ok_int(StoredSetting(L"QZL"), 0);
    ClearWrites();
}

static void VisitTime(HWND sheet)
{
    ShowPage(sheet, TimePage);
    PressOk(sheet);
}

static void test_second_opening_starts_clean()
{
    ArrangeSettings(NULL);
    RunSheet(VisitTime);
    ok(OptionsSheet.PageWindows[TimePage] != NULL, "first opening visited Time");
    ClearWrites();
    OpenAndClose();
    static const WCHAR *const expected[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                            L"VerticalBorderHeight", L"QZL", NULL};
    ok(WritesWere(expected), "second opening saves General only");
    if (!WritesWere(expected))
        PrintWrites();
    ok(OptionsSheet.PageWindows[TimePage] == NULL, "Time slot cleared");
    ok_int(OptionsSheet.ReleasedPages, 8);
}

// A second request for the options while a sheet is open, as the item's
// menu or the Today settings make it: the open sheet comes forward, no
// other opens, and the first still saves and closes.
struct SecondRequestRecord {
    HWND First;
    int OtherSheets;
    BOOL FirstForward;
};
static SecondRequestRecord SecondRequest;

static BOOL CALLBACK CloseOtherSheet(HWND window, LPARAM)
{
    if (window != SecondRequest.First && IsWindowVisible(window) && GetDlgItem(window, 0x3020) != NULL) {
        SecondRequest.OtherSheets++;
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// A second sheet, should one open, is closed again so that the test ends.
static void CALLBACK CloseOtherSheets(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CloseOtherSheet, 0);
}

static void AskAgainThenClose(HWND sheet)
{
    SecondRequest.First = sheet;
    Click(ShowPage(sheet, GeneralPage), IDC_HIDE_IN_SUSPEND);
    UINT_PTR timer = SetTimer(NULL, 0, 100, CloseOtherSheets);
    DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_OPTIONS_HOST), NULL, CustomItemOptionsDlgProc, 0);
    CloseOtherSheets(NULL, 0, 0, 0);
    KillTimer(NULL, timer);
    SecondRequest.FirstForward = GetForegroundWindow() == sheet;
    ok(OptionsSheet.Window == sheet, "the open sheet keeps its record");
    PressOk(sheet);
}

static void test_second_request_while_open()
{
    ArrangeSettings(NULL);
    SecondRequest = SecondRequestRecord();
    RunSheet(AskAgainThenClose);
    ok_int(SecondRequest.OtherSheets, 0);
    ok(SecondRequest.FirstForward, "the open sheet is in front");
    ok(!IsWindow(SecondRequest.First), "OK closed the first sheet");
    ok_int(StoredSetting(L"HideTimeInSleep"), 1);
    ok_int(StoredSetting(L"QZL"), 0);
    ok_int(OptionsSheet.Open, FALSE);
}

// ---- Page headers -------------------------------------------------------------------

// Where the header stands at each resolution: the title's origin, its
// font height, and the rule's first and last rows.
struct HeaderPlace {
    int Dpi, X, Y, FontHeight, RuleFirst, RuleLast;
};
static const HeaderPlace HeaderPlaces[] = {
    {96, 8, 5, -11, 23, 23},
    {128, 11, 7, -14, 31, 31},
    {192, 16, 10, -21, 46, 47},
};

struct HeaderReadRecord {
    const HeaderPlace *Place;
    int TitleMismatches[2];         // General, About
    COLORREF FirstMismatch[2];
    BOOL RuleRows[64];              // every pixel of the row is black
    WCHAR TabTitles[OPTIONS_PAGE_COUNT][32];
    LOGFONTW ActionFont, WebFont, NameFont;
};
static HeaderReadRecord HeaderRead;

// Pixels of the band above the rule that differ from `title` drawn here as
// the header is meant to draw it: bold 8 points in the highlight colour at
// the header's origin, over the page's own background.
// A bitmap in the screen's own pixel format, so that text drawn into it
// blends as it does on the screen: on a 16-bit screen a 5-6-5 DIB section
// (Wine's 16-bit compatible bitmaps are 5-5-5).
static HBITMAP ScreenFormatBitmap(HDC screen, int w, int h)
{
    if (GetDeviceCaps(screen, BITSPIXEL) != 16)
        return CreateCompatibleBitmap(screen, w, h);
    struct {
        BITMAPINFOHEADER Header;
        DWORD Masks[3];
    } info = {};
    info.Header.biSize = sizeof(info.Header);
    info.Header.biWidth = w;
    info.Header.biHeight = -h;
    info.Header.biPlanes = 1;
    info.Header.biBitCount = 16;
    info.Header.biCompression = BI_BITFIELDS;
    info.Masks[0] = 0xF800;
    info.Masks[1] = 0x07E0;
    info.Masks[2] = 0x001F;
    void *bits = NULL;
    return CreateDIBSection(screen, (BITMAPINFO *)&info, DIB_RGB_COLORS, &bits, NULL, 0);
}

static int TitleMismatches(HWND page, const WCHAR *title, COLORREF *first)
{
    const HeaderPlace *place = HeaderRead.Place;
    RedrawWindow(page, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client;
    GetClientRect(page, &client);
    int w = client.right, rows = place->RuleFirst;
    HDC pageDC = GetDC(page);
    HDC dc = CreateCompatibleDC(pageDC);
    HBITMAP bitmap = ScreenFormatBitmap(pageDC, w, rows);
    HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    HBRUSH background = CreateSolidBrush(GetPixel(pageDC, w - 1, 0));
    RECT band = {0, 0, w, rows};
    FillRect(dc, &band, background);
    DeleteObject(background);
    LOGFONTW logfont = {};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(logfont), &logfont);
    // The stock font's width belongs to its own height: the header's font
    // takes the width that goes with its height.
    logfont.lfHeight = place->FontHeight;
    logfont.lfWidth = 0;
    logfont.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectW(&logfont);
    HGDIOBJ previousFont = SelectObject(dc, font);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    ExtTextOutW(dc, place->X, place->Y, 0, NULL, title, lstrlenW(title), NULL);
    int mismatches = 0;
    for (int y = 0; y < rows; y++)
        for (int x = 0; x < w; x++)
            if (GetPixel(dc, x, y) != GetPixel(pageDC, x, y) && mismatches++ == 0)
                *first = MAKELONG(x, y);
    SelectObject(dc, previousFont);
    DeleteObject(font);
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(page, pageDC);
    return mismatches;
}

static void ReadRuleRows(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    HDC dc = GetDC(page);
    for (int y = 0; y < 64 && y < client.bottom; y++) {
        BOOL black = TRUE;
        for (int x = 0; x < client.right && black; x++)
            black = GetPixel(dc, x, y) == 0;
        HeaderRead.RuleRows[y] = black;
    }
    ReleaseDC(page, dc);
}

static void ReadHeaders(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    HeaderRead.TitleMismatches[0] = TitleMismatches(page, L"Today: Quartzel Options", &HeaderRead.FirstMismatch[0]);
    ReadRuleRows(page);
    GetObjectW((HFONT)SendDlgItemMessageW(page, IDC_ACTION_HEADING, WM_GETFONT, 0, 0), sizeof(LOGFONTW),
               &HeaderRead.ActionFont);
    HWND tabs = PropSheet_GetTabControl(sheet);
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = HeaderRead.TabTitles[i];
        item.cchTextMax = ARRAYSIZE(HeaderRead.TabTitles[i]);
        SendMessageW(tabs, TCM_GETITEMW, i, (LPARAM)&item);
    }
    HWND about = ShowPage(sheet, AboutPage);
    HeaderRead.TitleMismatches[1] = TitleMismatches(about, L"About Quartzel", &HeaderRead.FirstMismatch[1]);
    GetObjectW((HFONT)SendDlgItemMessageW(about, IDC_ABOUT_WEB, WM_GETFONT, 0, 0), sizeof(LOGFONTW),
               &HeaderRead.WebFont);
    GetObjectW((HFONT)SendDlgItemMessageW(about, IDC_ABOUT_NAME, WM_GETFONT, 0, 0), sizeof(LOGFONTW),
               &HeaderRead.NameFont);
    PressOk(sheet);
}

static void test_page_headers()
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    HeaderRead = HeaderReadRecord();
    for (const HeaderPlace &place : HeaderPlaces)
        if (place.Dpi == dpi)
            HeaderRead.Place = &place;
    if (HeaderRead.Place == NULL) {
        skip("no header worked for %d dpi", dpi);
        return;
    }
    ArrangeSettings(NULL);
    RunSheet(ReadHeaders);
    // The titles, exactly where and as they should be drawn.
    for (int i = 0; i < 2; i++)
        ok(HeaderRead.TitleMismatches[i] == 0, "%s title: %d pixels differ, first at %d,%d", i ? "About" : "General",
           HeaderRead.TitleMismatches[i], LOWORD(HeaderRead.FirstMismatch[i]), HIWORD(HeaderRead.FirstMismatch[i]));
    int first = HeaderRead.Place->RuleFirst, last = HeaderRead.Place->RuleLast;
    for (int y = first - 2; y <= last + 2; y++)
        ok(HeaderRead.RuleRows[y] == (y >= first && y <= last), "row %d black: %d (rule %d..%d)", y,
           HeaderRead.RuleRows[y], first, last);
    static const WCHAR *const titles[] = {L"General", L"Day/Date", L"Time", L"Font Size",
                                          L"Color", L"Background", L"ClearType", L"About"};
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++)
        ok_wstr(HeaderRead.TabTitles[i], titles[i]);
    ok_int(HeaderRead.ActionFont.lfWeight, FW_BOLD);
    ok_int(HeaderRead.ActionFont.lfHeight, HeaderRead.Place->FontHeight);
    ok_int(HeaderRead.NameFont.lfWeight, FW_BOLD);
    ok_int(HeaderRead.WebFont.lfUnderline, 1);
    ok_int(HeaderRead.WebFont.lfWeight, FW_NORMAL);
    ok_int(HeaderRead.WebFont.lfHeight, HeaderRead.Place->FontHeight);
}

// ---- What an opening asks of the first page's controls ----------------------------------

// Under Wine each message is a round of calls, more under an up-down's
// subclass: from its WM_INITDIALOG to the end of its first paint, the
// page asks each control at most this many times.
struct AskRow {
    UINT Message;
    const char *Name;
    int Most;
};
static const AskRow AskRows[] = {
    {WM_GETTEXT, "WM_GETTEXT", 1},                     // the fitting reads a text once
    {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH", 0},         // ... with its length
    {WM_GETFONT, "WM_GETFONT", 1},                     // and asks for a font once
    {WM_SETFONT, "WM_SETFONT", 1},                     // a heading font is given once
    {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING", 0}, // a fitted label takes its box
};
static const int AskedControls = 16;
static struct AskedRecord {
    HHOOK Hook;
    HWND Controls[AskedControls];
    int Ids[AskedControls];
    int Counts[AskedControls][ARRAYSIZE(AskRows)];
    int Count;
} Asked;

static void CountAsked(HWND control, UINT message)
{
    int row = 0;
    while (row < (int)ARRAYSIZE(AskRows) && AskRows[row].Message != message)
        row++;
    if (row == (int)ARRAYSIZE(AskRows))
        return;
    int slot = 0;
    while (slot < Asked.Count && Asked.Controls[slot] != control)
        slot++;
    if (slot == AskedControls)
        return;
    Asked.Controls[slot] = control;
    Asked.Ids[slot] = GetDlgCtrlID(control);
    Asked.Count = slot == Asked.Count ? slot + 1 : Asked.Count;
    Asked.Counts[slot][row]++;
}

static LRESULT CALLBACK AskedHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    HWND page = OptionsSheet.PageWindows[GeneralPage];
    if (code == HC_ACTION && page != NULL && GetParent(call->hwnd) == page)
        CountAsked(call->hwnd, call->message);
    return CallNextHookEx(Asked.Hook, code, wParam, lParam);
}

static void PaintThenClose(HWND sheet)
{
    UpdateWindow(sheet);
    UnhookWindowsHookEx(Asked.Hook);
    PressOk(sheet);
}

static void test_first_page_asks_each_control_once()
{
    ArrangeSettings(NULL);
    Asked = AskedRecord();
    Asked.Hook = SetWindowsHookExW(WH_CALLWNDPROC, AskedHook, NULL, GetCurrentThreadId());
    RunSheet(PaintThenClose);
    // The two captions, three labels and the border edit that the fitting
    // measures.
    ok_int(Asked.Count, 6);
    for (int slot = 0; slot < Asked.Count; slot++)
        for (int row = 0; row < (int)ARRAYSIZE(AskRows); row++)
            ok(Asked.Counts[slot][row] <= AskRows[row].Most, "control %d (id %d): %s %d times, at most %d", slot,
               Asked.Ids[slot], AskRows[row].Name, Asked.Counts[slot][row], AskRows[row].Most);
}

// ---- What an opening leaves behind -------------------------------------------------------

static void VisitAndEdit(HWND sheet)
{
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++)
        ShowPage(sheet, i);
    HWND color = ShowPage(sheet, ColorPage);
    Click(color, IDC_THEME_COLORS);
    TypeText(color, IDC_DEFAULT_RED_EDIT, L"10");
    TypeText(color, IDC_HIGHLIGHT_BLUE_EDIT, L"20");
    RedrawWindow(color, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    TypeText(color, IDC_DEFAULT_RED_EDIT, L"30");
    RedrawWindow(color, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PressOk(sheet);
}

static void test_no_gdi_objects_left()
{
    ArrangeSettings(NULL);
    RunSheet(VisitAndEdit);   // first run: the platform's own one-time objects
    PumpPending();
    int before = CountGdiObjects();
    RunSheet(VisitAndEdit);
    RunSheet(VisitAndEdit);
    PumpPending();
    int after = CountGdiObjects();
    ok(after <= before, "GDI objects: %d before, %d after two openings", before, after);
}

int main()
{
    OptionsTestSetup();
    run_test(test_open_and_close_at_once);
    run_test(test_every_page_saved_in_order);
    run_test(test_every_way_of_closing_saves);
    run_test(test_modeless_sheet);
    run_test(test_settings_key_missing);
    run_test(test_failing_write_spares_the_rest);
    run_test(test_second_opening_starts_clean);
    run_test(test_second_request_while_open);
    run_test(test_page_headers);
    run_test(test_first_page_asks_each_control_once);
    run_test(test_no_gdi_objects_left);
    run_test(test_one_reload_request);
    return TestSummary();
}
