// Painting through the real DLL, loaded as the Today host loads it. This
// program plays the host: it answers the item's colour requests and draws a
// known watermark, fixes the item's clock through its import table, counts
// the item's BitBlt and AlphaBlend calls the same way, and reads the painted
// pixels back from the item window (exact under Xvfb).
#include "testlib.h"
#include "itemdll.h"
#include "iat.h"
#include "usage.h"
#include "today-standins.h"
#include <initializer_list>
#include <stdlib.h>
#include <climits>

static const WCHAR SettingsKey[] = L"SOFTWARE\\Marrowfen\\Quartzel";
static const WCHAR AlarmKey[] = L"Software\\Microsoft\\Clock\\0";

// Default cell opacities: black at alpha 45 behind the time, 102 behind
// the day/date line.
static const DWORD AlphaTime = 0x2D000000, AlphaDayDate = 0x66000000;

struct Setting {
    const WCHAR *Name;
    DWORD Value;
};

struct PaintTestRecord {
    HMODULE Dll;
    HWND Host;
    HWND Item;
    TODAYLISTITEM ListItem;
    int Dpi;
    int Bits;           // the screen's bits per pixel
    int Width;
    int Height;
    int Top;
    BOOL PrivateFont;
    COLORREF Text, Highlight, HighlightedText;
    int WatermarkRequests;
    int BitBlts, ScreenBitBlts, AlphaBlends, DibSections, NewDCs, NewBitmaps, Moves;
    BOOL SolidWallpaper;         // the host paints Wallpaper instead of its pattern
    COLORREF Wallpaper;
    DWORD *Pixels;
    int Stride;
    HDC ReadDC;
    HBITMAP ReadBitmap;
    HGDIOBJ ReadPrevious;
};
static PaintTestRecord T;

// 10:05:09 on Thursday 14 March 2024 unless a test sets another time.
static const SYSTEMTIME Morning = {2024, 3, 4, 14, 10, 5, 9, 0};
static SYSTEMTIME FakeNow = Morning;

// ---- Item imports replaced by this program ------------------------------

static void WINAPI FakeGetLocalTime(SYSTEMTIME *time)
{
    *time = FakeNow;
}

static BOOL WINAPI CountingBitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop)
{
    T.BitBlts++;
    if (WindowFromDC(dest) != NULL)
        T.ScreenBitBlts++;
    return BitBlt(dest, x, y, w, h, source, sx, sy, rop);
}

static BOOL WINAPI CountingAlphaBlend(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int sw,
                                      int sh, BLENDFUNCTION blend)
{
    T.AlphaBlends++;
    return AlphaBlend(dest, x, y, w, h, source, sx, sy, sw, sh, blend);
}

static HBITMAP WINAPI CountingCreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits,
                                               HANDLE section, DWORD offset)
{
    // Surfaces of the strip only: a fit's scratch bitmap is wider.
    if (info->bmiHeader.biWidth == T.Width)
        T.DibSections++;
    return CreateDIBSection(dc, info, usage, bits, section, offset);
}

static BOOL WINAPI CountingSetWindowPos(HWND window, HWND after, int x, int y, int w, int h, UINT flags)
{
    T.Moves++;
    return SetWindowPos(window, after, x, y, w, h, flags);
}

static HDC WINAPI CountingCreateCompatibleDC(HDC dc)
{
    T.NewDCs++;
    return CreateCompatibleDC(dc);
}

static HBITMAP WINAPI CountingCreateCompatibleBitmap(HDC dc, int w, int h)
{
    T.NewBitmaps++;
    return CreateCompatibleBitmap(dc, w, h);
}

static void ResetCounts()
{
    T.BitBlts = T.ScreenBitBlts = T.AlphaBlends = T.DibSections = T.WatermarkRequests = 0;
    T.NewDCs = T.NewBitmaps = T.Moves = 0;
}

// ---- The host ----------------------------------------------------------

