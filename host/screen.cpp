// Drawing the Today screen: the wallpaper, the title band with "Start" and
// the date, the host's own rows (owner, appointments, messages), the
// selection bar and the softkey bar. The wallpaper is also what the host
// hands to its items as their watermark.
#include "todayemu.h"

#include <math.h>
#include <stdio.h>

// Theme: white text, a blue highlight bar with white text on it.
static const COLORREF ThemeText = RGB(0xFF, 0xFF, 0xFF);
static const COLORREF ThemeHighlight = RGB(0x00, 0x50, 0xA0);
static const COLORREF ThemeHighlightedText = RGB(0xFF, 0xFF, 0xFF);
static const COLORREF BandColor = RGB(0x0C, 0x16, 0x2C);
static const COLORREF BandLineColor = RGB(0x3A, 0x6E, 0xB4);

int ScaleToDpi(int pixels96)
{
    return MulDiv(pixels96, Host.Dpi, 96);
}

int TitleBandHeight(void)
{
    return ScaleToDpi(26);
}

int SoftkeyBarHeight(void)
{
    return ScaleToDpi(26);
}

int BuiltInRowHeight(void)
{
    return ScaleToDpi(24);
}

static HFONT CreateUiFont(int points, int weight)
{
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(points, Host.Dpi, 72);
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&lf);
}

void CreateScreenResources(void)
{
    HDC screen = GetDC(NULL);
    Host.Dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(NULL, screen);
    if (Host.Dpi <= 0)
        Host.Dpi = 96;
    Host.TextFont = CreateUiFont(8, FW_NORMAL);
    Host.TitleFont = CreateUiFont(9, FW_BOLD);
    Host.WallpaperDC = CreateCompatibleDC(NULL);
}

static void FreeWallpaperBitmap(void)
{
    if (!Host.Wallpaper)
        return;
    SelectObject(Host.WallpaperDC, Host.WallpaperPrevious);
    DeleteObject(Host.Wallpaper);
    Host.Wallpaper = NULL;
    Host.WallpaperPrevious = NULL;
}

void DestroyScreenResources(void)
{
    FreeWallpaperBitmap();
    if (Host.WallpaperDC)
        DeleteDC(Host.WallpaperDC);
    if (Host.TextFont)
        DeleteObject(Host.TextFont);
    if (Host.TitleFont)
        DeleteObject(Host.TitleFont);
    Host.WallpaperDC = NULL;
    Host.TextFont = NULL;
    Host.TitleFont = NULL;
}

// ---------------------------------------------------------------------------
// Wallpaper: a dusk sky (vertical gradient), a pale moon with a ring, and
// two rows of hills, computed per pixel so that it is the same on every run
// and scales with the screen (shapes are sized by the shorter side).

struct Rgb {
    double R, G, B;
};

