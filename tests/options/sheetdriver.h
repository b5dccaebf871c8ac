// Driving the options sheet as a user would, from a timer that fires while
// the modal sheet runs on this thread.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Runs the options the way the Today settings open them (dialog 500 with
// export 241's procedure) and calls `act` with the sheet window once it is
// up. `act` ends by closing the sheet (PressOk, or any other way); a sheet
// still open after a few seconds is closed and *timedOut set.
typedef void (*SheetAction)(HWND sheet);
void RunOptions(HINSTANCE module, DLGPROC procedure, SheetAction act, BOOL *timedOut);

// Shows page `index` (creating it the first time) and returns its window.
HWND ShowPage(HWND sheet, int index);
void PressOk(HWND sheet);
// Clicks a button as the user would: BM_CLICK.
void Click(HWND page, int id);
// Types a text over the whole content of an edit, key by key.
void TypeText(HWND page, int id, const WCHAR *text);
// Types one character at the caret.
void TypeChar(HWND page, int id, WCHAR c);
// Presses the up-down's arrow: +1 right/up, -1 left/down.
void PressArrow(HWND page, int edit, int direction);
// Moves a track bar as a user dragging it would (TBM_SETPOS and the
// parent's WM_HSCROLL).
void MoveTrackBar(HWND page, int id, int position);
// Chooses combo-box entry `index` and closes the list.
void ChooseListEntry(HWND page, int id, int index);
BOOL IsChecked(HWND page, int id);
BOOL IsEnabled(HWND page, int id);
// _wtol of a control's text.
long ControlNumber(HWND page, int id);