// A colour as the screen shows it after the item's surfaces. On a 16-bit
// screen the item composes in compatible bitmaps, which Wine keeps in 5-5-5
// (a device keeps them in its screen's 5-6-5): 5 bits of each of red,
// green and blue, green widened to the screen's 6 by its top bit, each read
// back with its top bits repeated below (0xA0 is kept as 10100 and read as
// 0xA5; green 0x47 as 01000, then 010000, and read as 0x41).
// Each of the three as the 5-5-5 surface holds it, read back in 8 bits.
static COLORREF Kept(COLORREF colour)
{
    if (T.Bits != 16)
        return colour;
    BYTE r = GetRValue(colour) >> 3, g = GetGValue(colour) >> 3, b = GetBValue(colour) >> 3;
    return RGB((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
}

static COLORREF Shown(COLORREF colour)
{
    if (T.Bits != 16)
        return colour;
    BYTE r = GetRValue(colour) >> 3, g5 = GetGValue(colour) >> 3, b = GetBValue(colour) >> 3;
    BYTE g = (BYTE)((g5 << 1) | (g5 >> 4));
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

// Every component at least 64, so that any tint changes it; as the screen
// shows it.
static COLORREF Watermark(int x, int y)
{
    if (T.SolidWallpaper)
        return Shown(T.Wallpaper);
    return Shown(RGB(64 + (x * 5) % 192, 64 + (y * 7) % 192, 160 + (x + y) % 96));
}

static void DrawWatermark(const TODAYDRAWWATERMARKINFO *info)
{
    T.WatermarkRequests++;
    int w = info->rc.right - info->rc.left, h = info->rc.bottom - info->rc.top;
    if (w <= 0 || h <= 0)
        return;
    DWORD *bits = (DWORD *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)w * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            COLORREF c = Watermark(info->rc.left + x, info->rc.top + y);
            bits[y * w + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    SetDIBitsToDevice(info->hdc, info->rc.left, info->rc.top, w, h, 0, 0, 0, h, bits, &bmi, DIB_RGB_COLORS);
    HeapFree(GetProcessHeap(), 0, bits);
}

static LRESULT AnswerColor(WPARAM which)
{
    switch (which) {
    case TODAYCOLOR_TEXT: return T.Text;
    case TODAYCOLOR_HIGHLIGHT: return T.Highlight;
    case TODAYCOLOR_HIGHLIGHTEDTEXT: return T.HighlightedText;
    }
    return 0;
}

static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case TODAYM_GETCOLOR: return AnswerColor(wParam);
    case TODAYM_DRAWWATERMARK: DrawWatermark((const TODAYDRAWWATERMARKINFO *)lParam); return 0;
    case WM_ERASEBKGND: return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static BOOL LoadItem()
{
    T.Dll = LoadItemDll();
    if (T.Dll == NULL)
        return FALSE;
    ok(ReplaceImport(T.Dll, NULL, "GetLocalTime", (void *)FakeGetLocalTime, NULL) > 0, "GetLocalTime\n");
    ok(ReplaceImport(T.Dll, NULL, "BitBlt", (void *)CountingBitBlt, NULL) > 0, "BitBlt\n");
    ok(ReplaceImport(T.Dll, NULL, "AlphaBlend", (void *)CountingAlphaBlend, NULL) > 0, "AlphaBlend\n");
    ok(ReplaceImport(T.Dll, NULL, "CreateDIBSection", (void *)CountingCreateDIBSection, NULL) > 0,
       "CreateDIBSection\n");
    ok(ReplaceImport(T.Dll, NULL, "CreateCompatibleDC", (void *)CountingCreateCompatibleDC, NULL) > 0,
       "CreateCompatibleDC\n");
    ok(ReplaceImport(T.Dll, NULL, "CreateCompatibleBitmap", (void *)CountingCreateCompatibleBitmap, NULL) > 0,
       "CreateCompatibleBitmap\n");
    ok(ReplaceImport(T.Dll, NULL, "SetWindowPos", (void *)CountingSetWindowPos, NULL) > 0, "SetWindowPos\n");
    PFNCUSTOMINITIALIZEITEM initialize = ItemInitializer(T.Dll);
    if (initialize == NULL)
        return FALSE;
    T.Item = initialize(&T.ListItem, T.Host);
    return T.Item != NULL;
}

static void CreateHost()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FacePaintHost";
    RegisterClassW(&wc);
    T.Width = GetSystemMetrics(SM_CXSCREEN);
    T.Host = CreateWindowExW(0, wc.lpszClassName, L"Today", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, T.Width,
                             GetSystemMetrics(SM_CYSCREEN), NULL, NULL, wc.hInstance, NULL);
    T.Text = RGB(0, 0, 0);
    T.Highlight = RGB(0, 64, 160);
    T.HighlightedText = RGB(255, 255, 0);
    T.Top = 24;
}

static void CreateReadBuffer()
{
    // Wide and tall enough for either orientation.
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    T.Stride = cx > cy ? cx : cy;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = T.Stride;
    bmi.bmiHeader.biHeight = -T.Stride;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    T.ReadDC = CreateCompatibleDC(NULL);
    T.ReadBitmap = CreateDIBSection(T.ReadDC, &bmi, DIB_RGB_COLORS, (void **)&T.Pixels, NULL, 0);
    T.ReadPrevious = SelectObject(T.ReadDC, T.ReadBitmap);
}

// ---- Driving the item --------------------------------------------------

// What the host does every two seconds: ask, then size the item.
static BOOL Refresh()
{
    BOOL changed = (BOOL)SendMessageW(T.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&T.ListItem, 0);
    T.Height = (int)T.ListItem.cyp;
    SetWindowPos(T.Item, NULL, 0, T.Top, T.Width, T.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    return changed;
}

static void Paint()
{
    RedrawWindow(T.Item, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
}

static void ReadBack()
{
    memset(T.Pixels, 0, (SIZE_T)T.Stride * 4);
    HDC dc = GetDC(T.Item);
    BitBlt(T.ReadDC, 0, 0, T.Width, T.Height, dc, 0, 0, SRCCOPY);
    ReleaseDC(T.Item, dc);
    GdiFlush();
}

static void PaintAndRead()
{
    Paint();
    ReadBack();
}

// A new settings key as the options would leave it, taken in through the
// reload marker, then a host refresh and a paint.
static void UseSettings(std::initializer_list<Setting> settings)
{
    ResetRegKey(HKEY_CURRENT_USER, SettingsKey);
    for (const Setting &setting : settings)
        SetRegDword(HKEY_CURRENT_USER, SettingsKey, setting.Name, setting.Value);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"QZL", 0);
    SendMessageW(T.Item, WM_CREATE, 0, 0);
    Refresh();
    PaintAndRead();
}

static void SetAlarm(BYTE flags, BYTE days = 0x7F, WORD time = 7 * 60)
{
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmFlags", &flags, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmDays", &days, 1);
    SetRegBinary(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmTime", &time, 2);
}

// ---- Pixels and geometry -----------------------------------------------

static COLORREF PixelAt(int x, int y)
{
    DWORD v = T.Pixels[y * T.Stride + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// The platform's per-pixel alpha blend of a premultiplied cell word.
static BYTE BlendChannel(BYTE source, BYTE dest, BYTE alpha)
{
    return (BYTE)(source + (dest * (255 - alpha) + 127) / 255);
}

// The blend over what the item's surface holds, as the screen shows it.
static COLORREF Blend(COLORREF dest, DWORD cell)
{
    BYTE a = (BYTE)(cell >> 24);
    dest = Kept(dest);
    return Shown(RGB(BlendChannel((cell >> 16) & 0xFF, GetRValue(dest), a),
                     BlendChannel((cell >> 8) & 0xFF, GetGValue(dest), a),
                     BlendChannel(cell & 0xFF, GetBValue(dest), a)));
}

static int Scaled(int n)
{
    return (T.Dpi * n + 48) / 96;
}

static int LineHeight(int points = 8)
{
    HDC dc = GetDC(NULL);
    HFONT font = CreateFontW(-MulDiv(points, T.Dpi, 72), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                             L"Tahoma");
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(NULL, dc);
    return metrics.tmHeight + metrics.tmExternalLeading;
}

// The cell's rectangle (border 0): outline pixels included.
struct CellGeometry {
    int Left, Top, Right, Bottom; // right and bottom exclusive
    int BandRows;                 // rows from the top behind the day/date line
};

static CellGeometry Cell(BOOL dayDate, int border = 0)
{
    CellGeometry cell;
    cell.Left = Scaled(3);
    cell.Top = border + Scaled(1);
    cell.Right = T.Width - Scaled(3);
    cell.Bottom = T.Height - border - Scaled(1);
    cell.BandRows = dayDate ? border + LineHeight() + Scaled(5) : 0;
    return cell;
}

static BOOL OnFrame(const CellGeometry &cell, int x, int y)
{
    return x <= cell.Left || x >= cell.Right - 1 || y <= cell.Top || y >= cell.Bottom - 1;
}

// Columns [left, right] and rows [top, bottom] holding `colour` between
// columns `from` and `to` (exclusive); left is -1 when none does.
static RECT InkBox(COLORREF colour, int from = 0, int to = INT_MAX)
{
    RECT box = {-1, -1, -1, -1};
    colour = Shown(colour);
    for (int y = 0; y < T.Height; y++)
        for (int x = from; x < T.Width && x < to; x++) {
            if (PixelAt(x, y) != colour)
                continue;
            if (box.left < 0 || x < box.left) box.left = x;
            if (box.top < 0) box.top = y;
            if (x > box.right) box.right = x;
            box.bottom = y;
        }
    return box;
}

static DWORD CellWord(const CellGeometry &cell, int y)
{
    return y < cell.BandRows ? AlphaDayDate : AlphaTime;
}

// Pixels outside the cell and on its outline that are not the wallpaper
// (or, with `tinted`, not the wallpaper under the cell's tint).
static int FrameMismatches(const CellGeometry &cell, BOOL tinted, COLORREF *first)
{
    int mismatches = 0;
    for (int y = 0; y < T.Height; y++)
        for (int x = 0; x < T.Width; x++) {
            if (!OnFrame(cell, x, y))
                continue;
            COLORREF expected = tinted ? Blend(Watermark(x, y), CellWord(cell, y)) : Watermark(x, y);
            if (PixelAt(x, y) != expected && mismatches++ == 0)
                *first = MAKELONG(x, y);
        }
    return mismatches;
}

// Two columns just inside the left outline, clear of the rounded corners
// and of every text: the wallpaper under the cell's tint, row by row.
static int StripMismatches(const CellGeometry &cell, COLORREF background, BOOL solid, COLORREF *first)
{
    int mismatches = 0;
    for (int x = cell.Left + 1; x <= cell.Left + 2; x++)
        for (int y = cell.Top + Scaled(5); y < cell.Bottom - Scaled(5); y++) {
            COLORREF under = solid ? background : Watermark(x, y);
            if (PixelAt(x, y) != Blend(under, CellWord(cell, y)) && mismatches++ == 0)
                *first = MAKELONG(x, y);
        }
    return mismatches;
}

// Pixels drawn in `colour`: the wallpaper left as it is, which on a 16-bit
// screen may show as a pure colour too, does not count.
static int CountColour(COLORREF colour)
{
    colour = Shown(colour);
    int count = 0;
    for (int y = 0; y < T.Height; y++)
        for (int x = 0; x < T.Width; x++)
            if (PixelAt(x, y) == colour && colour != Watermark(x, y))
                count++;
    return count;
}

// Pixels inside the cell (clear of its rounded corners), below the
// day/date band, that show the wallpaper untouched: holes cut into it.
static int HolePixels(const CellGeometry &cell)
{
    int count = 0;
    for (int y = cell.BandRows > cell.Top + 1 ? cell.BandRows : cell.Top + 1; y < cell.Bottom - 1; y++)
        for (int x = cell.Left + Scaled(5); x < cell.Right - Scaled(5); x++)
            if (PixelAt(x, y) == Watermark(x, y))
                count++;
    return count;
}

// ---- Tests -------------------------------------------------------------

static void test_item_height()
{
    Refresh();
    int line = LineHeight();
    printf("dpi %d, %s QZL.ttf: item height %d (day/date line %d)\n", T.Dpi, T.PrivateFont ? "with" : "without",
           T.Height, line);
    // This device's fonts: digit height + Y(75) / digit height + Y(11) +
    // line height, e.g. 46 + 1 + 11 + 13 at 96 dpi with the private face
    // and 40 + 1 + 11 + 13 with Tahoma.
    const int heights[][3] = {{96, 71, 65}, {128, 95, 87}, {192, 139, 128}};
    for (const auto &e : heights)
        if (e[0] == T.Dpi)
            ok_int(T.Height, T.PrivateFont ? e[1] : e[2]);
    // Nothing changed: the second query reports nothing.
    ok_int(Refresh(), FALSE);
    // The window was made at the screen's width, which the host has too: its
    // first paint does not move it.
    ResetCounts();
    Paint();
    ok_int(T.Moves, 0);
}

static void test_default_face()
{
    UseSettings({});
    CellGeometry cell = Cell(TRUE);
    COLORREF first = 0;
    int frame = FrameMismatches(cell, FALSE, &first);
    ok(frame == 0, "%d frame pixels differ from the wallpaper, first at %d,%d: %06lx, expected %06lx\n", frame,
       LOWORD(first), HIWORD(first), PixelAt(LOWORD(first), HIWORD(first)), Watermark(LOWORD(first), HIWORD(first)));
    int strip = StripMismatches(cell, 0, FALSE, &first);
    ok(strip == 0, "%d cell pixels are not the tinted wallpaper, first at %d,%d: %06lx, expected %06lx\n", strip,
       LOWORD(first), HIWORD(first), PixelAt(LOWORD(first), HIWORD(first)),
       Blend(Watermark(LOWORD(first), HIWORD(first)), CellWord(cell, HIWORD(first))));
    // The row between the outline and the day/date text is band-tinted all
    // along, away from the corners.
    int y = cell.Top + 1, row = 0;
    if (y < Scaled(3))
        for (int x = cell.Left + Scaled(5); x < cell.Right - Scaled(5); x++)
            if (PixelAt(x, y) != Blend(Watermark(x, y), AlphaDayDate))
                row++;
    ok_int(row, 0);
    ok(CountColour(T.Text) > 0, "no text drawn in the host's text colour\n");
}

struct ColumnRuns {
    int Count;
    int Left[8], Right[8];
};

// Runs of adjacent columns, between rows `top` and `bottom` (exclusive),
// holding a pixel that `wanted` accepts.
template <typename Test> static ColumnRuns FindColumnRuns(int top, int bottom, Test wanted)
{
    ColumnRuns runs = {};
    BOOL inRun = FALSE;
    for (int x = 0; x < T.Width; x++) {
        BOOL hit = FALSE;
        for (int y = top; y < bottom && !hit; y++)
            hit = wanted(x, y);
        if (hit && !inRun && runs.Count < 8)
            runs.Left[runs.Count++] = x;
        if (hit && runs.Count > 0)
            runs.Right[runs.Count - 1] = x;
        inRun = hit;
    }
    return runs;
}

// Digit cells are cut only when the private face is in use, and each
// digit stands in its own cell: "10:10" puts the same digits in the same
// places of the hour's and the minute's pair of cells.
static void test_digit_cells()
{
    const COLORREF hourColour = RGB(0, 255, 0), minuteColour = RGB(0, 0, 255);
    FakeNow.wMinute = 10;
    UseSettings({{L"AlarmIconEnabled", 0}, {L"ShowTimeMarkers", 0}, {L"ShowSeconds", 0}, {L"TextColorEnabled", 2},
                 {L"ColorExHour", hourColour}, {L"ColorExMinute", minuteColour}});
    FakeNow = Morning;
    CellGeometry cell = Cell(TRUE);
    int holes = HolePixels(cell);
    if (!T.PrivateFont) {
        ok_int(holes, 0);
        return;
    }
    int inner = cell.Left + Scaled(5), outer = cell.Right - Scaled(5);
    ColumnRuns cells = FindColumnRuns(cell.BandRows, cell.Bottom - 1, [&](int x, int y) {
        return x >= inner && x < outer && PixelAt(x, y) == Watermark(x, y);
    });
    ColumnRuns hour = FindColumnRuns(0, T.Height, [&](int x, int y) { return PixelAt(x, y) == hourColour; });
    ColumnRuns minute = FindColumnRuns(0, T.Height, [&](int x, int y) { return PixelAt(x, y) == minuteColour; });
    ok(cells.Count == 4 && hour.Count == 2 && minute.Count == 2, "%d cells, %d hour and %d minute digits\n",
       cells.Count, hour.Count, minute.Count);
    if (cells.Count != 4 || hour.Count != 2 || minute.Count != 2)
        return;
    for (int i = 0; i < 2; i++) {
        ok(cells.Left[i] < hour.Left[i] && hour.Right[i] < cells.Right[i], "hour digit %d at %d..%d, cell %d..%d\n",
           i, hour.Left[i], hour.Right[i], cells.Left[i], cells.Right[i]);
        ok_int(minute.Left[i] - cells.Left[i + 2], hour.Left[i] - cells.Left[i]);
        ok_int(cells.Right[i + 2] - minute.Right[i], cells.Right[i] - hour.Right[i]);
    }
    // Cells and digits share the baseline: the cells reach below the
    // digits' ink by the same rows for hour and minute.
    RECT hourInk = InkBox(hourColour), minuteInk = InkBox(minuteColour);
    int cellBottom[4] = {-1, -1, -1, -1};
    for (int i = 0; i < 4; i++)
        for (int x = cells.Left[i]; x <= cells.Right[i]; x++)
            for (int y = cell.BandRows; y < cell.Bottom - 1; y++)
                if (PixelAt(x, y) == Watermark(x, y) && y > cellBottom[i])
                    cellBottom[i] = y;
    ok(hourInk.bottom == minuteInk.bottom && cellBottom[0] == cellBottom[2] && cellBottom[0] >= hourInk.bottom &&
           cellBottom[0] - hourInk.bottom <= Scaled(4),
       "digits end on row %ld and %ld, cells on rows %d and %d\n", hourInk.bottom, minuteInk.bottom, cellBottom[0],
       cellBottom[2]);
}

// The bell is drawn only while an alarm is set; its cut stays either way.
static void test_bell()
{
    const COLORREF bell = RGB(0, 255, 0);
    static POINT covered[2048];
    int painted = 0;
    RECT box = {LONG_MAX, LONG_MAX, -1, -1};
    SetAlarm(1);
    UseSettings({{L"TextColorEnabled", 2}, {L"ColorExAlarm", bell}});
    for (int y = 0; y < T.Height; y++)
        for (int x = 0; x < T.Width; x++) {
            if (PixelAt(x, y) != bell || painted == ARRAYSIZE(covered))
                continue;
            covered[painted++] = {x, y};
            if (x < box.left) box.left = x;
            if (y < box.top) box.top = y;
            if (x > box.right) box.right = x;
            if (y > box.bottom) box.bottom = y;
        }
    int width = T.Dpi == 96 ? 11 : T.Dpi == 128 ? 15 : 20, height = T.Dpi == 96 ? 12 : T.Dpi == 128 ? 14 : 23;
    ok(painted > 0 && box.right - box.left + 1 == width && box.bottom - box.top + 1 == height,
       "bell: %d pixels in %ldx%ld\n", painted, box.right - box.left + 1, box.bottom - box.top + 1);
    // Inside the cell, right of the digits.
    ok(painted > 0 && box.left > T.Width / 2 && box.top > Cell(TRUE).Top, "bell at %ld,%ld\n", box.left, box.top);

    SetAlarm(0);
    ok_int(Refresh(), TRUE);
    PaintAndRead();
    ok_int(CountColour(bell), 0);
    // Every pixel the bell covered shows the untouched wallpaper now.
    int cut = 0;
    for (int i = 0; i < painted; i++)
        if (PixelAt(covered[i].x, covered[i].y) == Watermark(covered[i].x, covered[i].y))
            cut++;
    ok(cut == painted, "%d of %d bell pixels cut\n", cut, painted);

    // Alarms that never ring light no bell: on with no weekday (bit 7
    // only), or at a time past 23:59.
    const BYTE days[2] = {0x80, 0x7F};
    const WORD times[2] = {7 * 60, 24 * 60};
    for (int i = 0; i < 2; i++) {
        SetAlarm(1, days[i], times[i]);
        Refresh();
        PaintAndRead();
        ok(CountColour(bell) == 0, "days 0x%02x, time %u: bell of %d pixels\n", days[i], times[i],
           CountColour(bell));
    }
    SetAlarm(0);
    Refresh();
}

static const WCHAR AppearanceKey[] = L"ControlPanel\\Appearance";

static void SetFontSize(DWORD hundredths)
{
    if (hundredths)
        SetRegDword(HKEY_CURRENT_USER, AppearanceKey, L"FontSize", hundredths);
    else
        DeleteRegValue(HKEY_CURRENT_USER, AppearanceKey, L"FontSize");
}

static void SendFontSizeNotice()
{
    SendMessageW(T.Item, RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE"), 0, 1);
}

// The system font size changes; the system's notice and the host's
// refresh come in either order, and the host learns of the change at its
// refresh either way. The bell and its cut stand below the taller day/date
// line at once, exactly where a fresh layout of the face puts them.
static void test_bell_follows_font_size()
{
    const COLORREF bell = RGB(0, 255, 0);
    DWORD saved = GetRegDword(HKEY_CURRENT_USER, AppearanceKey, L"FontSize", 0);
    SetAlarm(1);
    for (BOOL noticeFirst : {TRUE, FALSE}) {
        const char *order = noticeFirst ? "notice, then refresh" : "refresh, then notice";
        UseSettings({{L"TextColorEnabled", 2}, {L"ColorExAlarm", bell}});
        RECT before = InkBox(bell);
        SetFontSize(1100);
        if (noticeFirst)
            SendFontSizeNotice();
        ok(Refresh(), "%s: the refresh reports the change\n", order);
        if (!noticeFirst)
            SendFontSizeNotice();
        PaintAndRead();
        RECT after = InkBox(bell);
        ok(before.left >= 0 && after.left == before.left, "%s: bell at %ld, then at %ld\n", order, before.left,
           after.left);
        ok(after.top - before.top == LineHeight(11) - LineHeight(8), "%s: bell %ld px lower, expected %d\n", order,
           after.top - before.top, LineHeight(11) - LineHeight(8));
        // As wide as the widest screen (800 px turned).
        static DWORD taken[800 * 200];
        ok(T.Width <= 800, "a %d-pixel screen\n", T.Width);
        int rows = T.Width > 800 ? 0 : T.Height < 200 ? T.Height : 200;
        for (int y = 0; y < rows; y++)
            memcpy(taken + y * T.Width, T.Pixels + y * T.Stride, T.Width * 4);
        SendMessageW(T.Item, WM_CREATE, 0, 0);
        Refresh();
        PaintAndRead();
        int differ = 0;
        for (int y = 0; y < rows; y++)
            for (int x = 0; x < T.Width; x++)
                if ((taken[y * T.Width + x] & 0xFFFFFF) != (T.Pixels[y * T.Stride + x] & 0xFFFFFF))
                    differ++;
        ok(differ == 0, "%s: %d pixels differ from a fresh layout\n", order, differ);
        SetFontSize(saved);
        SendFontSizeNotice();
        Refresh();
    }
    SetAlarm(0);
    UseSettings({});
}

// The key colour marks the cell by its colour bytes. A key of 0 matches
// everything the cells hold: the whole item is tinted, outside the cell as
// much as inside. A top byte in the stored key, which GDI never draws,
// changes nothing. A transparent word other than 0 tints the outline and
// everything outside the cell with itself.
static void test_key_colour()
{
    UseSettings({{L"AlphaReserved", 0}});
    CellGeometry cell = Cell(TRUE);
    COLORREF first = 0;
    int frame = FrameMismatches(cell, TRUE, &first);
    ok(frame == 0, "%d frame pixels not tinted, first at %d,%d: %06lx\n", frame, LOWORD(first), HIWORD(first),
       PixelAt(LOWORD(first), HIWORD(first)));
    ok_int(HolePixels(cell), 0);

    UseSettings({{L"AlphaReserved", 0xFFA0B0C0}});
    int strip = StripMismatches(cell, 0, FALSE, &first);
    ok(strip == 0, "key 0xFFA0B0C0: %d cell pixels not tinted\n", strip);
    ok_int(FrameMismatches(cell, FALSE, &first), 0);

    const DWORD transparent = 0x20000000;
    UseSettings({{L"AlphaTransparent", transparent}});
    int untinted = 0;
    for (int y = 0; y < T.Height; y++)
        for (int x = 0; x < T.Width; x++)
            if (OnFrame(cell, x, y) && PixelAt(x, y) != Blend(Watermark(x, y), transparent) && untinted++ == 0)
                first = MAKELONG(x, y);
    ok(untinted == 0, "%d frame pixels not in the transparent word's tint, first at %d,%d: %06lx\n", untinted,
       LOWORD(first), HIWORD(first), PixelAt(LOWORD(first), HIWORD(first)));
}

static BOOL Near(COLORREF got, COLORREF expected)
{
    return abs(GetRValue(got) - GetRValue(expected)) <= 1 && abs(GetGValue(got) - GetGValue(expected)) <= 1 &&
           abs(GetBValue(got) - GetBValue(expected)) <= 1;
}

// A cell word holds an opacity and a grey chosen apart (as the Background
// page stores them): the cell shows that grey over the wallpaper at that
// opacity, over a light wallpaper as over a dark blue one. Grey 128 at
// opacity 45 behind the time, grey 192 at opacity 102 behind the day/date;
// on a 16-bit screen each of the wallpaper and the blend keeps 5 bits, and
// the two opacities still differ.
static void test_grey_cells()
{
    struct {
        int Bits;
        COLORREF Wallpaper, Time, DayDate;
    } cases[] = {
        {32, RGB(250, 230, 200), RGB(228, 212, 187), RGB(227, 215, 197)},
        {32, RGB(0, 0, 128), RGB(23, 23, 128), RGB(77, 77, 154)},
        {16, RGB(250, 230, 200), RGB(239, 215, 198), RGB(231, 223, 206)},
        {16, RGB(0, 0, 128), RGB(16, 16, 132), RGB(74, 73, 156)},
    };
    for (const auto &c : cases) {
        if (c.Bits != T.Bits)
            continue;
        T.SolidWallpaper = TRUE;
        T.Wallpaper = c.Wallpaper;
        UseSettings({{L"AlphaTime", 0x2D808080}, {L"AlphaDayDate", 0x66C0C0C0}});
        CellGeometry cell = Cell(TRUE);
        int x = cell.Left + 1, band = cell.Top + Scaled(5), time = cell.Bottom - Scaled(5) - 1;
        ok(Near(PixelAt(x, time), c.Time), "over %06lx: time cell %06lx, expected %06lx\n", c.Wallpaper,
           PixelAt(x, time), c.Time);
        ok(Near(PixelAt(x, band), c.DayDate), "over %06lx: day/date cell %06lx, expected %06lx\n", c.Wallpaper,
           PixelAt(x, band), c.DayDate);
        COLORREF first = 0;
        ok_int(FrameMismatches(cell, FALSE, &first), 0);
    }
    T.SolidWallpaper = FALSE;
    UseSettings({});
}

struct ElementColours {
    const WCHAR *Name;
    COLORREF Colour;
};

static const ElementColours Elements[] = {
    {L"ColorExTSeparator", RGB(255, 0, 0)}, {L"ColorExHour", RGB(0, 255, 0)},
    {L"ColorExMinute", RGB(0, 0, 255)},     {L"ColorExSecond", RGB(255, 255, 0)},
    {L"ColorExTMarker", RGB(0, 255, 255)},  {L"ColorExDay", RGB(255, 0, 255)},
    {L"ColorExDate", RGB(255, 255, 255)},
};

static void UseElementScheme(DWORD scheme, COLORREF defaultColour, COLORREF highlightColour, DWORD center = 0)
{
    // Day name left, short date right, so that both day and date colours
    // show; 10:05 in the morning puts AM on the upper marker line.
    ResetRegKey(HKEY_CURRENT_USER, SettingsKey);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"TextColorEnabled", scheme);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"TextColorDefault", defaultColour);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"TextColorHighlight", highlightColour);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"CenterDayDate", center);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"ShowOpName", center != 0);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"ShowShortDate", 1);
    for (const ElementColours &element : Elements)
        SetRegDword(HKEY_CURRENT_USER, SettingsKey, element.Name, element.Colour);
    SetRegDword(HKEY_CURRENT_USER, SettingsKey, L"QZL", 0);
    SendMessageW(T.Item, WM_CREATE, 0, 0);
    Refresh();
}

static void Select(BOOL selected)
{
    SendMessageW(T.Item, selected ? WM_TODAYCUSTOM_RECEIVEDSELECTION : WM_TODAYCUSTOM_LOSTSELECTION, VK_DOWN, 0);
    PaintAndRead();
}

static void CheckElementColours(BOOL expected)
{
    for (const ElementColours &element : Elements) {
        int count = CountColour(element.Colour);
        ok(expected ? count > 0 : count == 0, "%ls: %d pixels\n", element.Name, count);
    }
}

static void test_colour_schemes()
{
    const COLORREF defaultColour = RGB(0, 128, 255), highlightColour = RGB(255, 128, 0);
    CellGeometry cell = Cell(TRUE);
    COLORREF first = 0;

    UseElementScheme(0, defaultColour, highlightColour);
    Select(FALSE);
    ok(CountColour(T.Text) > 0 && CountColour(T.HighlightedText) == 0, "scheme 0: host text colour\n");
    Select(TRUE);
    ok(CountColour(T.HighlightedText) > 0 && CountColour(T.Text) == 0, "scheme 0 selected\n");
    // Selected: the highlight fill under the same cells.
    ok_int(PixelAt(0, 0), Shown(T.Highlight));
    ok_int(StripMismatches(cell, T.Highlight, TRUE, &first), 0);

    UseElementScheme(1, defaultColour, highlightColour);
    Select(FALSE);
    ok(CountColour(defaultColour) > 0 && CountColour(highlightColour) == 0, "scheme 1: default colour\n");
    ok_int(PixelAt(0, 0), Watermark(0, 0));
    Select(TRUE);
    ok(CountColour(highlightColour) > 0 && CountColour(defaultColour) == 0, "scheme 1 selected\n");

    UseElementScheme(2, defaultColour, highlightColour);
    Select(FALSE);
    CheckElementColours(TRUE);
    Select(TRUE);
    CheckElementColours(TRUE);
    ok_int(CountColour(highlightColour), 0);

    UseElementScheme(3, defaultColour, highlightColour);
    Select(FALSE);
    CheckElementColours(TRUE);
    Select(TRUE);
    CheckElementColours(FALSE);
    ok(CountColour(highlightColour) > 0, "scheme 3 selected: highlight colour\n");
    Select(FALSE);

    // Centred, with the operator name on: the date alone, in the day
    // colour; any other arrangement value is drawn the same way.
    const DWORD centred[] = {1, 9};
    for (DWORD center : centred) {
        UseElementScheme(2, defaultColour, highlightColour, center);
        Select(FALSE);
        ok(CountColour(RGB(255, 0, 255)) > 0 && CountColour(RGB(255, 255, 255)) == 0, "centred %lu: day %d, date %d\n",
           center, CountColour(RGB(255, 0, 255)), CountColour(RGB(255, 255, 255)));
    }
}

static const COLORREF MarkerColour = RGB(0, 255, 255), DayColour = RGB(255, 0, 255), DateColour = RGB(255, 128, 0);

// The height of "AM" in the 9-point bold Tahoma of the markers.
static int MarkerTextHeight()
{
    HDC dc = GetDC(NULL);
    HFONT font = CreateFontW(-MulDiv(9, T.Dpi, 72), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                             L"Tahoma");
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, L"AM", 2, &size);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(NULL, dc);
    return size.cy;
}

