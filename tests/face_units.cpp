// Fonts, private digits and layout of the clock face, with the item's code
// linked into this program and the device's real screen and fonts.
#include "testlib.h"
#include "settings.h"
#include "fonts.h"
#include "layout.h"
#include "timeformat.h"
#include "paint.h"
#include "iat.h"

static int Dpi;

static void UseSizes(DWORD hour, DWORD seconds, DWORD marker)
{
    ClockSettings.HourMinFontSize = hour;
    ClockSettings.SecondFontSize = seconds;
    ClockSettings.TimeMarkerFontSize = marker;
}

static LOGFONTW FontOf(HFONT font)
{
    LOGFONTW logfont = {};
    ok(font != NULL, "font not created\n");
    if (font)
        GetObjectW(font, sizeof(logfont), &logfont);
    return logfont;
}

static BOOL PrivateFontFileExists()
{
    return GetFileAttributesW(L"C:\\Program Files\\Quartzel\\QZL.ttf") != INVALID_FILE_ATTRIBUTES;
}

static void test_resolution()
{
    HDC screen = GetDC(NULL);
    int y = GetDeviceCaps(screen, LOGPIXELSY), x = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    ok_int(ScreenLogPixelsY(), y);
    ok_int(ScreenLogPixelsX(), x);
    Dpi = y;
    ok(Dpi == 96 || Dpi == 128 || Dpi == 192, "profile resolution %d\n", Dpi);
    if (Dpi == 128) {
        ok_int(DeviceY(75), 100);
        ok_int(DeviceY(11), 15);
        ok_int(DeviceY(6), 8);
        ok_int(DeviceY(3), 4);
        ok_int(DeviceX(10), 13);
        ok_int(BellWidth(128), 15);
    }
    if (Dpi == 192) {
        ok_int(DeviceY(75), 150);
        ok_int(DeviceX(10), 20);
    }
}

static void test_probe()
{
    BOOL fontFile = PrivateFontFileExists();
    InstallAndProbePrivateFont();
    ok_wstr(FontProbe.ProgramFilesPath, L"C:\\Program Files");
    ok_int(FontProbe.TahomaFound, 1);
    ok_int(FontProbe.PrivateFontAdded, fontFile);
    ok_int(FontProbe.PrivateFaceFound, fontFile);
    ok_int(FontProbe.FontLevel, fontFile ? 3 : 1);
}

static void test_font_heights()
{
    int hour = 0, seconds = 0, marker = 0;
    switch (Dpi) {
    case 96: hour = -51, seconds = -35, marker = -12; break;
    case 128: hour = -68, seconds = -47, marker = -16; break;
    case 192: hour = -102, seconds = -70, marker = -24; break;
    }
    // Zero sizes fall back to the 96-dpi pixel sizes, scaled.
    UseSizes(0, 0, 0);
    ClockFontHeights heights = ComputeClockFontHeights();
    ok_int(heights.Hour, hour);
    ok_int(heights.Seconds, seconds);
    ok_int(heights.Marker, marker);

    UseSizes(38, 26, 9);
    heights = ComputeClockFontHeights();
    ok_int(heights.Hour, -MulDiv(38, Dpi, 72));
    ok_int(heights.Seconds, -MulDiv(26, Dpi, 72));
    ok_int(heights.Marker, -MulDiv(9, Dpi, 72));
    if (Dpi == 96) {
        ok_int(heights.Hour, -51);
        ok_int(heights.Seconds, -35);
        ok_int(heights.Marker, -12);
    }
    ok_int(heights.DayDate, -MulDiv(SystemUiFontPoints(), Dpi, 72));

    // Seconds and markers never outgrow the hour digits.
    UseSizes(20, 30, 40);
    heights = ComputeClockFontHeights();
    ok_int(heights.Seconds, heights.Hour);
    ok_int(heights.Marker, heights.Hour);

    // The options' largest size is honoured; anything beyond it from the
    // registry is taken as that size.
    UseSizes(99, 99, 99);
    heights = ComputeClockFontHeights();
    ok_int(heights.Hour, -MulDiv(99, Dpi, 72));
    UseSizes(0xFFFFFFFF, 100000, 0x80000000);
    heights = ComputeClockFontHeights();
    ok_int(heights.Hour, -MulDiv(99, Dpi, 72));
    ok_int(heights.Seconds, heights.Hour);
    ok_int(heights.Marker, heights.Hour);
}