static Rgb Mix(Rgb a, Rgb b, double t)
{
    return Rgb{a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

static double Clamp01(double v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Coverage of a pixel by a disc edge at distance d from the centre.
static double DiscCoverage(double d, double radius)
{
    return Clamp01(radius - d + 0.5);
}

static Rgb SkyColour(double v)
{
    static const Rgb top = {0x16, 0x22, 0x46};
    static const Rgb middle = {0x3A, 0x4E, 0x8C};
    static const Rgb bottom = {0xB0, 0x6A, 0x7E};
    return v < 0.6 ? Mix(top, middle, v / 0.6) : Mix(middle, bottom, (v - 0.6) / 0.4);
}

static Rgb WallpaperPixel(int x, int y, int width, int height)
{
    double unit = (width < height ? width : height) / 240.0;
    double v = (y + 0.5) / height;
    Rgb c = SkyColour(v);
    double px = x + 0.5, py = y + 0.5;
    // Moon and its halo ring.
    double mx = width * 0.74, my = height * 0.34, mr = 34 * unit;
    double d = sqrt((px - mx) * (px - mx) + (py - my) * (py - my));
    c = Mix(c, Rgb{0xF4, 0xEC, 0xD6}, 0.55 * DiscCoverage(d, mr));
    double ring = 1 - Clamp01(fabs(d - mr * 1.45) - 1.2 * unit);
    c = Mix(c, Rgb{0xF4, 0xEC, 0xD6}, 0.18 * ring);
    // Far hills, then near hills.
    double farEdge = height * 0.80 + sin(px / (37 * unit)) * 9 * unit + sin(px / (13 * unit)) * 3 * unit;
    c = Mix(c, Rgb{0x3C, 0x34, 0x66}, Clamp01(py - farEdge + 0.5));
    double nearEdge = height * 0.88 + sin(px / (29 * unit) + 1.7) * 8 * unit;
    c = Mix(c, Rgb{0x1E, 0x1C, 0x3C}, Clamp01(py - nearEdge + 0.5));
    return c;
}

void BuildWallpaper(void)
{
    FreeWallpaperBitmap();
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = Host.Width;
    bmi.bmiHeader.biHeight = -Host.Height;   // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    Host.Wallpaper = CreateDIBSection(Host.WallpaperDC, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!Host.Wallpaper)
        return;
    DWORD *pixel = (DWORD *)bits;
    for (int y = 0; y < Host.Height; ++y)
        for (int x = 0; x < Host.Width; ++x) {
            Rgb c = WallpaperPixel(x, y, Host.Width, Host.Height);
            *pixel++ = ((DWORD)lround(c.R) << 16) | ((DWORD)lround(c.G) << 8) | (DWORD)lround(c.B);
        }
    Host.WallpaperPrevious = (HBITMAP)SelectObject(Host.WallpaperDC, Host.Wallpaper);
}

// ---------------------------------------------------------------------------
// Host messages from items.

LRESULT ThemeColor(WPARAM which)
{
    switch (which) {
    case TODAYCOLOR_HIGHLIGHT:
        return ThemeHighlight;
    case TODAYCOLOR_HIGHLIGHTEDTEXT:
        return ThemeHighlightedText;
    default:
        return ThemeText;
    }
}

LRESULT DrawWatermark(const TODAYDRAWWATERMARKINFO *info)
{
    if (!info || !info->hdc)
        return FALSE;
    // The rectangle is in the item window's client coordinates; the
    // wallpaper is laid out in the host's.
    POINT origin = {info->rc.left, info->rc.top};
    if (info->hwnd)
        MapWindowPoints(info->hwnd, Host.Window, &origin, 1);
    BitBlt(info->hdc, info->rc.left, info->rc.top, info->rc.right - info->rc.left,
           info->rc.bottom - info->rc.top, Host.WallpaperDC, origin.x, origin.y, SRCCOPY);
    return TRUE;
}

// ---------------------------------------------------------------------------
// The host's own drawing.

static void FillSolid(HDC dc, const RECT *rc, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, rc, brush);
    DeleteObject(brush);
}

static void DrawLabel(HDC dc, HFONT font, COLORREF colour, const wchar_t *text, RECT *rc,
                     UINT format)
{
    HFONT previousFont = (HFONT)SelectObject(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, rc, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, previousFont);
}

// The four-pane logo of the Start button: panes of side `pane` with a
// gap between them, in a square of side `size` at (x, y).
static void DrawStartLogo(HDC dc, int x, int y, int size)
{
    static const COLORREF panes[4] = {RGB(0xF2, 0x50, 0x22), RGB(0x7F, 0xBA, 0x00),
                                      RGB(0x00, 0xA4, 0xEF), RGB(0xFF, 0xB9, 0x00)};
    int gap = size > 10 ? 2 : 1;
    int pane = (size - gap) / 2;
    for (int i = 0; i < 4; ++i) {
        int left = x + (i % 2) * (pane + gap), top = y + (i / 2) * (pane + gap);
        RECT rc = {left, top, left + pane, top + pane};
        FillSolid(dc, &rc, panes[i]);
    }
}

// Width of `text` in `font`.
static int TextWidth(HDC dc, HFONT font, const wchar_t *text)
{
    HFONT previousFont = (HFONT)SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, previousFont);
    return size.cx;
}

// The title band's clock: the date and the time when both fit between
// "Start" and the right margin, else the time alone (a narrow screen in a
// locale with long dates).
static void TitleClockText(HDC dc, int room, wchar_t *text, int capacity)
{
    SYSTEMTIME now;
    DeviceLocalTime(&now);
    wchar_t date[64] = L"", time[32] = L"";
    GetDateFormatEx(DeviceLocaleName(), DATE_SHORTDATE, &now, NULL, date, 64, NULL);
    GetTimeFormatEx(DeviceLocaleName(), TIME_NOSECONDS, &now, NULL, time, 32);
    _snwprintf(text, capacity, L"%ls  %ls", date, time);
    text[capacity - 1] = 0;
    if (TextWidth(dc, Host.TextFont, text) > room)
        lstrcpynW(text, time, capacity);
}

// "Start" at the left, the clock flush right; each is measured, so neither
// is drawn over the other. The texts are not clipped to their measure: the
// bitmap "1" of the device's Tahoma puts its foot a pixel past its advance
// (no ABC width says so), and that pixel falls in the margin.
static void DrawTitleBand(HDC dc)
{
    RECT band = {0, 0, Host.Width, TitleBandHeight()};
    FillSolid(dc, &band, BandColor);
    RECT line = {0, band.bottom - ScaleToDpi(2), Host.Width, band.bottom};
    FillSolid(dc, &line, BandLineColor);
    int logo = ScaleToDpi(14);
    int margin = ScaleToDpi(5);
    DrawStartLogo(dc, margin, (band.bottom - logo) / 2 - ScaleToDpi(1), logo);
    int startLeft = margin * 2 + logo;
    int startRight = startLeft + TextWidth(dc, Host.TitleFont, L"Start");
    RECT start = {startLeft, 0, startRight, line.top};
    DrawLabel(dc, Host.TitleFont, ThemeText, L"Start", &start, DT_LEFT | DT_NOCLIP);
    wchar_t clock[100];
    TitleClockText(dc, Host.Width - margin - startRight - margin * 2, clock, 100);
    RECT right = {Host.Width - margin - TextWidth(dc, Host.TextFont, clock), 0, Host.Width - margin,
                  line.top};
    DrawLabel(dc, Host.TextFont, ThemeText, clock, &right, DT_LEFT | DT_NOCLIP);
}

void InvalidateTitleBand(void)
{
    RECT band = {0, 0, Host.Width, TitleBandHeight()};
    InvalidateRect(Host.Window, &band, FALSE);
}

static void DrawSoftkeyBar(HDC dc)
{
    RECT bar = {0, Host.Height - SoftkeyBarHeight(), Host.Width, Host.Height};
    FillSolid(dc, &bar, BandColor);
    RECT line = {0, bar.top, Host.Width, bar.top + ScaleToDpi(1)};
    FillSolid(dc, &line, BandLineColor);
    RECT left = {0, bar.top, Host.Width / 2, bar.bottom};
    RECT right = {Host.Width / 2, bar.top, Host.Width, bar.bottom};
    DrawLabel(dc, Host.TitleFont, ThemeText, L"Calendar", &left, DT_CENTER);
    DrawLabel(dc, Host.TitleFont, ThemeText, L"Contacts", &right, DT_CENTER);
}

// Row icons, drawn with a pen and brush of the text colour in a square of
// side `size` at (x, y).
static void DrawRowIcon(HDC dc, int kind, int x, int y, int size, COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, size > 16 ? 2 : 1, colour);
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN previousPen = (HPEN)SelectObject(dc, pen);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, GetStockObject(NULL_BRUSH));
    int s = size;
    if (kind == RowOwner) {
        SelectObject(dc, brush);
        Ellipse(dc, x + s * 5 / 16, y, x + s * 11 / 16, y + s * 6 / 16);
        RoundRect(dc, x + s / 8, y + s * 7 / 16, x + s * 7 / 8, y + s, s / 3, s / 3);
    } else if (kind == RowAppointments) {
        Rectangle(dc, x + 1, y + s / 8, x + s - 1, y + s);
        SelectObject(dc, brush);
        Rectangle(dc, x + 1, y + s / 8, x + s - 1, y + s * 3 / 8);
    } else {
        Rectangle(dc, x + 1, y + s / 5, x + s - 1, y + s * 4 / 5);
        POINT flap[3] = {{x + 1, y + s / 5}, {x + s / 2, y + s / 2}, {x + s - 2, y + s / 5}};
        Polyline(dc, flap, 3);
    }
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

