#include "sheetdriver.h"
#include <stdlib.h>
#include <stdio.h>

namespace {

struct DriverRecord {
    SheetAction Act;
    BOOL *TimedOut;
    UINT_PTR StartTimer, GuardTimer;
    BOOL Acted;
    BOOL Closed;              // the guard has asked the sheet to close
    BOOL Quit;                // ... and then ended the modal loops
};

// A sheet still open this long is asked to close; one that is still open
// a little later (it cannot close, or a second one opened over it) has its
// modal loops ended, so that a test fails within seconds rather than
// running into its time limit.
const UINT GuardMs = 8000;
const UINT LastGuardMs = 2000;
DriverRecord Driver;

BOOL CALLBACK FindSheetWindow(HWND window, LPARAM result)
{
    if (IsWindowVisible(window) && GetDlgItem(window, 0x3020) != NULL) {
        *(HWND *)result = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSheet()
{
    HWND sheet = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindSheetWindow, (LPARAM)&sheet);
    return sheet;
}

void CALLBACK GuardTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(NULL, id);
    Driver.GuardTimer = 0;
    HWND sheet = FindSheet();
    if (sheet == NULL)
        return;
    if (Driver.TimedOut)
        *Driver.TimedOut = TRUE;
    if (!Driver.Closed) {
        Driver.Closed = TRUE;
        PostMessageW(sheet, WM_CLOSE, 0, 0);
        Driver.GuardTimer = SetTimer(NULL, 0, LastGuardMs, GuardTimerProc);
        return;
    }
    printf("the sheet did not close when asked; its modal loops are ended\n");
    Driver.Quit = TRUE;
    PostQuitMessage(0);
}

void CALLBACK StartTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND sheet = FindSheet();
    if (sheet == NULL || Driver.Acted)
        return;
    KillTimer(NULL, id);
    Driver.StartTimer = 0;
    Driver.Acted = TRUE;
    Driver.Act(sheet);
}

} // namespace

void RunOptions(HINSTANCE module, DLGPROC procedure, SheetAction act, BOOL *timedOut)
{
    Driver = DriverRecord();
    Driver.Act = act;
    Driver.TimedOut = timedOut;
    if (timedOut)
        *timedOut = FALSE;
    Driver.StartTimer = SetTimer(NULL, 0, 10, StartTimerProc);
    Driver.GuardTimer = SetTimer(NULL, 0, GuardMs, GuardTimerProc);
    INT_PTR r = DialogBoxParamW(module, MAKEINTRESOURCEW(500), NULL, procedure, 0);
    if (r <= 0) printf("DialogBoxParamW %lld error %lu\n", (long long)r, GetLastError());
    if (Driver.StartTimer)
        KillTimer(NULL, Driver.StartTimer);
    if (Driver.GuardTimer)
        KillTimer(NULL, Driver.GuardTimer);
    // The quit that ended the loops is taken, so that it ends nothing else.
    MSG msg;
    if (Driver.Quit)
        PeekMessageW(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
}

HWND ShowPage(HWND sheet, int index)
{
    SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    return (HWND)SendMessageW(sheet, PSM_INDEXTOHWND, index, 0);
}

void PressOk(HWND sheet)
{
    SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
}

void Click(HWND page, int id)
{
    SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
}

void TypeText(HWND page, int id, const WCHAR *text)
{
    // The first key replaces the selection, as when the user types over
    // it; an empty text is typed as a Backspace over the selection.
    HWND edit = GetDlgItem(page, id);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    if (text[0] == 0)
        SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    for (const WCHAR *c = text; *c; c++)
        SendMessageW(edit, WM_CHAR, *c, 1);
}

void TypeChar(HWND page, int id, WCHAR c)
{
    SendDlgItemMessageW(page, id, WM_CHAR, c, 1);
}

void PressArrow(HWND page, int edit, int direction)
{
    // The up-downs take arrow keys in their buddy edit.
    HWND control = GetDlgItem(page, edit);
    WPARAM key = direction > 0 ? VK_UP : VK_DOWN;
    SendMessageW(control, WM_KEYDOWN, key, 1);
    SendMessageW(control, WM_KEYUP, key, 0xC0000001);
}

void MoveTrackBar(HWND page, int id, int position)
{
    HWND bar = GetDlgItem(page, id);
    SendMessageW(bar, TBM_SETPOS, TRUE, position);
    SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), (LPARAM)bar);
}

void ChooseListEntry(HWND page, int id, int index)
{
    HWND list = GetDlgItem(page, id);
    SendMessageW(list, CB_SETCURSEL, index, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)list);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_CLOSEUP), (LPARAM)list);
}

BOOL IsChecked(HWND page, int id)
{
    return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

BOOL IsEnabled(HWND page, int id)
{
    return IsWindowEnabled(GetDlgItem(page, id));
}

long ControlNumber(HWND page, int id)
{
    WCHAR text[32] = L"";
    GetDlgItemTextW(page, id, text, ARRAYSIZE(text));
    return _wtol(text);
}
