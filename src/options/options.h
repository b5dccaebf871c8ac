// The options: host dialog 500 and the eight-page property sheet.
#pragma once
#include <windows.h>

extern "C" BOOL CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