static void test_build_fonts()
{
    ClockSettings.ClearTypeDayDateEnabled = 1;
    ClockSettings.ClearTypeTimeEnabled = 0;
    ClockSettings.SingleTMLine = 0;
    UseSizes(38, 26, 9);
    BuildClockFonts();
    ClockFontHeights heights = ComputeClockFontHeights();
    LOGFONTW dayDate = FontOf(ClockFonts.DayDateFont);
    LOGFONTW marker = FontOf(ClockFonts.TimeMarkerFont);
    LOGFONTW hour = FontOf(ClockFonts.HourMinuteFont);
    LOGFONTW seconds = FontOf(ClockFonts.SecondsFont);
    ok_wstr(dayDate.lfFaceName, L"Tahoma");
    ok_int(dayDate.lfWeight, FW_BOLD);
    ok_int(dayDate.lfQuality, 6);
    ok_int(dayDate.lfCharSet, DEFAULT_CHARSET);
    ok_int(dayDate.lfHeight, heights.DayDate);
    ok_wstr(marker.lfFaceName, L"Tahoma");
    ok_int(marker.lfWeight, FW_BOLD);
    ok_int(marker.lfQuality, 0);
    ok_int(marker.lfHeight, heights.Marker);
    BOOL privateFace = FontProbe.FontLevel >= 2;
    ok_wstr(hour.lfFaceName, privateFace ? L"QZL" : L"Tahoma");
    ok_int(hour.lfWeight, privateFace ? FW_MEDIUM : FW_NORMAL);
    ok_int(hour.lfHeight, heights.Hour);
    ok_wstr(seconds.lfFaceName, hour.lfFaceName);
    ok_int(seconds.lfWeight, hour.lfWeight);
    ok_int(seconds.lfHeight, heights.Seconds);
    ok_int(dayDate.lfWidth, 0);
    ok_int(hour.lfWidth, 0);
    // 9 points is well below 40 % of 38: two marker lines stay possible.
    ok_int(ClockSettings.SingleTMLine, 0);

    // 16-point markers beside 38-point digits only fit one line.
    UseSizes(38, 26, 16);
    BuildClockFonts();
    ok_int(ClockSettings.SingleTMLine, 1);
    // The rule only ever sets the flag.
    UseSizes(38, 26, 9);
    BuildClockFonts();
    ok_int(ClockSettings.SingleTMLine, 1);
    ClockSettings.SingleTMLine = 0;

    // Absurd sizes build usable fonts.
    UseSizes(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    BuildClockFonts();
    ok_int(FontOf(ClockFonts.HourMinuteFont).lfHeight, -MulDiv(99, Dpi, 72));
}

static void test_mapping()
{
    WCHAR text[100];
    lstrcpyW(text, L"12:05");
    MapToPrivateDigits(text);
    const WCHAR time[] = {0x2FE1, 0x2FE2, 0x2FEA, 0x2FE0, 0x2FE5, 0};
    ok_wstr(text, time);
    lstrcpyW(text, L"a.m.");
    MapToPrivateDigits(text);
    const WCHAR marker[] = {'a', 0x2FEB, 'm', 0x2FEB, 0};
    ok_wstr(text, marker);
    lstrcpyW(text, L"09/8 x");
    MapToPrivateDigits(text);
    const WCHAR mixed[] = {0x2FE0, 0x2FE9, '/', 0x2FE8, ' ', 'x', 0};
    ok_wstr(text, mixed);

    // Beyond 59 characters the text is cut, and nothing past the input's
    // own terminator is written.
    for (int i = 0; i < 80; i++)
        text[i] = L'7';
    text[80] = 0;
    for (int i = 81; i < 100; i++)
        text[i] = L'#';
    MapToPrivateDigits(text);
    ok_int(lstrlenW(text), 59);
    ok_int(text[58], 0x2FE7);
    ok_int(text[81], L'#');
    ok_int(text[99], L'#');
}

static HWND CreateItemLikeWindow(HWND *parent)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FaceUnitsWindow";
    RegisterClassW(&wc);
    *parent = CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP, 0, 0, 240, 320, NULL, NULL, wc.hInstance,
                              NULL);
    return CreateWindowExW(0, wc.lpszClassName, L"item", WS_CHILD, 0, 0, 240, 60, *parent, NULL, wc.hInstance,
                           NULL);
}

static int TextWidth(HDC dc, HFONT font, const WCHAR *text)
{
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, previous);
    return size.cx;
}

