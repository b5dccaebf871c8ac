// The reference for the load: the least work that gives the clock's first
// picture on a device of default settings. Loading it adds the private
// font from the program-files folder, reads the settings key in one query,
// registers its window class and builds the four fonts of the clock's
// default sizes (the digits in QZL, the markers and the date line in
// Tahoma). The host then creates its window with no height, asks for its
// height (a fixed one, the item's), gives it that height and lets it paint:
// the rounded cell with its cut-outs (digit cells, markers, bell) drawn
// once into a 32-bit bitmap and given its alpha, the host's watermark, one
// AlphaBlend of the cell over it, the same texts, and one BitBlt to the
// screen. No font probe, no layout, no fitting, nothing kept for a second
// paint.
#include <windows.h>
#include <shlobj.h>
#include "today-standins.h"

namespace {

const WCHAR ClassName[] = L"QuartzelReferenceItem";
const WCHAR SettingsKey[] = L"SOFTWARE\\Marrowfen\\Quartzel";
const WCHAR PrivateFace[] = L"QZL";
const WCHAR PrivateDigitZero = 0x2FE0;
const WCHAR CellGlyphs[] = {0x2FEC, 0x2FEC, 0};
// The cell's key colour and the two alphas of the default settings.
const COLORREF CellKey = RGB(0xA0, 0xB0, 0xC0);
const DWORD TimeAlpha = 0x2D000000;
const DWORD DayDateAlpha = 0x66000000;

struct ReferenceItemRecord {
    HINSTANCE Instance;
    int Height;             // the answer to the host's height query
    WCHAR FontPath[MAX_PATH];
    BOOL FontAdded;
    DWORD SettingValues;    // what the settings key holds
    HFONT Hour, Seconds, Marker, DayDate;
};
ReferenceItemRecord ReferenceItem;

void AddPrivateFont()
{
    WCHAR folder[MAX_PATH];
    if (!SHGetSpecialFolderPathW(NULL, folder, CSIDL_PROGRAM_FILES, FALSE))
        return;
    wsprintfW(ReferenceItem.FontPath, L"%s\\Quartzel\\QZL.ttf", folder);
    ReferenceItem.FontAdded = AddFontResourceW(ReferenceItem.FontPath) != 0;
}

void RemovePrivateFont()
{
    if (ReferenceItem.FontAdded)
        RemoveFontResourceW(ReferenceItem.FontPath);
    ReferenceItem.FontAdded = FALSE;
}

// One query tells a key of default settings: it holds no values.
void ReadSettingsKey()
{
    HKEY key;
    ReferenceItem.SettingValues = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, &ReferenceItem.SettingValues, NULL, NULL, NULL,
                     NULL);
    RegCloseKey(key);
}

HFONT MakeFont(int dpi, int points, int weight, const WCHAR *face)
{
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(points, dpi, 72);
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(lf.lfFaceName, face);
    return CreateFontIndirectW(&lf);
}

void MakeFonts()
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    ReferenceItem.Hour = MakeFont(dpi, 38, FW_MEDIUM, PrivateFace);
    ReferenceItem.Seconds = MakeFont(dpi, 26, FW_MEDIUM, PrivateFace);
    ReferenceItem.Marker = MakeFont(dpi, 9, FW_BOLD, L"Tahoma");
    ReferenceItem.DayDate = MakeFont(dpi, 8, FW_BOLD, L"Tahoma");
}

void DeleteFonts()
{
    DeleteObject(ReferenceItem.Hour);
    DeleteObject(ReferenceItem.Seconds);
    DeleteObject(ReferenceItem.Marker);
    DeleteObject(ReferenceItem.DayDate);
}

HBITMAP MakeDib(int width, int height, void **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return CreateDIBSection(NULL, &info, DIB_RGB_COLORS, bits, NULL, 0);
}

void DrawAt(HDC dc, HFONT font, UINT align, int x, int y, const WCHAR *text)
{
    SelectObject(dc, font);
    SetTextAlign(dc, align);
    ExtTextOutW(dc, x, y, 0, NULL, text, lstrlenW(text), NULL);
}

// Where the strip's parts go: fixed fractions of its size.
struct StripPlaces {
    int Base;          // the time's baseline
    int HourRight, SeparatorCenter, MinuteRight, SecondsRight, MarkerRight;
    int Band;          // rows above it form the day/date band
};

StripPlaces PlacesFor(int width, int height)
{
    StripPlaces p;
    p.Base = height - height / 12;
    p.HourRight = width / 3;
    p.SeparatorCenter = width / 3 + 5;
    p.MinuteRight = 2 * width / 3;
    p.SecondsRight = 5 * width / 6;
    p.MarkerRight = width - 4;
    p.Band = height / 5;
    return p;
}