static RECT MarkerAt(WORD hour, DWORD singleLine)
{
    FakeNow.wHour = hour;
    UseSettings({{L"TextColorEnabled", 2}, {L"ColorExTMarker", MarkerColour}, {L"SingleTMLine", singleLine}});
    FakeNow = Morning;
    return InkBox(MarkerColour);
}

// Two lines: AM on the upper one (until noon) (its baseline the marker height + Y(5)
// above the content bottom), PM on the lower one, the time's baseline Y(6)
// above it; on a single line AM also stands on the time's baseline. Both
// are right-aligned on the same column.
static void test_marker_lines()
{
    RECT am = MarkerAt(10, 0);
    int baseline = T.Height - Scaled(6), upper = T.Height - MarkerTextHeight() - Scaled(5);
    RECT pm = MarkerAt(14, 0);
    RECT noon = MarkerAt(12, 0);
    RECT single = MarkerAt(10, 1);
    ok(am.left >= 0 && am.bottom == upper - 1, "AM ends on row %ld, its baseline is row %d\n", am.bottom, upper);
    ok(pm.left >= 0 && pm.bottom == baseline - 1, "PM ends on row %ld, the baseline is row %d\n", pm.bottom,
       baseline);
    ok(noon.top == pm.top && noon.bottom == pm.bottom, "12:10 is PM: rows %ld..%ld\n", noon.top, noon.bottom);
    ok(am.bottom < pm.top, "AM rows %ld..%ld overlap PM rows %ld..%ld\n", am.top, am.bottom, pm.top, pm.bottom);
    ok(single.left >= 0 && single.bottom == baseline - 1, "single-line AM ends on row %ld\n", single.bottom);
    ok(abs(am.right - pm.right) <= 1 && single.right == am.right, "markers end in columns %ld, %ld, %ld\n", am.right,
       pm.right, single.right);
}