// The measured digit and item heights of this device, for the record, and
// the layout against widths measured here.
static void test_measured_layout()
{
    HWND parent;
    HWND window = CreateItemLikeWindow(&parent);
    UseSizes(38, 26, 9);
    ClockSettings.ShowSeconds = 1;
    ClockSettings.ShowTimeMarkers = 1;
    ClockSettings.AlarmIconEnabled = 1;
    ClockSettings.ShowDayDate = 1;
    ClockSettings.VerticalBorderHeight = 0;
    BuildClockFonts();
    ProbeDpiX();
    ok_int(ClockLayout.DpiX, Dpi);
    ClockLayout.DigitHeight = MeasureDigitHeight(window);
    int line = MeasureLineHeight(window);
    lstrcpyW(TimeFormatInfo.AmMarker, L"AM");
    lstrcpyW(TimeFormatInfo.PmMarker, L"PM");
    LayOutFace(window);
    int content = ComputeContentHeight(window);
    printf("dpi %d, FontLevel %lu: digit height %d, line height %d, content height %d (item %d)\n", Dpi,
           FontProbe.FontLevel, ClockLayout.DigitHeight, line, content, content);
    ok(ClockLayout.DigitHeight > 0 && ClockLayout.DigitHeight < MulDiv(38, Dpi, 72), "digit height %d\n",
       ClockLayout.DigitHeight);
    ok_int(content, ClockLayout.DigitHeight + DeviceY(75) / ClockLayout.DigitHeight + DeviceY(11) + line);

    HDC dc = GetDC(window);
    WCHAR sample[] = L"023456789", separator[] = L":";
    if (FontProbe.FontLevel >= 2) {
        MapToPrivateDigits(sample);
        MapToPrivateDigits(separator);
    }
    int w = MulDiv(TextWidth(dc, ClockFonts.HourMinuteFont, sample), 2, 9);
    int s = TextWidth(dc, ClockFonts.HourMinuteFont, separator);
    int secondsWidth = MulDiv(TextWidth(dc, ClockFonts.SecondsFont, sample), 2, 9);
    int am = TextWidth(dc, ClockFonts.TimeMarkerFont, L"AM"), pm = TextWidth(dc, ClockFonts.TimeMarkerFont, L"PM");
    ReleaseDC(window, dc);
    ok_int(ClockLayout.HourRight, w);
    ok_int(ClockLayout.SeparatorCenter, w + s / 2);
    ok_int(ClockLayout.MinuteRight, s + 2 * w);
    ok_int(ClockLayout.SecondsRight, s + 2 * w + secondsWidth + w / 14);
    int k = ClockLayout.SecondsRight + w / 8, m = am > pm ? am : pm, b = BellWidth(Dpi);
    if (m >= b) {
        ok_int(ClockLayout.MarkerRight, k + m);
        ok_int(ClockLayout.TimeWidth, k + m);
    } else {
        ok_int(ClockLayout.MarkerRight, k - (b - m) / 2 + b);
    }
    ok_int(ClockLayout.BellTop, DeviceY(7) + ClockLayout.DigitHeight / DeviceY(21) + line);
    ok_int(ClockLayout.DayDateTop, DeviceY(3));
    ok_int(ClockLayout.DayDateSideMargin, DeviceX(10));
    DestroyWindow(parent);
}

static void test_worked_examples()
{
    if (Dpi != 96) {
        skip("the worked examples are at 96 dpi");
        return;
    }
    ClockSettings.ShowDayDate = 1;
    ClockSettings.VerticalBorderHeight = 0;
    ClockLayout.DigitHeight = 37;
    ok_int(ContentHeightFor(37, 13), 63);
    PlaceVerticalMetrics(13);
    ok_int(ClockLayout.BellTop, 21);
    ok_int(ClockLayout.DayDateTop, 3);

    ClockSettings.ShowDayDate = 0;
    ClockSettings.VerticalBorderHeight = 4;
    PlaceVerticalMetrics(13);
    ok_int(ContentHeightFor(37, 13), 47);
    ok_int(ClockLayout.BellTop, 9);
    ok_int(ClockLayout.DayDateTop, 7);
    ok_int(ClockLayout.BottomMargin, 6);
    ok_int(ClockLayout.DayDateGap, 5);
    ClockSettings.VerticalBorderHeight = 0;
}

