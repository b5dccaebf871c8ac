// Taps, the tap-and-hold menu and the launch action. The menu, the shell's
// launcher and the modal options are replaced in this program's import table
// to read what the item asked for; taps are made as a user makes them, with
// SendInput at the cursor, so the gesture recogniser sees real input.
#include "testlib.h"
#include "iat.h"
#include "module.h"
#include "settings.h"
#include "itemwindow.h"
#include "layout.h"
#include "fonts.h"
#include "alarm.h"
#include "tap.h"
#include "today-standins.h"
#include "resource.h"
#include "fakehost.h"

#include <shellapi.h>

// ---- Replacements ----------------------------------------------------------------

struct MenuRecord {
    int Calls;
    int Count;
    UINT Ids[8];
    BOOL Separator[8];
    WCHAR Texts[8][64];
    UINT Flags;
    int X, Y;
    HWND Owner;
    UINT Answer;              // the command the "user" picks
};
static MenuRecord Menu;

static void PlayRelease();

// Like a real menu's modal loop, takes the release of a held button. The
// button as this thread's input stands (GetKeyState), which follows the
// messages it has taken whatever thread injected them.
static void EatButtonRelease()
{
    PlayRelease();
    if (GetKeyState(VK_LBUTTON) >= 0)
        return;
    DWORD start = GetTickCount();
    MSG msg;
    while (!PeekMessageW(&msg, NULL, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE) && GetTickCount() - start < 3000)
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_MOUSEBUTTON);
}

static BOOL WINAPI FakeTrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS)
{
    Menu.Calls++;
    Menu.Flags = flags;
    Menu.X = x;
    Menu.Y = y;
    Menu.Owner = owner;
    Menu.Count = GetMenuItemCount(menu);
    for (int i = 0; i < Menu.Count && i < 8; i++) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = Menu.Texts[i];
        info.cch = ARRAYSIZE(Menu.Texts[i]);
        Menu.Texts[i][0] = 0;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        Menu.Ids[i] = info.wID;
        Menu.Separator[i] = (info.fType & MFT_SEPARATOR) != 0;
    }
    EatButtonRelease();
    return (BOOL)Menu.Answer;
}

struct LaunchRecord {
    int Calls;
    WCHAR File[MAX_PATH];
    ULONG Mask;
    int Show;
    HWND Window;
    BOOL VerbNull, ParametersNull, DirectoryNull;
};
static LaunchRecord Launch;

static BOOL WINAPI FakeShellExecuteExW(SHELLEXECUTEINFOW *info)
{
    Launch.Calls++;
    lstrcpynW(Launch.File, info->lpFile ? info->lpFile : L"(null)", MAX_PATH);
    Launch.Mask = info->fMask;
    Launch.Show = info->nShow;
    Launch.Window = info->hwnd;
    Launch.VerbNull = info->lpVerb == NULL;
    Launch.ParametersNull = info->lpParameters == NULL;
    Launch.DirectoryNull = info->lpDirectory == NULL;
    return TRUE;
}

struct DialogRecord {
    int Calls;
    HINSTANCE Instance;
    LPCDLGTEMPLATEW Template;
    HWND Parent;
    BOOL HaveProcedure;
    LPARAM Parameter;
    BOOL SelectionAlreadyPosted;
};
static DialogRecord Dialog;

static INT_PTR WINAPI FakeDialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialog, HWND parent,
                                                  DLGPROC procedure, LPARAM parameter)
{
    Dialog.Calls++;
    Dialog.Instance = instance;
    Dialog.Template = dialog;
    Dialog.Parent = parent;
    Dialog.HaveProcedure = procedure != NULL;
    Dialog.Parameter = parameter;
    MSG msg;
    Dialog.SelectionAlreadyPosted =
        FakeHost.SelectionPosts > 0 ||
        PeekMessageW(&msg, FakeHost.Window, TODAYM_TOOKSELECTION, TODAYM_TOOKSELECTION, PM_NOREMOVE);
    return 0;
}

static SYSTEMTIME FakeNow;
static void WINAPI FakeGetLocalTime(SYSTEMTIME *time)
{
    *time = FakeNow;
}