static void UseDayDate(DWORD center, DWORD border)
{
    UseSettings({{L"TextColorEnabled", 2}, {L"ColorExDay", DayColour}, {L"ColorExDate", DateColour},
                 {L"CenterDayDate", center}, {L"ShowShortDate", 1}, {L"VerticalBorderHeight", border}});
}

// Text drawn left-aligned at the side margin X(10) starts within a glyph's
// side bearing of it, and text right-aligned at the width less the margin
// ends within one; the line's text top is Y(3) below the border.
static BOOL AtLeft(const RECT &ink)
{
    return ink.left >= Scaled(10) && ink.left <= Scaled(10) + Scaled(4);
}

static BOOL AtRight(const RECT &ink)
{
    int edge = T.Width - Scaled(10) - 1;
    return ink.left >= 0 && ink.right <= edge && ink.right >= edge - Scaled(4);
}

static BOOL OnDayDateLine(const RECT &ink, int border)
{
    int top = border + Scaled(3);
    return ink.top >= top && ink.top < top + LineHeight() / 2 && ink.bottom < top + LineHeight();
}

static void test_day_date_sides()
{
    // 0: the day on the left, the date on the right.
    UseDayDate(0, 0);
    RECT day = InkBox(DayColour), date = InkBox(DateColour);
    ok(AtLeft(day) && OnDayDateLine(day, 0), "day at %ld,%ld..%ld,%ld\n", day.left, day.top, day.right, day.bottom);
    ok(AtRight(date) && OnDayDateLine(date, 0), "date at %ld,%ld..%ld,%ld\n", date.left, date.top, date.right,
       date.bottom);
    // 2: swapped, here below a border of 5 rows.
    UseDayDate(2, 5);
    day = InkBox(DayColour), date = InkBox(DateColour);
    ok(AtLeft(date) && OnDayDateLine(date, 5), "date at %ld,%ld..%ld,%ld\n", date.left, date.top, date.right,
       date.bottom);
    ok(AtRight(day) && OnDayDateLine(day, 5), "day at %ld,%ld..%ld,%ld\n", day.left, day.top, day.right,
       day.bottom);
    // 1: the date alone, centred, in the day colour.
    UseDayDate(1, 0);
    day = InkBox(DayColour);
    int middle = (day.left + day.right + 1) / 2;
    ok(day.left >= 0 && abs(middle - T.Width / 2) <= Scaled(2) && OnDayDateLine(day, 0), "centred date at %ld..%ld\n",
       day.left, day.right);
    ok_int(InkBox(DateColour).left, -1);
}