static void test_marker_column()
{
    const int k = 100;
    ClockSettings.AlarmIconEnabled = 1;
    // Markers off, bell on: the markers' anchor is centred in the bell column.
    PlaceMarkerColumn(k, 0, 11);
    ok_int(ClockLayout.BellLeft, k);
    ok_int(ClockLayout.MarkerRight, k + 6);
    ok_int(ClockLayout.TimeWidth, k + 17);
    // Wider markers: the bell is centred under them.
    PlaceMarkerColumn(k, 18, 11);
    ok_int(ClockLayout.BellLeft, k + 4);
    ok_int(ClockLayout.MarkerRight, k + 18);
    ok_int(ClockLayout.TimeWidth, k + 18);
    PlaceMarkerColumn(k, 15, 15);
    ok_int(ClockLayout.BellLeft, k);
    ok_int(ClockLayout.MarkerRight, k + 15);
    ok_int(ClockLayout.TimeWidth, k + 15);
    // Neither markers nor bell: the group ends with the digits.
    ClockSettings.AlarmIconEnabled = 0;
    ClockLayout.BellLeft = 77;
    ClockLayout.MinuteRight = 90;
    ClockLayout.SecondsRight = 95;
    ClockSettings.ShowSeconds = 0;
    PlaceMarkerColumn(k, 0, 11);
    ok_int(ClockLayout.TimeWidth, 90);
    ok_int(ClockLayout.MarkerRight, k);
    ok_int(ClockLayout.BellLeft, 77);
    ClockSettings.ShowSeconds = 1;
    PlaceMarkerColumn(k, 0, 11);
    ok_int(ClockLayout.TimeWidth, 95);
    ClockSettings.AlarmIconEnabled = 1;
}