static const wchar_t *RowText(int kind)
{
    switch (kind) {
    case RowOwner:
        return L"Marrowfen Demo Owner";
    case RowAppointments:
        return L"No upcoming appointments";
    default:
        return L"Messages: 0 unread";
    }
}

static void DrawBuiltInRow(HDC dc, int kind)
{
    const HostRow *row = &Host.Rows[kind];
    RECT rc = {0, row->Top, Host.Width, row->Top + row->Height};
    BOOL selected = Host.Selected == kind;
    if (selected)
        FillSolid(dc, &rc, ThemeHighlight);
    COLORREF colour = selected ? ThemeHighlightedText : ThemeText;
    int icon = ScaleToDpi(14);
    int margin = ScaleToDpi(6);
    DrawRowIcon(dc, kind, margin, rc.top + (row->Height - icon) / 2, icon, colour);
    RECT text = {margin * 2 + icon, rc.top, Host.Width - margin, rc.bottom};
    DrawLabel(dc, kind == RowOwner ? Host.TitleFont : Host.TextFont, colour, RowText(kind), &text,
             DT_LEFT | DT_END_ELLIPSIS);
}

static void ComposeScreen(HDC dc)
{
    BitBlt(dc, 0, 0, Host.Width, Host.Height, Host.WallpaperDC, 0, 0, SRCCOPY);
    DrawTitleBand(dc);
    for (int kind = 0; kind < HostRowCount; ++kind)
        if (kind != RowItem)
            DrawBuiltInRow(dc, kind);
    DrawSoftkeyBar(dc);
}

void PaintHost(HDC dc, const RECT *update)
{
    // Composed off-screen, then copied: no flicker under the item window,
    // which the host's clip-children style leaves alone.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, Host.Width, Host.Height);
    HBITMAP previousBitmap = (HBITMAP)SelectObject(memory, bitmap);
    ComposeScreen(memory);
    BitBlt(dc, update->left, update->top, update->right - update->left,
           update->bottom - update->top, memory, update->left, update->top, SRCCOPY);
    SelectObject(memory, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}