// A border of 5 rows above and below the content: the item grows by 10,
// the rows outside the cell show the wallpaper untouched, and the day/date
// band and the time rows are tinted from the border on.
static void test_vertical_border()
{
    UseSettings({});
    int plain = T.Height;
    UseSettings({{L"VerticalBorderHeight", 5}});
    ok_int(T.Height, plain + 10);
    CellGeometry cell = Cell(TRUE, 5);
    COLORREF first = 0;
    int frame = FrameMismatches(cell, FALSE, &first);
    ok(frame == 0, "%d frame pixels differ from the wallpaper, first at %d,%d\n", frame, LOWORD(first),
       HIWORD(first));
    int strip = StripMismatches(cell, 0, FALSE, &first);
    ok(strip == 0, "%d cell pixels are not tinted for their band, first at %d,%d\n", strip, LOWORD(first),
       HIWORD(first));
    UseSettings({});
}

// An ordinary paint copies cached images: two BitBlts, one of them to the
// screen, no rebuild, and no DC or bitmap made.
static void test_paint_costs()
{
    UseSettings({});
    ResetCounts();
    PaintAndRead();
    ok_int(T.BitBlts, 2);
    ok_int(T.ScreenBitBlts, 1);
    ok_int(T.AlphaBlends, 0);
    ok_int(T.DibSections, 0);
    ok_int(T.WatermarkRequests, 0);
    ok_int(T.NewDCs, 0);
    ok_int(T.NewBitmaps, 0);

    // The first selection makes and draws the selected background; later
    // changes of selection only copy the other cached background.
    // Its bitmap is of the screen's kind: a DIB section on a 32-bit screen,
    // a compatible bitmap on any other.
    static const struct {
        int AlphaBlends, Bitmaps, NewDCs;
    } Selections[] = {{1, 1, 1}, {0, 0, 0}};
    for (const auto &s : Selections) {
        ResetCounts();
        Select(TRUE);
        Select(FALSE);
        ok_int(T.ScreenBitBlts, 2);
        ok_int(T.AlphaBlends, s.AlphaBlends);
        ok_int(T.DibSections + T.NewBitmaps, s.Bitmaps);
        ok_int(T.Bits == 32 ? T.NewBitmaps : T.DibSections, 0);
        ok_int(T.NewDCs, s.NewDCs);
    }

    // The host cleared its cache: a new background over the same cells, in
    // the same surfaces (the selected one waits for the next selection).
    SendMessageW(T.Item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0);
    ResetCounts();
    PaintAndRead();
    ok_int(T.AlphaBlends, 1);
    ok_int(T.WatermarkRequests, 1);
    ok_int(T.DibSections, 0);
    ok_int(T.ScreenBitBlts, 1);
    ok_int(T.NewDCs + T.NewBitmaps, 0);
    // The next selection draws it again, in its own surface.
    ResetCounts();
    Select(TRUE);
    Select(FALSE);
    ok_int(T.AlphaBlends, 1);
    ok_int(T.NewDCs + T.DibSections, 0);
}

