// The Background page: opacity and grey level of the day/date cell and the
// time cell. Each part is taken over by the user with its own box; a part
// left unchecked keeps whatever the cell colour holds.
#include "pages.h"
#include "settings.h"
#include "portable.h"
#include <commctrl.h>

namespace {

enum CellPart { AlphaPart, GreyPart };

// One row per check box, in the order of the boxes.
struct PartRow {
    int Box, Label, Bar;
    DWORD Nibble;            // its group of OverrideARGB
    DWORD *Cell;             // AlphaDayDate or AlphaTime
    CellPart Part;
};

const PartRow PartRows[] = {
    {IDC_DAYDATE_ALPHA_BOX, IDC_DAYDATE_ALPHA_LABEL, IDC_DAYDATE_ALPHA_BAR, 0xF000, &ClockSettings.AlphaDayDate,
     AlphaPart},
    {IDC_DAYDATE_GREY_BOX, IDC_DAYDATE_GREY_LABEL, IDC_DAYDATE_GREY_BAR, 0x0F00, &ClockSettings.AlphaDayDate,
     GreyPart},
    {IDC_TIME_ALPHA_BOX, IDC_TIME_ALPHA_LABEL, IDC_TIME_ALPHA_BAR, 0x00F0, &ClockSettings.AlphaTime, AlphaPart},
    {IDC_TIME_GREY_BOX, IDC_TIME_GREY_LABEL, IDC_TIME_GREY_BAR, 0x000F, &ClockSettings.AlphaTime, GreyPart},
};

const DWORD DayDateNibbles = 0xFF00;
const DWORD TimeNibbles = 0x00FF;
const DWORD NibbleBits = 0xFFFF;
const int LevelHighest = 255;

// The mean of the three colour bytes, to the nearest whole number.
int GreyLevel(DWORD cell)
{
    return ScaleRounded((int)(cell & 0xFF) + (int)((cell >> 8) & 0xFF) + (int)((cell >> 16) & 0xFF), 1, 3);
}

int PartLevel(DWORD cell, CellPart part)
{
    return part == AlphaPart ? (int)(cell >> 24) : GreyLevel(cell);
}

void ShowPercent(HWND page, int label, int level)
{
    WCHAR text[16];
    wsprintfW(text, L"%d%%", ScaleRounded(level, 100, LevelHighest));
    SetDlgItemTextW(page, label, text);
}

void EnablePart(HWND page, const PartRow &row, BOOL enable)
{
    EnableControl(page, row.Label, enable);
    EnableControl(page, row.Bar, enable);
}

const PartRow *RowOfBar(int bar)
{
    for (size_t i = 0; i < ARRAYSIZE(PartRows); i++)
        if (PartRows[i].Bar == bar)
            return &PartRows[i];
    return NULL;
}

const PartRow *RowOfBox(int box)
{
    for (size_t i = 0; i < ARRAYSIZE(PartRows); i++)
        if (PartRows[i].Box == box)
            return &PartRows[i];
    return NULL;
}

INT_PTR OnInitDialog(HWND page)
{
    OptionsSheet.PageWindows[BackgroundPage] = page;
    for (size_t i = 0; i < ARRAYSIZE(PartRows); i++) {
        const PartRow &row = PartRows[i];
        if (ClockSettings.OverrideARGB & row.Nibble) {
            SetBoxChecked(page, row.Box, TRUE);
            EnablePart(page, row, TRUE);
        }
    }
    for (size_t i = 0; i < ARRAYSIZE(PartRows); i++) {
        const PartRow &row = PartRows[i];
        SendDlgItemMessageW(page, row.Bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, LevelHighest));
        SendDlgItemMessageW(page, row.Bar, TBM_SETPOS, TRUE, PartLevel(*row.Cell, row.Part));
    }
    for (size_t i = 0; i < ARRAYSIZE(PartRows); i++)
        ShowPercent(page, PartRows[i].Label, (int)SendDlgItemMessageW(page, PartRows[i].Bar, TBM_GETPOS, 0, 0));
    FitPageTexts(page);
    return 0;
}

// Any scroll code counts: the label follows wherever the bar is now.
INT_PTR OnHScroll(HWND page, HWND bar)
{
    const PartRow *row = RowOfBar(GetDlgCtrlID(bar));
    if (row != NULL)
        ShowPercent(page, row->Label, (int)SendMessageW(bar, TBM_GETPOS, 0, 0));
    return 0;
}

INT_PTR OnCommand(HWND page, WPARAM wParam)
{
    const PartRow *row = RowOfBox(LOWORD(wParam));
    if (row != NULL)
        EnablePart(page, *row, IsBoxChecked(page, row->Box));
    return 0;
}

DWORD ReadBar(HWND page, int bar)
{
    return (DWORD)SendDlgItemMessageW(page, bar, TBM_GETPOS, 0, 0) & 0xFF;
}

// Replaces the parts of one cell colour whose boxes are checked.
void TakeCellParts(HWND page, const PartRow &alpha, const PartRow &grey)
{
    DWORD *cell = alpha.Cell;
    if (ClockSettings.OverrideARGB & alpha.Nibble)
        *cell = (*cell & 0x00FFFFFF) | ReadBar(page, alpha.Bar) << 24;
    if (ClockSettings.OverrideARGB & grey.Nibble) {
        DWORD level = ReadBar(page, grey.Bar);
        *cell = (*cell & 0xFF000000) | level << 16 | level << 8 | level;
    }
}

void TakeOverrides(HWND page)
{
    for (size_t i = 0; i < ARRAYSIZE(PartRows); i++) {
        const PartRow &row = PartRows[i];
        if (IsBoxChecked(page, row.Box))
            ClockSettings.OverrideARGB |= row.Nibble;
        else
            ClockSettings.OverrideARGB &= NibbleBits & ~row.Nibble;
    }
}

} // namespace

INT_PTR CALLBACK BackgroundPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_HSCROLL:
        return OnHScroll(page, (HWND)lParam);
    case WM_COMMAND:
        return OnCommand(page, wParam);
    case WM_PAINT:
        return PaintPageHeader(page, BackgroundPage);
    case WM_NCDESTROY:
        ReleasePageFonts(BackgroundPage);
        return 0;
    }
    return FALSE;
}

void SaveBackgroundPage(HWND page, HKEY key)
{
    TakeOverrides(page);
    DWORD overrides = ClockSettings.OverrideARGB;
    TakeCellParts(page, PartRows[0], PartRows[1]);
    TakeCellParts(page, PartRows[2], PartRows[3]);
    WriteSettingDword(key, L"OverrideARGB", overrides);
    if (overrides & DayDateNibbles)
        WriteSettingDword(key, L"AlphaDayDate", ClockSettings.AlphaDayDate);
    if (overrides & TimeNibbles)
        WriteSettingDword(key, L"AlphaTime", ClockSettings.AlphaTime);
}
