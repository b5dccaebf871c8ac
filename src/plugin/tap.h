// Taps, the tap-and-hold menu and the launch action.
#pragma once
#include <windows.h>

#define IDM_RUN 100
#define IDM_OPTIONS 101
#define IDM_NEXT_ALARM 102

LRESULT OnItemButtonDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnItemButtonUp(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnTodayAction(HWND window);
// Shows the tap-and-hold menu at the stylus point (client coordinates) and
// runs the chosen command; FALSE when the menu cannot be created.
BOOL RunContextMenu(HWND window, POINT stylus);