// ---- The item ----------------------------------------------------------------------

// Button messages the item has finished handling.
static struct {
    LONG Downs, Ups;
} Handled;

static LRESULT CALLBACK ItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    switch (message) {
    case WM_LBUTTONDOWN:
        result = OnItemButtonDown(window, message, wParam, lParam);
        Handled.Downs++;
        return result;
    case WM_LBUTTONUP:
        result = OnItemButtonUp(window, message, wParam, lParam);
        Handled.Ups++;
        return result;
    case WM_TODAYCUSTOM_ACTION: return OnTodayAction(window);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static HWND Item;

// Wine warps the X pointer only while it is inside the virtual desktop's
// window, and takes the X pointer's place back a moment after SetCursorPos.
// On an Xvfb larger than the device screen the pointer starts outside; a
// short cursor clip confines it, which moves it in.
static void BringPointerOntoScreen()
{
    RECT clip = {1, 1, GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
    ClipCursor(&clip);
    Sleep(50);
    ClipCursor(NULL);
}

static void CreateItem()
{
    CreateFakeHost();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ItemProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"TapTestItem";
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    RegisterClassW(&wc);
    // As wide as the host, as the host sizes its items.
    Item = CreateWindowExW(0, wc.lpszClassName, L"item", WS_CHILD | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN), 80,
                           FakeHost.Window,
                           NULL, wc.hInstance, NULL);
    ItemState.Window = Item;
    SetForegroundWindow(FakeHost.Window);
    PumpMessages(100);
    BringPointerOntoScreen();
}

static void ResetRecords()
{
    Menu = MenuRecord();
    Launch = LaunchRecord();
    Dialog = DialogRecord();
    FakeHost.SelectionPosts = 0;
}

// The bell at 100,10 from the left edge of a 200-pixel time group.
static void PlaceBell(int dpi)
{
    ClockLayout.BellLeft = 100;
    ClockLayout.BellTop = 10;
    ClockLayout.TimeWidth = 200;
    ClockLayout.DpiX = dpi;
}

static int TimeGroupOffset()
{
    RECT rect;
    ItemRect(Item, &rect);
    return (rect.right - ClockLayout.TimeWidth) / 2;
}

static POINT BellCentre()
{
    POINT p = {ClockLayout.BellLeft + TimeGroupOffset() + 5, ClockLayout.BellTop + 6};
    return p;
}

static void ShowMenuAt(int x, int y)
{
    Menu.Calls = 0;
    Menu.Count = 0;
    POINT p = {x, y};
    ok(RunContextMenu(Item, p), "menu shown");
}

// ---- Real input ------------------------------------------------------------------
//
// Every event carries its absolute position, so a press lands where it is
// meant to even if the cursor was moved back in between (see PlaceCursor).

static void SendMouse(DWORD flags, POINT screen)
{
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (screen.x * 65536 + w - 1) / w;
    input.mi.dy = (screen.y * 65536 + h - 1) / h;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
}

static POINT ScreenPoint(int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(Item, &p);
    return p;
}

// Input is played from this thread, the item window's own, at points the
// gesture reaches rather than at times: input injected from another thread
// can leave the button's asynchronous state behind the window's for a
// while, and a script timed on another thread depends on the machine's
// pace. The moves are played when the recogniser first waits for input;
// the release once it has decided (when the menu takes it, or when the
// press has been handled).
//
// Wine's X11 driver reports the X pointer's position of an earlier warp a
// moment later, whenever the X server's event comes: merged with a queued
// move, the stylus seems back where it was pressed and a move away is never
// seen (7 of 60 presses); arriving on its own during a hold, it is a move
// the user never made (1 of 50 runs). While a script plays, a move to a
// place the script never went is taken out of the queue before the item
// sees it, and each time the recogniser waits again, a cursor found
// elsewhere than the script's last move is moved there again.
struct InputScript {
    POINT Moves[2];           // client coordinates of the item
    int MoveCount;
    POINT Release;
    BOOL MovesPending;
    BOOL ReleasePending;
};
static InputScript *Playing;

typedef DWORD(WINAPI *MsgWaitExFunction)(DWORD, const HANDLE *, DWORD, DWORD, DWORD);
static MsgWaitExFunction RealMsgWaitEx;

typedef BOOL(WINAPI *PeekMessageFunction)(MSG *, HWND, UINT, UINT, UINT);
static PeekMessageFunction RealPeekMessageW;
static POINT PlayingPress;    // client coordinates of the item

static BOOL SamePoint(POINT screen, POINT client)
{
    POINT p = ScreenPoint(client.x, client.y);
    return p.x == screen.x && p.y == screen.y;
}

// A move to the press or to one of the script's moves.
static BOOL ScriptedMove(POINT screen)
{
    if (SamePoint(screen, PlayingPress))
        return TRUE;
    for (int i = 0; i < Playing->MoveCount; i++)
        if (SamePoint(screen, Playing->Moves[i]))
            return TRUE;
    return FALSE;
}

// Every PeekMessageW of this program, the item's included.
static BOOL WINAPI PlayingPeekMessageW(MSG *msg, HWND window, UINT first, UINT last, UINT flags)
{
    for (;;) {
        BOOL got = RealPeekMessageW(msg, window, first, last, flags);
        if (!got || Playing == NULL || msg->message != WM_MOUSEMOVE || ScriptedMove(msg->pt))
            return got;
        // Queued moves are merged into one: this is the one to take away.
        if (!(flags & PM_REMOVE))
            RealPeekMessageW(msg, window, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
    }
}

static BOOL CursorAt(POINT screen)
{
    POINT now;
    GetCursorPos(&now);
    return now.x == screen.x && now.y == screen.y;
}

// The recogniser's wait for input (the only MsgWaitForMultipleObjectsEx
// of the item's code).
static DWORD WINAPI PlayingMsgWaitEx(DWORD count, const HANDLE *handles, DWORD ms, DWORD wake, DWORD flags)
{
    if (Playing && Playing->MoveCount > 0) {
        POINT last = Playing->Moves[Playing->MoveCount - 1];
        POINT lastOnScreen = ScreenPoint(last.x, last.y);
        if (Playing->MovesPending) {
            Playing->MovesPending = FALSE;
            for (int i = 0; i < Playing->MoveCount; i++)
                SendMouse(0, ScreenPoint(Playing->Moves[i].x, Playing->Moves[i].y));
        } else if (!CursorAt(lastOnScreen)) {
            SendMouse(0, lastOnScreen);
        }
    }
    return RealMsgWaitEx(count, handles, ms, wake, flags);
}

static void PlayRelease()
{
    if (Playing == NULL || !Playing->ReleasePending)
        return;
    Playing->ReleasePending = FALSE;
    SendMouse(MOUSEEVENTF_LEFTUP, ScreenPoint(Playing->Release.x, Playing->Release.y));
}

// Wine takes the X pointer's position back a moment after each cursor
// change, and pointer events of earlier warps can still be on their way:
// warp until the cursor stays put, then drop the moves that led there.
static void PlaceCursor(int x, int y)
{
    POINT target = ScreenPoint(x, y);
    for (int i = 0; i < 5; i++) {
        SetCursorPos(target.x, target.y);
        PumpMessages(120);
        POINT now;
        GetCursorPos(&now);
        if (now.x == target.x && now.y == target.y)
            break;
    }
    MSG msg;
    while (PeekMessageW(&msg, NULL, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE))
        ;
}

// A tap ends when the item has handled the button's release; what that
// posted is handled too.
static void Tap(int x, int y)
{
    PlaceCursor(x, y);
    LONG ups = Handled.Ups;
    SendMouse(MOUSEEVENTF_LEFTDOWN, ScreenPoint(x, y));
    SendMouse(MOUSEEVENTF_LEFTUP, ScreenPoint(x, y));
    ok(PumpUntil([&] { return Handled.Ups > ups; }), "the tap at %d,%d never ended", x, y);
    PumpPending();
}

// A touch driver's press: the pen lands (a move to the point), then the
// button goes down a moment later.
static DWORD WINAPI PressFromDriver(LPVOID point)
{
    SendMouse(0, *(POINT *)point);
    Sleep(20);
    SendMouse(MOUSEEVENTF_LEFTDOWN, *(POINT *)point);
    return 0;
}

// Presses at (x, y) and plays the script until the item has handled the
// press and, unless a menu took it, the release. `driverThread`: the press
// comes from another thread, as a touch driver's does.
static void PressAndPlay(int x, int y, InputScript *script, BOOL driverThread = FALSE)
{
    PlaceCursor(x, y);
    LONG downs = Handled.Downs, ups = Handled.Ups;
    script->MovesPending = script->MoveCount > 0;
    script->ReleasePending = TRUE;
    PlayingPress.x = x;
    PlayingPress.y = y;
    Playing = script;
    POINT press = ScreenPoint(x, y);
    if (driverThread) {
        // The window's thread has looked at the button just before, as a
        // shell's thread may at any time.
        GetAsyncKeyState(VK_LBUTTON);
        HANDLE driver = CreateThread(NULL, 0, PressFromDriver, &press, 0, NULL);
        WaitForSingleObject(driver, INFINITE);
        CloseHandle(driver);
    } else {
        SendMouse(MOUSEEVENTF_LEFTDOWN, press);
    }
    ok(PumpUntil([&] { return Handled.Downs > downs; }), "the press at %d,%d never ended", x, y);
    ok(!script->MovesPending, "the recogniser never waited for the moves at %d,%d", x, y);
    if (script->ReleasePending) {
        PlayRelease();
        ok(PumpUntil([&] { return Handled.Ups > ups; }), "the release at %d,%d never arrived", x, y);
    }
    Playing = NULL;
    PumpPending();
}

static void Hold(int x, int y)
{
    InputScript script = {{}, 0, {x, y}, FALSE, FALSE};
    PressAndPlay(x, y, &script);
}

// ---- Tests -----------------------------------------------------------------------------

struct MenuCase {
    DWORD TapAndHold, AlarmSet, AlarmIcon, OnBell;
};

static void CheckMenu(const MenuCase *c, const WCHAR *alarmLine)
{
    int n = 0;
    UINT ids[4];
    BOOL separators[4] = {};
    if (c->TapAndHold)
        ids[n++] = IDM_RUN;
    ids[n++] = IDM_OPTIONS;
    BOOL alarm = c->AlarmSet && c->AlarmIcon && c->OnBell;
    if (alarm) {
        separators[n] = TRUE;
        ids[n++] = 0;
        ids[n++] = IDM_NEXT_ALARM;
    }
    ok(Menu.Count == n, "case %lu%lu%lu%lu: %d items, expected %d", c->TapAndHold, c->AlarmSet, c->AlarmIcon,
       c->OnBell, Menu.Count, n);
    for (int i = 0; i < n && i < Menu.Count; i++) {
        ok(Menu.Separator[i] == separators[i], "case %lu%lu%lu%lu item %d separator %d", c->TapAndHold,
           c->AlarmSet, c->AlarmIcon, c->OnBell, i, Menu.Separator[i]);
        if (separators[i])
            continue;
        ok(Menu.Ids[i] == ids[i], "case %lu%lu%lu%lu item %d id %u, expected %u", c->TapAndHold, c->AlarmSet,
           c->AlarmIcon, c->OnBell, i, Menu.Ids[i], ids[i]);
        const WCHAR *text = ids[i] == IDM_RUN ? L"Run..." : ids[i] == IDM_OPTIONS ? L"Options" : alarmLine;
        ok(lstrcmpW(Menu.Texts[i], text) == 0, "item %d text \"%ls\", expected \"%ls\"", i, Menu.Texts[i], text);
    }
}

static const WCHAR AlarmKey[] = L"Software\\Microsoft\\Clock\\0";

// Alarm 0 switched on, every day at 07:00, or with the days given.
static void SetAlarm(BYTE flags, BYTE days = 0x7F)
{
    WORD time = 7 * 60;
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmFlags", &flags, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmDays", &days, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmTime", &time, 2);
}

static void test_menu_items_for_each_combination()
{
    PlaceBell(96);
    SetAlarm(1);
    WCHAR alarmLine[NEXT_ALARM_CHARS];
    FormatNextAlarm(alarmLine);
    ok(wcsncmp(alarmLine, L"Next Alarm in", 13) == 0, "alarm line \"%ls\"", alarmLine);
    POINT bell = BellCentre();
    for (int bits = 0; bits < 16; bits++) {
        MenuCase c = {(DWORD)(bits & 1), (DWORD)((bits >> 1) & 1), (DWORD)((bits >> 2) & 1), (DWORD)((bits >> 3) & 1)};
        ClockSettings.TapAndHoldEnabled = c.TapAndHold;
        ItemState.AlarmSet = c.AlarmSet;
        ClockSettings.AlarmIconEnabled = c.AlarmIcon;
        Menu.Answer = 0;
        if (c.OnBell)
            ShowMenuAt(bell.x, bell.y);
        else
            ShowMenuAt(10, 70);
        CheckMenu(&c, alarmLine);
    }
    // Where and how the menu is shown.
    POINT screen = ScreenPoint(bell.x, bell.y);
    ok_int(Menu.Flags, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_CENTERALIGN);
    ok_int(Menu.Flags, 0x124);
    ok_int(Menu.X, screen.x);
    ok_int(Menu.Y, screen.y);
    ok(Menu.Owner == Item, "menu owned by the item");

    // An alarm that names no weekday never rings: no line promises it,
    // whatever the bell state last said.
    SetAlarm(1, 0x80);
    ClockSettings.TapAndHoldEnabled = 0;
    ItemState.AlarmSet = 1;
    ClockSettings.AlarmIconEnabled = 1;
    ShowMenuAt(bell.x, bell.y);
    ok_int(Menu.Count, 1);
    SetAlarm(1);
}

// TRUE when the menu at (x, y) has the alarm line.
static BOOL AlarmLineAt(int x, int y)
{
    ShowMenuAt(x, y);
    return Menu.Count > 0 && Menu.Ids[Menu.Count - 1] == IDM_NEXT_ALARM;
}

// The tap target reaches X(3) and Y(3) beyond the bell's box: 3 pixels on
// a 96-dpi screen, 4 at 128, 6 at 192.
static int TargetMargin()
{
    switch (ScreenLogPixelsX()) {
    case 96: return 3;
    case 128: return 4;
    case 192: return 6;
    }
    return -1000;
}

static void CheckBellEdges(int dpi, int width, int height)
{
    PlaceBell(dpi);
    int mx = TargetMargin(), my = TargetMargin();
    int left = ClockLayout.BellLeft + TimeGroupOffset() - mx, right = ClockLayout.BellLeft + TimeGroupOffset() + width + mx;
    int top = ClockLayout.BellTop - my, bottom = ClockLayout.BellTop + height + my;
    int midX = (left + right) / 2, midY = (top + bottom) / 2;
    ok(AlarmLineAt(left, midY), "%d dpi: left edge %d is on the bell", dpi, left);
    ok(!AlarmLineAt(left - 1, midY), "%d dpi: one pixel left of the edge is not", dpi);
    ok(AlarmLineAt(right, midY), "%d dpi: right edge %d is on the bell", dpi, right);
    ok(!AlarmLineAt(right + 1, midY), "%d dpi: one pixel right of the edge is not", dpi);
    ok(AlarmLineAt(midX, top), "%d dpi: top edge %d is on the bell", dpi, top);
    ok(!AlarmLineAt(midX, top - 1), "%d dpi: one pixel above is not", dpi);
    ok(AlarmLineAt(midX, bottom), "%d dpi: bottom edge %d is on the bell", dpi, bottom);
    ok(!AlarmLineAt(midX, bottom + 1), "%d dpi: one pixel below is not", dpi);
    ok(AlarmLineAt(left, top) && AlarmLineAt(right, bottom), "%d dpi: corners are on the bell", dpi);
}

static void test_bell_box_edges()
{
    ClockSettings.TapAndHoldEnabled = 0;
    ItemState.AlarmSet = 1;
    ClockSettings.AlarmIconEnabled = 1;
    Menu.Answer = 0;
    CheckBellEdges(96, 11, 12);
    CheckBellEdges(128, 15, 14);
    CheckBellEdges(192, 20, 23);
    PlaceBell(96);
}

static void test_menu_commands()
{
    PlaceBell(96);
    ClockSettings.TapAndHoldEnabled = 1;
    lstrcpyW(ClockSettings.FileOnAction, L"\\My Documents\\notes.txt");
    Selectability = 0;

    ResetRecords();
    Menu.Answer = IDM_RUN;
    ShowMenuAt(10, 70);
    ok_int(Launch.Calls, 1);
    ok_wstr(Launch.File, L"\\My Documents\\notes.txt");
    ok_int(Launch.Show, SW_SHOWNORMAL);
    ok_int(Launch.Mask, SEE_MASK_FLAG_NO_UI);
    ok(Launch.Window == NULL && Launch.VerbNull && Launch.ParametersNull && Launch.DirectoryNull,
       "no window, verb, parameters or directory");
    ok_int(Dialog.Calls, 0);

    // "Run..." launches even an empty path; the shell's failure is ignored.
    ResetRecords();
    ClockSettings.FileOnAction[0] = 0;
    Menu.Answer = IDM_RUN;
    ShowMenuAt(10, 70);
    ok_int(Launch.Calls, 1);
    ok_wstr(Launch.File, L"");

    ResetRecords();
    Menu.Answer = IDM_OPTIONS;
    ShowMenuAt(10, 70);
    ok_int(Dialog.Calls, 1);
    ok_int(Launch.Calls, 0);
    HRSRC resource = FindResourceW(ModuleInstance, MAKEINTRESOURCEW(IDD_OPTIONS_HOST), (LPCWSTR)RT_DIALOG);
    const void *dialog = resource ? LockResource(LoadResource(ModuleInstance, resource)) : NULL;
    ok(Dialog.Template == dialog && dialog != NULL, "dialog 500 of the module");
    ok(Dialog.Instance == ModuleInstance, "module instance");
    ok(Dialog.Parent == NULL, "no parent window");
    ok(Dialog.HaveProcedure, "a dialog procedure");
    ok_int(Dialog.Parameter, 0);

    ResetRecords();
    Menu.Answer = IDM_NEXT_ALARM;
    ShowMenuAt(10, 70);
    Menu.Answer = 0;
    ShowMenuAt(10, 70);
    ok(Launch.Calls == 0 && Dialog.Calls == 0, "the alarm line and dismissal do nothing");
    ok_int(FakeHost.SelectionPosts, 0);
}

static void test_today_action()
{
    ResetRecords();
    lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
    for (DWORD tapAndHold = 0; tapAndHold < 2; tapAndHold++) {
        ClockSettings.TapAndHoldEnabled = tapAndHold;
        ok_int(SendMessageW(Item, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0), 0);
    }
    ok_int(Launch.Calls, 2);
    ok_wstr(Launch.File, CLOCK_PROGRAM);
    ClockSettings.FileOnAction[0] = 0;
    ok_int(SendMessageW(Item, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0), 0);
    ok_int(Launch.Calls, 2);
}

// The handheld has no environment: a path runs as stored, whether it is
// stored as REG_EXPAND_SZ or as REG_SZ, even where the desktop would have
// a variable of its name.
static void test_action_path_with_variables()
{
    SetEnvironmentVariableW(L"QZL_TEST_DOCS", L"C:\\Docs");
    const WCHAR *stored = L"%QZL_TEST_DOCS%\\Notes.lnk";
    const DWORD types[2] = {REG_EXPAND_SZ, REG_SZ};
    for (int i = 0; i < 2; i++) {
        ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
        RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"FileOnAction", types[i], stored,
                        (DWORD)(lstrlenW(stored) + 1) * sizeof(WCHAR));
        LoadSettingsAtAttach();
        ResetRecords();
        ClockSettings.TapAndHoldEnabled = 0;
        SendMessageW(Item, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
        ok_int(Launch.Calls, 1);
        ok(wcscmp(Launch.File, L"%QZL_TEST_DOCS%\\Notes.lnk") == 0, "type %lu: launched \"%ls\"", types[i],
           Launch.File);
    }
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    LoadSettingsAtAttach();
}

static void test_plain_taps()
{
    lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
    Selectability = 2;

    ResetRecords();
    ClockSettings.TapAndHoldEnabled = 0;
    Tap(120, 40);
    ok_int(Menu.Calls, 0);
    ok_int(Launch.Calls, 1);
    ok_wstr(Launch.File, CLOCK_PROGRAM);
    ok_int(FakeHost.SelectionPosts, 1);

    // The action has moved to the menu: a tap launches nothing.
    ResetRecords();
    ClockSettings.TapAndHoldEnabled = 1;
    Tap(120, 40);
    ok_int(Menu.Calls, 0);
    ok_int(Launch.Calls, 0);
    ok_int(FakeHost.SelectionPosts, 1);

    // No action set: nothing to launch; the selection is still taken.
    ResetRecords();
    ClockSettings.TapAndHoldEnabled = 0;
    ClockSettings.FileOnAction[0] = 0;
    Tap(120, 40);
    ok_int(Launch.Calls, 0);
    ok_int(FakeHost.SelectionPosts, 1);

    // The host manages the selection: never posted.
    ResetRecords();
    lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
    Selectability = 1;
    Tap(120, 40);
    ok_int(Launch.Calls, 1);
    ok_int(FakeHost.SelectionPosts, 0);
    Selectability = 0;
    Tap(120, 40);
    ok_int(FakeHost.SelectionPosts, 0);

    // A button-down that was sent, not pressed, is a tap.
    ResetRecords();
    Selectability = 2;
    ok_int(SendMessageW(Item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 40)), 0);
    ok_int(Menu.Calls, 0);
    PumpPending();
    ok_int(FakeHost.SelectionPosts, 1);
}

static void test_tap_and_hold()
{
    lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
    Selectability = 2;
    ItemState.AlarmSet = 0;

    ResetRecords();
    ClockSettings.TapAndHoldEnabled = 1;
    Menu.Answer = IDM_RUN;
    Hold(120, 40);
    ok_int(Menu.Calls, 1);
    ok(Menu.Count == 2 && Menu.Ids[0] == IDM_RUN && Menu.Ids[1] == IDM_OPTIONS, "Run... first, then Options");
    ok_int(Launch.Calls, 1);
    ok_int(FakeHost.SelectionPosts, 1);

    ResetRecords();
    ClockSettings.TapAndHoldEnabled = 0;
    Menu.Answer = 0;
    Hold(120, 40);
    ok_int(Menu.Calls, 1);
    ok(Menu.Count == 1 && Menu.Ids[0] == IDM_OPTIONS, "Options only");
    ok_int(Launch.Calls, 0);
    ok_int(FakeHost.SelectionPosts, 1);

    // Held on the bell with an alarm set.
    ResetRecords();
    PlaceBell(96);
    ItemState.AlarmSet = 1;
    ClockSettings.AlarmIconEnabled = 1;
    POINT bell = BellCentre();
    Hold(bell.x, bell.y);
    ok_int(Menu.Calls, 1);
    ok(Menu.Count == 3 && Menu.Separator[1] && Menu.Ids[2] == IDM_NEXT_ALARM, "alarm line after a separator");
    ItemState.AlarmSet = 0;
}

static void test_options_before_selection()
{
    ResetRecords();
    Selectability = 2;
    ClockSettings.TapAndHoldEnabled = 0;
    Menu.Answer = IDM_OPTIONS;
    Hold(120, 40);
    ok_int(Dialog.Calls, 1);
    ok(!Dialog.SelectionAlreadyPosted, "no selection post while the options are open");
    ok_int(FakeHost.SelectionPosts, 1);
}

static void test_moving_is_not_holding()
{
    ResetRecords();
    lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
    ClockSettings.TapAndHoldEnabled = 0;
    Selectability = 2;
    InputScript script = {{{150, 40}}, 1, {150, 40}, FALSE, FALSE};
    PressAndPlay(120, 40, &script);
    ok_int(Menu.Calls, 0);
    ok_int(FakeHost.SelectionPosts, 1);

    // A wobble within the drag tolerance still holds.
    ResetRecords();
    Menu.Answer = 0;
    InputScript wobble = {{{121, 41}}, 1, {121, 41}, FALSE, FALSE};
    PressAndPlay(120, 40, &wobble);
    ok_int(Menu.Calls, 1);

    // Pressed by another thread, as a touch driver injects it: the button
    // is read as the window's input has it, and the hold is seen.
    ResetRecords();
    InputScript still = {{}, 0, {120, 40}, FALSE, FALSE};
    PressAndPlay(120, 40, &still, TRUE);
    ok_int(Menu.Calls, 1);
}

static HMENU WINAPI FailingCreatePopupMenu()
{
    return NULL;
}

static void test_menu_cannot_be_created()
{
    ResetRecords();
    Selectability = 2;
    ClockSettings.TapAndHoldEnabled = 0;
    lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
    void *original = NULL;
    ReplaceImport(GetModuleHandleW(NULL), NULL, "CreatePopupMenu", (void *)FailingCreatePopupMenu, &original);
    POINT p = {10, 10};
    ok(!RunContextMenu(Item, p), "no menu");
    // A hold then falls to default processing and takes no selection.
    Hold(120, 40);
    ok_int(Menu.Calls, 0);
    ok_int(FakeHost.SelectionPosts, 0);
    ReplaceImport(GetModuleHandleW(NULL), NULL, "CreatePopupMenu", original, NULL);
}

static void test_options_template_missing()
{
    // A module without the dialog: nothing is shown.
    ResetRecords();
    HINSTANCE own = ModuleInstance;
    ModuleInstance = GetModuleHandleW(L"kernel32.dll");
    Menu.Answer = IDM_OPTIONS;
    ShowMenuAt(10, 70);
    ok_int(Menu.Calls, 1);
    ok_int(Dialog.Calls, 0);
    ModuleInstance = own;
}

int main()
{
    ModuleInstance = GetModuleHandleW(NULL);
    HMODULE self = GetModuleHandleW(NULL);
    ok(ReplaceImport(self, NULL, "TrackPopupMenuEx", (void *)FakeTrackPopupMenuEx, NULL) > 0, "menu replaced");
    ok(ReplaceImport(self, NULL, "ShellExecuteExW", (void *)FakeShellExecuteExW, NULL) > 0, "launcher replaced");
    ok(ReplaceImport(self, NULL, "DialogBoxIndirectParamW", (void *)FakeDialogBoxIndirectParamW, NULL) > 0,
       "dialog replaced");
    ok(ReplaceImport(self, NULL, "PeekMessageW", (void *)PlayingPeekMessageW, (void **)&RealPeekMessageW) > 0,
       "message peeks replaced");
    ok(ReplaceImport(self, NULL, "MsgWaitForMultipleObjectsEx", (void *)PlayingMsgWaitEx, (void **)&RealMsgWaitEx) > 0,
       "the recogniser's wait replaced");
    FakeNow = SYSTEMTIME();
    FakeNow.wYear = 2024;
    FakeNow.wMonth = 3;
    FakeNow.wDay = 15;
    FakeNow.wDayOfWeek = 5;
    FakeNow.wHour = 9;
    ReplaceImport(self, NULL, "GetLocalTime", (void *)FakeGetLocalTime, NULL);
    CreateItem();
    run_test(test_menu_items_for_each_combination);
    run_test(test_bell_box_edges);
    run_test(test_menu_commands);
    run_test(test_today_action);
    run_test(test_action_path_with_variables);
    run_test(test_plain_taps);
    run_test(test_tap_and_hold);
    run_test(test_options_before_selection);
    run_test(test_moving_is_not_holding);
    run_test(test_menu_cannot_be_created);
    run_test(test_options_template_missing);
    SetAlarm(0, 0x1F);
    DestroyWindow(Item);
    DestroyFakeHost();
    return TestSummary();
}
