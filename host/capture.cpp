// Screenshots: the window's part of the screen, read back from the screen
// device context. This includes child windows exactly as they appear
// (PrintWindow would ask each window to draw itself again instead).
#include "todayemu.h"
#include "png.h"

// The window's rectangle on the screen, clipped to the screen: a read that
// runs past the screen's edge copies nothing at all.
static RECT VisibleWindowRect(HWND window)
{
    RECT rc = {}, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWindowRect(window, &rc);
    IntersectRect(&rc, &rc, &screen);
    return rc;
}

static void MakeOpaque(BYTE *pixels, int width, int height)
{
    DWORD *pixel = (DWORD *)pixels;
    for (int i = 0; i < width * height; ++i)
        pixel[i] |= 0xFF000000;
}

BOOL SaveScreenshot(HWND window, const wchar_t *path)
{
    RECT rc = VisibleWindowRect(window);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return FALSE;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;   // top-down, as the PNG rows go
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    BOOL ok = FALSE;
    if (memory && bitmap) {
        HBITMAP previous = (HBITMAP)SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, previous);
    }
    if (ok) {
        // The screen has no alpha; the PNG must not come out transparent.
        MakeOpaque((BYTE *)bits, width, height);
        ok = WritePngBgra(path, width, height, (const BYTE *)bits, width * 4);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}