static void test_item_rect()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FaceRectWindow";
    RegisterClassW(&wc);
    HWND outer = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 300, 320, NULL, NULL, NULL, NULL);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 240, 320, outer, NULL, NULL, NULL);
    HWND item = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 10, 240, 57, parent, NULL, NULL, NULL);
    RECT rect;
    ItemRect(item, &rect);
    ok(rect.left == 0 && rect.top == 0 && rect.right == 240 && rect.bottom == 57, "rect %ld,%ld,%ld,%ld\n",
       rect.left, rect.top, rect.right, rect.bottom);
    SetWindowPos(item, NULL, 8, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ItemRect(item, &rect);
    ok_int(rect.right, 232);
    // A narrower grandparent limits the width.
    SetWindowPos(item, NULL, 0, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(outer, NULL, 0, 0, 200, 320, SWP_NOMOVE | SWP_NOZORDER);
    ItemRect(item, &rect);
    ok_int(rect.right, 200);
    DestroyWindow(outer);
    // Every profile's screen is portrait or square.
    ok_int(ProbeLandscape(), 0);
}

static RECT InkBounds(const DWORD *bits, int w, int h)
{
    RECT ink = {w, h, -1, -1};
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if ((bits[y * w + x] & 0xFFFFFF) == 0) {
                if (x < ink.left) ink.left = x;
                if (y < ink.top) ink.top = y;
                if (x > ink.right) ink.right = x;
                if (y > ink.bottom) ink.bottom = y;
            }
    return ink;
}

// The bell's outline fills exactly its box at each resolution, and is not
// drawn at any other.
static void test_bell_outline()
{
    const int w = 40, h = 40;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    const int dpis[] = {96, 128, 192, 120};
    const int boxes[][2] = {{11, 12}, {15, 14}, {20, 23}, {0, 0}};
    int saved = ClockLayout.DpiX;
    for (int i = 0; i < 4; i++) {
        PatBlt(dc, 0, 0, w, h, WHITENESS);
        ClockLayout.DpiX = dpis[i];
        DrawBellOutline(dc, 5, 7);
        GdiFlush();
        RECT ink = InkBounds((const DWORD *)bits, w, h);
        if (boxes[i][0] == 0) {
            ok(ink.right < 0, "bell drawn at %d dpi\n", dpis[i]);
            continue;
        }
        ok(ink.left == 5 && ink.top == 7 && ink.right - ink.left + 1 == boxes[i][0] &&
               ink.bottom - ink.top + 1 == boxes[i][1],
           "%d dpi: ink %ld,%ld %ldx%ld\n", dpis[i], ink.left, ink.top, ink.right - ink.left + 1,
           ink.bottom - ink.top + 1);
    }
    ClockLayout.DpiX = saved;
    SelectObject(dc, previousBrush);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

static void test_cell_alpha()
{
    ClockSettings.AlphaReserved = 0xA0B0C0;
    ClockSettings.AlphaTime = 0x2D000000;
    ClockSettings.AlphaDayDate = 0x66000000;
    ClockSettings.AlphaTransparent = 0x01020304;
    // Three rows of two, bottom row first; the band starts at row 2.
    DWORD bits[6] = {0xA0B0C0, 0, 0xA0B0C0, 0xFFA0B0C0, 0xA0B0C0, 0xA0B0C1};
    ApplyCellAlpha(bits, 2, 3, 2);
    ok_int(bits[0], 0x2D000000);
    ok_int(bits[1], 0x01020304);
    ok_int(bits[2], 0x2D000000);
    ok_int(bits[3], 0x01020304);
    ok_int(bits[4], 0x66000000);
    ok_int(bits[5], 0x01020304);
    ClockSettings.AlphaTransparent = 0;
}

// No measure may divide by zero, and an unsupported resolution gives the
// item no height.
static void test_bad_input()
{
    ClockSettings.ShowDayDate = 1;
    ClockLayout.DigitHeight = 0;
    ok_int(ContentHeightFor(0, 13), DeviceY(11) + 13);
    ClockLayout.DigitHeight = -5;
    PlaceVerticalMetrics(13);
    ok_int(ClockLayout.BellTop, DeviceY(7) + 13);

    ClockSettings.VerticalBorderHeight = 40;
    int saved = ClockLayout.DpiX;
    const int unsupported[] = {120, 0, -1, 144};
    for (int dpi : unsupported) {
        ClockLayout.DpiX = dpi;
        ClockSettings.VerticalBorderHeight = 40;
        ok_int(ComputeContentHeight(NULL), 0);
        ok_int(ClockSettings.VerticalBorderHeight, 0);
        ok_int(BellWidth(dpi), 0);
    }
    ClockLayout.DpiX = saved;

    // A window without fonts measures zeros and lays out without faults.
    HWND parent;
    HWND window = CreateItemLikeWindow(&parent);
    DeleteClockFonts();
    ClockLayout.DigitHeight = MeasureDigitHeight(window);
    LayOutFace(window);
    ok(ComputeContentHeight(window) >= 0, "content height\n");
    DestroyWindow(parent);
    BuildClockFonts();
}

static int BitBlts;
typedef BOOL(WINAPI *BitBltFunction)(HDC, int, int, int, int, HDC, int, int, DWORD);
static BitBltFunction RealBitBlt;

// This program's own import is replaced, so the real function is called
// through the address the table held before.
static BOOL WINAPI CountingBitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop)
{
    BitBlts++;
    return RealBitBlt(dest, x, y, w, h, source, sx, sy, rop);
}

static LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        return PaintItem(window);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Without a content height, or at a resolution the face has no outlines
// for, paint draws nothing but still validates the window.
static void test_nothing_drawn()
{
    void *original = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "BitBlt", (void *)CountingBitBlt, &original) > 0, "BitBlt\n");
    RealBitBlt = (BitBltFunction)original;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintingProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FacePaintingWindow";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, L"FaceUnitsWindow", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, NULL, NULL,
                                  NULL, NULL);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"item", WS_CHILD | WS_VISIBLE, 0, 0, 240, 60, parent, NULL,
                                  wc.hInstance, NULL);
    CreateCellsDC();
    int saved = ClockLayout.DpiX;
    const int cases[][2] = {{120, 50}, {0, 50}, {saved, 0}};
    for (const auto &c : cases) {
        ClockLayout.DpiX = c[0];
        ClockLayout.ContentHeight = c[1];
        BitBlts = 0;
        InvalidateRect(window, NULL, FALSE);
        UpdateWindow(window);
        RECT update;
        ok(BitBlts == 0 && !GetUpdateRect(window, &update, FALSE), "dpi %d, height %d: %d BitBlts\n", c[0], c[1],
           BitBlts);
    }
    // The same window at a supported resolution is drawn, in one copy to
    // the screen after the cached background's.
    ClockLayout.DpiX = saved;
    ClockLayout.ContentHeight = 50;
    BitBlts = 0;
    InvalidateRect(window, NULL, FALSE);
    UpdateWindow(window);
    ok_int(BitBlts, 2);
    DestroyWindow(parent);
    DeleteFaceBitmaps();
    ok(FaceBitmaps.CellsDC == NULL && FaceBitmaps.CellsBitmap == NULL && FaceBitmaps.NormalBackground == NULL &&
           FaceBitmaps.SelectedBackground == NULL,
       "bitmaps left\n");
}

int main()
{
    run_test(test_resolution);
    run_test(test_probe);
    run_test(test_font_heights);
    run_test(test_build_fonts);
    run_test(test_mapping);
    run_test(test_measured_layout);
    run_test(test_worked_examples);
    run_test(test_marker_column);
    run_test(test_item_rect);
    run_test(test_bell_outline);
    run_test(test_cell_alpha);
    run_test(test_bad_input);
    run_test(test_nothing_drawn);
    DeleteClockFonts();
    RemovePrivateFont();
    return TestSummary();
}
