// What the options pages share: their procedures and save routines, the
// header painter, the 40 % marker test and small control helpers.
#pragma once
#include <windows.h>
#include "options.h"
#include "resource.h"

// Page procedures and save routines, in page order.
INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DayDatePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TimePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FontSizePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ColorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BackgroundPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ClearTypePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

void SaveGeneralPage(HWND page, HKEY key);
void SaveDayDatePage(HWND page, HKEY key);
void SaveTimePage(HWND page, HKEY key);
void SaveFontSizePage(HWND page, HKEY key);
void SaveColorPage(HWND page, HKEY key);
void SaveBackgroundPage(HWND page, HKEY key);
void SaveClearTypePage(HWND page, HKEY key);

// ---- Page header --------------------------------------------------------
// Paints the title band of page `index` (with its own BeginPaint and
// EndPaint); hands the page's heading fonts to its heading controls when
// they could not be made as the page opened.
int PaintPageHeader(HWND page, int index);
// Makes the heading fonts of page `index` and gives them to its heading
// controls, as the header painter does; the page's texts are fitted in
// them before its first paint.
void GivePageFonts(HWND page, int index);
// The heading font given to control `id` of page `index`, or null for a
// control that keeps the page's font.
HFONT GivenHeadingFont(int index, int id);
// Deletes the heading fonts of page `index`; run when the page window is
// gone together with every control that drew with them.
void ReleasePageFonts(int index);

struct HeaderDpiRecord {
    int DpiX, DpiY;
    BOOL KnownX, KnownY;
};
extern HeaderDpiRecord HeaderDpi;

// ---- Texts in the device's fonts -----------------------------------------
// Gives the page's labels, check box and radio captions and number edits
// the room their texts need in the fonts they are drawn with (the heading
// fonts given first), where the page has it free, and grows each group's
// frame with what it holds; run at the end of each page's WM_INITDIALOG,
// after the page stored its window in its PageWindows slot.
void FitPageTexts(HWND page);

// ---- Shared between the Time and Font Size pages -------------------------
// The marker font is too tall for a stacked marker: its pixel height is
// above 40 % of the hour/minute height (sizes from the Font Size page's
// edits while that page exists, else from the settings).
BOOL MarkerTooTall();
// Keeps the Time page's "same line" box in step with the font sizes.
void FollowMarkerSize();

// ---- Page state ------------------------------------------------------------
// Phone state "Status" as read when the Day/Date page opened.
extern DWORD PagePhoneStatus;

struct ColorPageRecord {
    COLORREF DefaultPreviewColor;
    COLORREF HighlightPreviewColor;
    // The scheme the page shows; ClockSettings.TextColorEnabled takes it at
    // save.
    DWORD Scheme;
    // Swatch brushes and the colours they were made in. A brush is replaced
    // only when its swatch asks for the next one, and both are deleted when
    // the page is gone.
    HBRUSH DefaultBrush, HighlightBrush;
    COLORREF DefaultBrushColor, HighlightBrushColor;
};
extern ColorPageRecord ColorPageState;

// ---- Control helpers -------------------------------------------------------
BOOL IsBoxChecked(HWND page, int id);
void SetBoxChecked(HWND page, int id, BOOL checked);
// For a page being opened: its boxes come from the template unchecked, so
// only a checked one is set (a message less for each that stays clear).
void SetFreshBoxChecked(HWND page, int id, BOOL checked);
void EnableControl(HWND page, int id, BOOL enable);
void EnableControls(HWND page, const int *ids, int count, BOOL enable);
// _wtol of a control's text read into a buffer of `chars` characters, so
// at most chars - 1 characters count; unsigned, as the save rules compare.
DWORD ReadControlNumber(HWND page, int id, int chars);
// The common up-down set-up: the version every page asks for, then range.
void SetUpDownVersion(HWND page, int id);
void SetUpDownRange(HWND page, int id, int lower, int upper);
void SetUpDownPos(HWND page, int id, int position);
int GetUpDownPos(HWND page, int id);
