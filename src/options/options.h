// The options: host dialog 500 and the eight-page property sheet.
#pragma once
#include <windows.h>

#define OPTIONS_PAGE_COUNT 8

// Page indexes: each page's lParam, its PageWindows slot and the argument
// its procedure passes to PaintPageHeader.
enum OptionsPage {
    GeneralPage,
    DayDatePage,
    TimePage,
    FontSizePage,
    ColorPage,
    BackgroundPage,
    ClearTypePage,
    AboutPage,
};

struct OptionsSheetRecord {
    // Each page's window once its tab was first shown; null for pages not
    // yet opened. Cleared when the sheet opens, not when a page goes.
    HWND PageWindows[OPTIONS_PAGE_COUNT];
    // Page release notifications since the sheet opened.
    LONG ReleasedPages;
    // The sheet window, while it exists.
    HWND Window;
    WNDPROC SheetWindowProc;
    // The pages were saved in this opening.
    BOOL Saved;
    // A sheet is running: a second request brings it forward instead.
    BOOL Open;
};
extern OptionsSheetRecord OptionsSheet;

// INT_PTR, not the handheld's BOOL: a 64-bit dialog manager reads the whole
// register of the result.
extern "C" INT_PTR CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the modal sheet; returns 0 after it has closed and released its
// pages. While a sheet is open, brings that one forward and opens nothing.
int ShowOptionsSheet(HWND host);
int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
UINT CALLBACK PageCallback(HWND window, UINT message, struct _PROPSHEETPAGEW *page);

// Saves every opened page, then writes the reload marker. Returns the
// result of closing the settings key, or the registry's error when the key
// does not open for writing (nothing is saved then).
LONG SaveAllPages();
