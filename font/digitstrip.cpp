// Draws the ten digits of a QZL.ttf the way the clock does (weight 500,
// light on a dark cell) at the hour height of a 96 dpi and a 192 dpi
// device, and writes them as one PNG: the picture of the face in the README.
//
//   digitstrip.exe FONT.ttf OUT.png
#include <windows.h>

#include <objbase.h>
#include <stdio.h>

#include "png.h"

// Hour heights in pixels of the default 38-point size at 96 and 192 dpi.
static const int StripHeights[] = {51, 102};
static const COLORREF StripInk = RGB(255, 255, 255);
static const COLORREF StripPaper = RGB(32, 40, 72);
enum { StripMargin = 8, StripWidth = 672 };

static HFONT CreateDigitFont(int height)
{
    LOGFONTW lf = {};
    lf.lfHeight = -height;
    lf.lfWeight = 500;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lstrcpyW(lf.lfFaceName, L"QZL");
    return CreateFontIndirectW(&lf);
}

// The ten digits at their private code points.
static const wchar_t Digits[] = {0x2FE0, 0x2FE1, 0x2FE2, 0x2FE3, 0x2FE4,
                                 0x2FE5, 0x2FE6, 0x2FE7, 0x2FE8, 0x2FE9};

// Whether the face the font maps to is QZL with all ten digits: another
// file, or one without them, would draw another face or empty boxes.
static BOOL FontHasDigits(void)
{
    HDC dc = CreateCompatibleDC(NULL);
    HFONT font = CreateDigitFont(StripHeights[0]);
    HGDIOBJ previous = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    WORD glyphs[10];
    BOOL found = lstrcmpiW(face, L"QZL") == 0 &&
                 GetGlyphIndicesW(dc, Digits, 10, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == 10;
    for (int i = 0; found && i < 10; ++i)
        found = glyphs[i] != 0xFFFF;
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    return found;
}

// The ten digits, one row.
static void DrawDigitRow(HDC dc, int top, int height)
{
    HFONT font = CreateDigitFont(height);
    HFONT previous = (HFONT)SelectObject(dc, font);
    TextOutW(dc, StripMargin, top, Digits, 10);
    SelectObject(dc, previous);
    DeleteObject(font);
}

static int StripHeight(void)
{
    int total = StripMargin;
    for (int height : StripHeights)
        total += height * 5 / 4 + StripMargin;
    return total;
}

static BOOL DrawStrip(const wchar_t *out)
{
    int width = StripWidth, height = StripHeight();
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!dc || !bitmap) {
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
        return FALSE;
    }
    HBITMAP previous = (HBITMAP)SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH paper = CreateSolidBrush(StripPaper);
    FillRect(dc, &all, paper);
    DeleteObject(paper);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, StripInk);
    int top = StripMargin;
    for (int rowHeight : StripHeights) {
        DrawDigitRow(dc, top, rowHeight);
        top += rowHeight * 5 / 4 + StripMargin;
    }
    GdiFlush();
    DWORD *pixel = (DWORD *)bits;
    for (int i = 0; i < width * height; ++i)
        pixel[i] |= 0xFF000000;
    BOOL ok = WritePngBgra(out, width, height, (const BYTE *)bits, width * 4);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ok;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: digitstrip.exe FONT.ttf OUT.png\n");
        return 2;
    }
    if (!AddFontResourceExW(argv[1], FR_PRIVATE, NULL)) {
        fwprintf(stderr, L"digitstrip: cannot load the font '%ls'\n", argv[1]);
        return 2;
    }
    if (!FontHasDigits()) {
        fwprintf(stderr, L"digitstrip: '%ls' is not a QZL face with the ten digits (U+2FE0 to U+2FE9)\n", argv[1]);
        RemoveFontResourceExW(argv[1], FR_PRIVATE, NULL);
        return 2;
    }
    CoInitialize(NULL);
    bool ok = DrawStrip(argv[2]);
    CoUninitialize();
    RemoveFontResourceExW(argv[1], FR_PRIVATE, NULL);
    if (!ok)
        fwprintf(stderr, L"digitstrip: cannot write '%ls'\n", argv[2]);
    return ok ? 0 : 1;
}