// The item's surfaces (four memory DCs, each with its bitmap, once it has
// been selected) go with its window; a new window makes its own at its
// first paint, with the host's watermark drawn anew, and the selected
// background only when it is selected.
static void test_window_lifetime()
{
    UseSettings({});
    int held = CountGdiObjects();
    DestroyWindow(T.Item);
    ok_int(CountGdiObjects(), held - 8);
    T.Item = ItemInitializer(T.Dll)(&T.ListItem, T.Host);
    ok(T.Item != NULL, "no new item window\n");
    Refresh();
    ResetCounts();
    PaintAndRead();
    ok_int(CountGdiObjects(), held - 2);
    ok_int(T.WatermarkRequests, 1);
    ok_int(T.ScreenBitBlts, 1);
    COLORREF first = 0;
    int frame = FrameMismatches(Cell(TRUE), FALSE, &first);
    ok(frame == 0, "%d frame pixels differ in the new window, first at %d,%d\n", frame, LOWORD(first),
       HIWORD(first));
}

// The bitmaps of new surfaces (cells, background, compose) by the screen's
// depth: the cells are always a DIB section, the other two are of the
// screen's kind.
static void CheckNewSurfaces()
{
    static const struct {
        int Bits, DibSections, CompatibleBitmaps;
    } kinds[] = {{32, 3, 0}, {16, 1, 2}};
    for (const auto &k : kinds)
        if (k.Bits == T.Bits)
            ok(T.DibSections == k.DibSections && T.NewBitmaps == k.CompatibleBitmaps,
               "%d bits: %d DIB sections and %d compatible bitmaps\n", T.Bits, T.DibSections, T.NewBitmaps);
}

