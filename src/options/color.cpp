// The Color page: the Today theme's colours, or a default and a
// highlighted text colour typed as red, green and blue, each with a swatch.
#include "pages.h"
#include "settings.h"
#include <commctrl.h>

ColorPageRecord ColorPageState;

namespace {

// Colour schemes (TextColorEnabled). The page offers only the first two;
// the per-element schemes come from the registry and stay until the theme
// box is clicked.
enum ColorScheme { ThemeScheme, CustomScheme, ElementScheme, ElementHighlightScheme };

const int ColorChars = 4;          // three digits and the terminator
const int ColorHighest = 255;

const int DefaultGroup[] = {IDC_DEFAULT_GROUP, IDC_DEFAULT_RGB_LABEL, IDC_DEFAULT_RED_EDIT, IDC_DEFAULT_RED_SPIN,
                            IDC_DEFAULT_GREEN_EDIT, IDC_DEFAULT_GREEN_SPIN, IDC_DEFAULT_BLUE_EDIT,
                            IDC_DEFAULT_BLUE_SPIN};
const int HighlightGroup[] = {IDC_HIGHLIGHT_GROUP, IDC_HIGHLIGHT_RGB_LABEL, IDC_HIGHLIGHT_RED_EDIT,
                              IDC_HIGHLIGHT_RED_SPIN, IDC_HIGHLIGHT_GREEN_EDIT, IDC_HIGHLIGHT_GREEN_SPIN,
                              IDC_HIGHLIGHT_BLUE_EDIT, IDC_HIGHLIGHT_BLUE_SPIN};
const int Spins[] = {IDC_DEFAULT_RED_SPIN, IDC_DEFAULT_GREEN_SPIN, IDC_DEFAULT_BLUE_SPIN,
                     IDC_HIGHLIGHT_RED_SPIN, IDC_HIGHLIGHT_GREEN_SPIN, IDC_HIGHLIGHT_BLUE_SPIN};
const int Edits[] = {IDC_DEFAULT_RED_EDIT, IDC_DEFAULT_GREEN_EDIT, IDC_DEFAULT_BLUE_EDIT,
                     IDC_HIGHLIGHT_RED_EDIT, IDC_HIGHLIGHT_GREEN_EDIT, IDC_HIGHLIGHT_BLUE_EDIT};

void EnableGroup(HWND page, const int *group, BOOL enable)
{
    EnableControls(page, group, ARRAYSIZE(DefaultGroup), enable);
}

DWORD ReadColorByte(HWND page, int edit)
{
    DWORD value = ReadControlNumber(page, edit, ColorChars);
    return value > ColorHighest ? ColorHighest : value;
}

// Red, green and blue edits starting at `redEdit`, two ids apart.
COLORREF ReadColor(HWND page, int redEdit)
{
    return RGB(ReadColorByte(page, redEdit), ReadColorByte(page, redEdit + 2), ReadColorByte(page, redEdit + 4));
}

void SetColorSpins(HWND page, int redSpin, COLORREF color)
{
    SetUpDownPos(page, redSpin, GetRValue(color));
    SetUpDownPos(page, redSpin + 2, GetGValue(color));
    SetUpDownPos(page, redSpin + 4, GetBValue(color));
}

void EnableForScheme(HWND page, DWORD scheme)
{
    switch (scheme) {
    case CustomScheme:
        EnableGroup(page, DefaultGroup, TRUE);
        EnableGroup(page, HighlightGroup, TRUE);
        break;
    case ElementScheme:
        break;
    case ElementHighlightScheme:
        EnableGroup(page, HighlightGroup, TRUE);
        break;
    default:
        SetBoxChecked(page, IDC_THEME_COLORS, TRUE);
        break;
    }
}

INT_PTR OnInitDialog(HWND page)
{
    OptionsSheet.PageWindows[ColorPage] = page;
    ColorPageState.Scheme = ClockSettings.TextColorEnabled;
    for (size_t i = 0; i < ARRAYSIZE(Spins); i++)
        SetUpDownVersion(page, Spins[i]);
    EnableForScheme(page, ColorPageState.Scheme);
    for (size_t i = 0; i < ARRAYSIZE(Edits); i++)
        SendDlgItemMessageW(page, Edits[i], EM_LIMITTEXT, ColorChars - 1, 0);
    for (size_t i = 0; i < ARRAYSIZE(Spins); i++)
        SetUpDownRange(page, Spins[i], 0, ColorHighest);
    // The edits' change notices bring the swatches along.
    SetColorSpins(page, IDC_DEFAULT_RED_SPIN, ClockSettings.TextColorDefault);
    SetColorSpins(page, IDC_HIGHLIGHT_RED_SPIN, ClockSettings.TextColorHighlight);
    FitPageTexts(page);
    return 0;
}

void OnThemeBox(HWND page)
{
    BOOL theme = IsBoxChecked(page, IDC_THEME_COLORS);
    EnableGroup(page, DefaultGroup, !theme);
    EnableGroup(page, HighlightGroup, !theme);
    ColorPageState.Scheme = theme ? ThemeScheme : CustomScheme;
}

INT_PTR OnCommand(HWND page, WPARAM wParam)
{
    int id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE) {
        if (id == IDC_DEFAULT_RED_EDIT || id == IDC_DEFAULT_GREEN_EDIT || id == IDC_DEFAULT_BLUE_EDIT) {
            ColorPageState.DefaultPreviewColor = ReadColor(page, IDC_DEFAULT_RED_EDIT);
            InvalidateRect(GetDlgItem(page, IDC_DEFAULT_SWATCH), NULL, TRUE);
        } else if (id == IDC_HIGHLIGHT_RED_EDIT || id == IDC_HIGHLIGHT_GREEN_EDIT || id == IDC_HIGHLIGHT_BLUE_EDIT) {
            ColorPageState.HighlightPreviewColor = ReadColor(page, IDC_HIGHLIGHT_RED_EDIT);
            InvalidateRect(GetDlgItem(page, IDC_HIGHLIGHT_SWATCH), NULL, TRUE);
        }
    }
    if (id == IDC_THEME_COLORS)
        OnThemeBox(page);
    return 0;
}