// The cell over the strip in the key colour, the cut-outs in black, then
// every pixel given its premultiplied alpha: the key's rows their band's,
// the rest none.
void DrawCell(HDC dc, DWORD *bits, int width, int height, const StripPlaces &p)
{
    HBRUSH key = CreateSolidBrush(CellKey);
    HGDIOBJ oldBrush = SelectObject(dc, key);
    RoundRect(dc, 3, 1, width - 3, height - 1, 5, 5);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    DeleteObject(key);
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_RIGHT, p.HourRight, p.Base, CellGlyphs);
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_RIGHT, p.MinuteRight, p.Base, CellGlyphs);
    DrawAt(dc, ReferenceItem.Seconds, TA_BASELINE | TA_RIGHT, p.SecondsRight, p.Base, CellGlyphs);
    DrawAt(dc, ReferenceItem.Marker, TA_BASELINE | TA_RIGHT, p.MarkerRight, p.Base - height / 4, L"AM");
    DrawAt(dc, ReferenceItem.Marker, TA_BASELINE | TA_RIGHT, p.MarkerRight, p.Base, L"PM");
    POINT bell[] = {{p.MarkerRight - 8, p.Band + 2}, {p.MarkerRight - 2, p.Band + 2}, {p.MarkerRight, p.Band + 9},
                    {p.MarkerRight - 10, p.Band + 9}};
    Polygon(dc, bell, 4);
    SelectObject(dc, oldBrush);
    GdiFlush();
    DWORD keyWord = ((CellKey & 0xFF) << 16) | (CellKey & 0xFF00) | ((CellKey >> 16) & 0xFF);
    DWORD time = TimeAlpha, dayDate = DayDateAlpha;   // black premultiplied: the alpha alone
    for (int row = 0; row < height; ++row) {
        DWORD cell = row < p.Band ? dayDate : time;
        DWORD *pixel = bits + (SIZE_T)row * (SIZE_T)width;
        for (int column = 0; column < width; ++column)
            pixel[column] = (pixel[column] & 0xFFFFFF) == keyWord ? cell : 0;
    }
}

// The clock's digits are QZL's private ones.
void ToPrivateDigits(WCHAR *text)
{
    for (; *text; ++text)
        if (*text >= L'0' && *text <= L'9')
            *text = (WCHAR)(PrivateDigitZero + (*text - L'0'));
}

void FormatTime(const SYSTEMTIME *now, const WCHAR *picture, WCHAR *text)
{
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, now, picture, text, 4);
    ToPrivateDigits(text);
}

// The item's texts: hour, separator, minute, seconds, marker, date.
void DrawTexts(HDC dc, int width, const StripPlaces &p)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR hour[4], minute[4], second[4], separator[4], date[80];
    FormatTime(&now, L"h", hour);
    FormatTime(&now, L"mm", minute);
    FormatTime(&now, L"ss", second);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 4);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &now, NULL, date, 80);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_RIGHT, p.HourRight, p.Base, hour);
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_CENTER, p.SeparatorCenter, p.Base, separator);
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_RIGHT, p.MinuteRight, p.Base, minute);
    DrawAt(dc, ReferenceItem.Seconds, TA_BASELINE | TA_RIGHT, p.SecondsRight, p.Base, second);
    DrawAt(dc, ReferenceItem.Marker, TA_BASELINE | TA_RIGHT, p.MarkerRight, p.Base, now.wHour < 12 ? L"AM" : L"PM");
    DrawAt(dc, ReferenceItem.DayDate, TA_TOP | TA_CENTER, width / 2, 3, date);
}

void Paint(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(window, &ps);
    int width = client.right, height = client.bottom;
    if (height <= 0) {
        EndPaint(window, &ps);
        return;
    }
    StripPlaces places = PlacesFor(width, height);
    void *cellBits = NULL, *composeBits = NULL;
    HDC cells = CreateCompatibleDC(screen);
    HBITMAP cellBitmap = MakeDib(width, height, &cellBits);
    HGDIOBJ oldCells = SelectObject(cells, cellBitmap);
    HGDIOBJ oldCellsFont = GetCurrentObject(cells, OBJ_FONT);
    SetBkMode(cells, TRANSPARENT);
    DrawCell(cells, (DWORD *)cellBits, width, height, places);
    HDC compose = CreateCompatibleDC(screen);
    HBITMAP composeBitmap = MakeDib(width, height, &composeBits);
    HGDIOBJ oldCompose = SelectObject(compose, composeBitmap);
    HGDIOBJ oldComposeFont = GetCurrentObject(compose, OBJ_FONT);
    TODAYDRAWWATERMARKINFO info = {compose, client, window};
    SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0, (LPARAM)&info);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(compose, 0, 0, width, height, cells, 0, 0, width, height, blend);
    DrawTexts(compose, width, places);
    BitBlt(screen, 0, 0, width, height, compose, 0, 0, SRCCOPY);
    SelectObject(compose, oldComposeFont);
    SelectObject(compose, oldCompose);
    DeleteObject(composeBitmap);
    DeleteDC(compose);
    SelectObject(cells, oldCellsFont);
    SelectObject(cells, oldCells);
    DeleteObject(cellBitmap);
    DeleteDC(cells);
    EndPaint(window, &ps);
}

LRESULT CALLBACK ReferenceItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        Paint(window);
        return 0;
    }
    if (message == WM_TODAYCUSTOM_QUERYREFRESHCACHE) {
        TODAYLISTITEM *item = (TODAYLISTITEM *)wParam;
        if (item->cyp == (DWORD)ReferenceItem.Height)
            return FALSE;
        item->cyp = (DWORD)ReferenceItem.Height;
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Attach(HINSTANCE instance)
{
    ReferenceItem.Instance = instance;
    AddPrivateFont();
    ReadSettingsKey();
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ReferenceItemProc;
    wc.hInstance = instance;
    wc.lpszClassName = ClassName;
    RegisterClassW(&wc);
    MakeFonts();
}

void Detach()
{
    DeleteFonts();
    UnregisterClassW(ClassName, ReferenceItem.Instance);
    RemovePrivateFont();
}

} // namespace

// The host's side: a child window of the screen's width and no height, as
// the item's; `height` is what it will answer when the host asks.
extern "C" __declspec(dllexport) HWND ReferenceInitializeItem(HWND parent, int width, int height)
{
    ReferenceItem.Height = height;
    HWND window = CreateWindowExW(0, ClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, 0, parent, NULL,
                                  ReferenceItem.Instance, NULL);
    UpdateWindow(window);
    return window;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Attach(instance);
    else if (reason == DLL_PROCESS_DETACH)
        Detach();
    return TRUE;
}