// A narrower host (rotation): the window follows, and cells, background and
// compose surface are made for the new width within the same paint.
static void test_width_change()
{
    // A time group narrow enough for the narrower strip.
    UseSettings({{L"ShowSeconds", 0}, {L"ShowTimeMarkers", 0}, {L"AlarmIconEnabled", 0}});
    int wide = T.Width;
    T.Width = wide - 40;
    SetWindowPos(T.Host, NULL, 0, 0, T.Width, GetSystemMetrics(SM_CYSCREEN), SWP_NOMOVE | SWP_NOZORDER);
    ResetCounts();
    PaintAndRead();
    RECT rect;
    GetClientRect(T.Item, &rect);
    ok_int(rect.right, T.Width);
    ok_int(T.Moves, 1);
    CheckNewSurfaces();
    ok_int(T.AlphaBlends, 1);
    ok_int(T.WatermarkRequests, 1);
    ok_int(T.ScreenBitBlts, 1);
    COLORREF first = 0;
    int frame = FrameMismatches(Cell(TRUE), FALSE, &first);
    ok(frame == 0, "%d frame pixels differ at width %d, first at %d,%d\n", frame, T.Width, LOWORD(first),
       HIWORD(first));

    T.Width = wide;
    SetWindowPos(T.Host, NULL, 0, 0, T.Width, GetSystemMetrics(SM_CYSCREEN), SWP_NOMOVE | SWP_NOZORDER);
    PaintAndRead();
}

