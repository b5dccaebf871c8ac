// The emulated device's fonts: the bold Tahoma that the day/date line and
// the markers ask for is bold at the sizes each profile draws them, not
// only at the sizes Wine's own bold file has bitmaps for.
#include "testlib.h"

// Ink (dark pixel weight) of a row of l's in Tahoma of the given height
// and weight, drawn black on white.
static int TahomaInk(int height, int weight)
{
    HDC dc = CreateCompatibleDC(NULL);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = 400;
    bmi.bmiHeader.biHeight = -80;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    HBITMAP previousBitmap = (HBITMAP)SelectObject(dc, bitmap);
    LOGFONTW lf = {};
    lf.lfHeight = -height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    HFONT font = CreateFontIndirectW(&lf);
    HFONT previousFont = (HFONT)SelectObject(dc, font);
    PatBlt(dc, 0, 0, 400, 80, WHITENESS);
    TextOutW(dc, 2, 2, L"llllllllll", 10);
    GdiFlush();
    int ink = 0;
    const DWORD *pixel = (const DWORD *)bits;
    for (int i = 0; i < 400 * 80; ++i)
        ink += 255 - (int)(pixel[i] & 0xFF);
    SelectObject(dc, previousFont);
    DeleteObject(font);
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink / 255;
}

static int ScreenDpi()
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    return dpi;
}

static void test_bold_is_bold()
{
    int dpi = ScreenDpi();
    // The day/date line at 7 to 14 points (the device's font sizes), and
    // the emulator's 9-point title.
    for (int points = 7; points <= 14; ++points) {
        int height = MulDiv(points, dpi, 72);
        int regular = TahomaInk(height, FW_NORMAL), bold = TahomaInk(height, FW_BOLD);
        ok(bold * 10 >= regular * 15, "%d dpi, %d pt (%d px): bold ink %d, regular %d", dpi,
           points, height, bold, regular);
    }
}

int main()
{
    run_test(test_bold_is_bold);
    return TestSummary();
}