// The brush a swatch paints with. A new colour gets a new brush; the one it
// replaces was handed out for the swatch's previous paint, which is over.
HBRUSH SwatchBrush(HBRUSH *brush, COLORREF *brushColor, COLORREF color)
{
    if (*brush != NULL && *brushColor == color)
        return *brush;
    HBRUSH fresh = CreateSolidBrush(color);
    if (fresh == NULL)
        return *brush;
    if (*brush != NULL)
        DeleteObject(*brush);
    *brush = fresh;
    *brushColor = color;
    return fresh;
}

INT_PTR OnCtlColorStatic(HWND page, HWND control)
{
    if (control == GetDlgItem(page, IDC_DEFAULT_SWATCH))
        return (INT_PTR)SwatchBrush(&ColorPageState.DefaultBrush, &ColorPageState.DefaultBrushColor,
                                    ColorPageState.DefaultPreviewColor);
    if (control == GetDlgItem(page, IDC_HIGHLIGHT_SWATCH))
        return (INT_PTR)SwatchBrush(&ColorPageState.HighlightBrush, &ColorPageState.HighlightBrushColor,
                                    ColorPageState.HighlightPreviewColor);
    return FALSE;
}

// The swatches are gone with the page.
void DeleteSwatchBrushes()
{
    if (ColorPageState.DefaultBrush != NULL)
        DeleteObject(ColorPageState.DefaultBrush);
    if (ColorPageState.HighlightBrush != NULL)
        DeleteObject(ColorPageState.HighlightBrush);
    ColorPageState.DefaultBrush = NULL;
    ColorPageState.HighlightBrush = NULL;
}

INT_PTR OnNcDestroy()
{
    DeleteSwatchBrushes();
    ReleasePageFonts(ColorPage);
    return 0;
}

} // namespace

INT_PTR CALLBACK ColorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_COMMAND:
        return OnCommand(page, wParam);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(page, (HWND)lParam);
    case WM_PAINT:
        return PaintPageHeader(page, ColorPage);
    case WM_NCDESTROY:
        return OnNcDestroy();
    }
    return FALSE;
}

void SaveColorPage(HWND page, HKEY key)
{
    DWORD scheme = ColorPageState.Scheme;
    ClockSettings.TextColorEnabled = scheme;
    if (scheme == CustomScheme)
        ClockSettings.TextColorDefault = ReadColor(page, IDC_DEFAULT_RED_EDIT);
    if (scheme == CustomScheme || scheme == ElementHighlightScheme)
        ClockSettings.TextColorHighlight = ReadColor(page, IDC_HIGHLIGHT_RED_EDIT);
    WriteSettingDword(key, L"TextColorEnabled", scheme);
    if (scheme != ThemeScheme) {
        WriteSettingDword(key, L"TextColorDefault", ClockSettings.TextColorDefault);
        WriteSettingDword(key, L"TextColorHighlight", ClockSettings.TextColorHighlight);
    }
}