static BOOL TurnScreen(DWORD width, DWORD height)
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsExW(NULL, &mode, NULL, 0, NULL) == DISP_CHANGE_SUCCESSFUL;
}

// Turning a 240x320 screen to 320x240: the item sees landscape, asks for a
// new background, and paints the full new width.
static void test_rotation()
{
    if (GetSystemMetrics(SM_CXSCREEN) != 240 || GetSystemMetrics(SM_CYSCREEN) != 320) {
        skip("the turn is from a 240x320 screen");
        return;
    }
    UseSettings({});
    ok(TurnScreen(320, 240), "the screen did not turn\n");
    T.Width = GetSystemMetrics(SM_CXSCREEN);
    SetWindowPos(T.Host, NULL, 0, 0, T.Width, GetSystemMetrics(SM_CYSCREEN), SWP_NOMOVE | SWP_NOZORDER);
    ok_int(Refresh(), TRUE);
    ResetCounts();
    PaintAndRead();
    CheckNewSurfaces();
    ok_int(T.AlphaBlends, 1);
    COLORREF first = 0;
    int frame = FrameMismatches(Cell(TRUE), FALSE, &first);
    ok(frame == 0, "landscape: %d frame pixels differ, first at %d,%d\n", frame, LOWORD(first), HIWORD(first));
    ok_int(Refresh(), FALSE);

    // Back to the device's own mode.
    ChangeDisplaySettingsExW(NULL, NULL, NULL, 0, NULL);
    T.Width = GetSystemMetrics(SM_CXSCREEN);
    SetWindowPos(T.Host, NULL, 0, 0, T.Width, GetSystemMetrics(SM_CYSCREEN), SWP_NOMOVE | SWP_NOZORDER);
    ok_int(T.Width, 240);
    ok_int(Refresh(), TRUE);
    PaintAndRead();
}

// Font sizes from the registry, sensible or not, give a usable face (the
// largest ones need not fit the strip).
static void test_font_sizes()
{
    const DWORD sizes[] = {0, 16, 99, 100, 5000, 0x7FFFFFFF, 0xFFFFFFFF};
    int largest = 0;
    for (DWORD size : sizes) {
        UseSettings({{L"HourMinFontSize", size}, {L"SecondFontSize", size}, {L"TimeMarkerFontSize", size}});
        ok(T.Height > 0 && T.Height < GetSystemMetrics(SM_CYSCREEN), "size %lu: item height %d\n", size, T.Height);
        if (size == 99)
            largest = T.Height;
        if (size > 99)
            ok_int(T.Height, largest);
        ResetCounts();
        PaintAndRead();
        ok_int(T.ScreenBitBlts, 1);
        ok_int(PixelAt(0, 0), Watermark(0, 0));
    }
    UseSettings({});
}

int main()
{
    HDC screen = GetDC(NULL);
    T.Dpi = GetDeviceCaps(screen, LOGPIXELSY);
    T.Bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(NULL, screen);
    T.PrivateFont = GetFileAttributesW(L"C:\\Program Files\\Quartzel\\QZL.ttf") != INVALID_FILE_ATTRIBUTES;
    ResetRegKey(HKEY_CURRENT_USER, SettingsKey);
    SetAlarm(0);
    CreateHost();
    CreateReadBuffer();
    ok(LoadItem(), "the item did not load\n");
    if (T.Item == NULL)
        return TestSummary();
    run_test(test_item_height);
    run_test(test_default_face);
    run_test(test_digit_cells);
    run_test(test_bell);
    run_test(test_bell_follows_font_size);
    run_test(test_key_colour);
    run_test(test_grey_cells);
    run_test(test_colour_schemes);
    run_test(test_marker_lines);
    run_test(test_day_date_sides);
    run_test(test_vertical_border);
    run_test(test_paint_costs);
    run_test(test_window_lifetime);
    run_test(test_width_change);
    run_test(test_rotation);
    run_test(test_font_sizes);
    SetAlarm(0);
    ResetRegKey(HKEY_CURRENT_USER, SettingsKey);
    DestroyWindow(T.Item);
    DestroyWindow(T.Host);
    FreeLibrary(T.Dll);
    SelectObject(T.ReadDC, T.ReadPrevious);
    DeleteObject(T.ReadBitmap);
    DeleteDC(T.ReadDC);
    return TestSummary();
}
