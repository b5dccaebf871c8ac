// Taps on the strip: a plain tap runs the user's action, a tap-and-hold
// opens the context menu ("Run...", "Options" and, on the bell, the time
// until the next alarm), and either takes the Today selection when the item
// manages its own.
#include "tap.h"
#include "handheld.h"
#include "itemwindow.h"
#include "module.h"
#include "settings.h"
#include "layout.h"
#include "fitgroup.h"
#include "fonts.h"
#include "alarm.h"
#include "options.h"
#include "resource.h"
#include "resstr.h"
#include "launch.h"


namespace {

// The item takes the selection itself after each press.
const DWORD ItemManagedSelection = 2;
const int AlarmLineChars = 100;

// Other resolutions give the item no height, so no tap reaches it; the
// 96 dpi box stands in there.
const BellShape *BellBoxFor(int dpi)
{
    const BellShape *box = BellShapeFor(dpi);
    return box ? box : BellShapeFor(96);
}

BOOL RecognizeTapAndHold(HWND window, POINT stylus)
{
    SHRGINFO info = {};
    info.cbSize = sizeof(info);
    info.hwndClient = window;
    info.ptDown = stylus;
    info.dwFlags = SHRG_RETURNCMD;
    return SHRecognizeGesture(&info) == GN_CONTEXTMENU;
}

// The bell box with a margin of three device pixels on every side; every
// edge belongs to it.
BOOL StylusOnBell(HWND window, POINT stylus)
{
    RECT item;
    ItemRect(window, &item);
    const BellShape *box = BellBoxFor(ClockLayout.DpiX);
    int mx = DeviceX(3), my = DeviceY(3);
    // Where the bell is drawn, after the group was fitted to the strip.
    int left = FittedBellLeft(item.right), top = ClockLayout.BellTop;
    return left - mx <= stylus.x && stylus.x <= left + box->Width + mx && top - my <= stylus.y &&
           stylus.y <= top + box->Height + my;
}

// Only an alarm that will ring gets a line.
void AppendAlarmLine(HMENU menu)
{
    WCHAR line[AlarmLineChars];
    if (!FormatNextAlarm(line))
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuW(menu, MF_STRING, IDM_NEXT_ALARM, line);
}

HMENU BuildContextMenu(HWND window, POINT stylus)
{
    HMENU menu = CreatePopupMenu();
    if (menu == NULL)
        return NULL;
    AppendMenuW(menu, MF_STRING, IDM_OPTIONS, LoadStringInPlace(ModuleInstance, IDS_OPTIONS_MENU));
    if (ClockSettings.TapAndHoldEnabled)
        InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, IDM_RUN, LoadStringInPlace(ModuleInstance, IDS_RUN));
    if (StylusOnBell(window, stylus) && ItemState.AlarmSet && ClockSettings.AlarmIconEnabled)
        AppendAlarmLine(menu);
    return menu;
}

// Runs the options host dialog modally; nothing happens when its template
// cannot be found or loaded.
void RunOptionsDialog()
{
    HRSRC resource = FindResourceW(ModuleInstance, MAKEINTRESOURCEW(IDD_OPTIONS_HOST), (LPCWSTR)RT_DIALOG);
    if (resource == NULL)
        return;
    HGLOBAL loaded = LoadResource(ModuleInstance, resource);
    if (loaded == NULL)
        return;
    const DLGTEMPLATE *dialog = (const DLGTEMPLATE *)LockResource(loaded);
    if (dialog == NULL)
        return;
    DialogBoxIndirectParamW(ModuleInstance, dialog, NULL, CustomItemOptionsDlgProc, 0);
}

// The user's action, launched as stored: the handheld has no environment,
// so a path stored as REG_EXPAND_SZ names no variables to expand.
void LaunchFileOnAction()
{
    LaunchAction(ClockSettings.FileOnAction);
}

void RunMenuCommand(UINT command)
{
    switch (command) {
    case IDM_RUN: LaunchFileOnAction(); break;
    case IDM_OPTIONS: RunOptionsDialog(); break;
    }
}

void TakeSelectionIfItemManaged(HWND window)
{
    if (Selectability == ItemManagedSelection)
        PostMessageW(GetParent(window), TODAYM_TOOKSELECTION, (WPARAM)window, 0);
}

} // namespace

// FALSE when the menu cannot be created.
BOOL RunContextMenu(HWND window, POINT stylus)
{
    HMENU menu = BuildContextMenu(window, stylus);
    if (menu == NULL)
        return FALSE;
    POINT screen = stylus;
    ClientToScreen(window, &screen);
    UINT command = (UINT)TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_CENTERALIGN, screen.x,
                                          screen.y, window, NULL);
    RunMenuCommand(command);
    DestroyMenu(menu);
    return TRUE;
}

LRESULT OnItemButtonDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    POINT stylus = {LOWORD(lParam), HIWORD(lParam)};
    if (RecognizeTapAndHold(window, stylus) && !RunContextMenu(window, stylus))
        return DefWindowProcW(window, message, wParam, lParam);
    TakeSelectionIfItemManaged(window);
    return 0;
}

LRESULT OnItemButtonUp(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (ClockSettings.TapAndHoldEnabled)
        return DefWindowProcW(window, message, wParam, lParam);
    if (ClockSettings.FileOnAction[0] != 0)
        LaunchFileOnAction();
    return 0;
}

LRESULT OnTodayAction(HWND)
{
    if (ClockSettings.FileOnAction[0] != 0)
        LaunchFileOnAction();
    return 0;
}
