// The handheld's property sheet as the options use it. On the handheld,
// PSH_MAXIMIZE makes the sheet fill the screen with an OK button only (no
// cancel path). Desktop comctl32 reads the same bit, 0x2000, as the wizard
// flag, so the options open their sheet with this stand-in instead of
// PropertySheetW: it takes the flag away and gives the sheet the
// handheld's shape once it exists.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#define PSH_MAXIMIZE 0x00002000
#define PSCB_GETVERSION 3

INT_PTR WINAPI HandheldPropertySheetW(LPCPROPSHEETHEADERW header);

// Fills the screen with the sheet: OK alone at the bottom right, the tabs
// in one row along the bottom as on the handheld, and every page as wide as
// the screen. Run for a sheet that asked for PSH_MAXIMIZE when it sends
// PSCB_INITIALIZED, before its first page is created.
void FitSheetToScreen(HWND sheet);
