#include "reference.h"
#include "today-standins.h"

ReferencePaintRecord ReferencePaint;
ReferenceRebuildRecord ReferenceRebuild;

namespace {

HFONT MakeFont(int points, int weight, const WCHAR *face)
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(points, dpi, 72);
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(lf.lfFaceName, face);
    return CreateFontIndirectW(&lf);
}

void DrawText(HDC dc, HFONT font, UINT align, int x, int y, const WCHAR *text)
{
    SelectObject(dc, font);
    SetTextAlign(dc, align);
    SetTextColor(dc, RGB(255, 255, 255));
    ExtTextOutW(dc, x, y, 0, NULL, text, lstrlenW(text), NULL);
}

struct ReferenceTexts {
    WCHAR Hour[4], Minute[4], Second[4], Separator[4], Day[60], Date[60];
};

void FormatReferenceTexts(ReferenceTexts *t)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"hh", t->Hour, 4);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"mm", t->Minute, 4);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"ss", t->Second, 4);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, t->Separator, 4);
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &now, L"dddd", t->Day, 60);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &now, NULL, t->Date, 60);
}

// The background copied in, the six texts of the item's face drawn over it.
void ComposeReference(HDC compose, const ReferenceTexts *t)
{
    const ReferencePaintRecord &r = ReferencePaint;
    HGDIOBJ oldFont = SelectObject(compose, r.HourFont);
    BitBlt(compose, 0, 0, r.Width, r.Height, r.BackgroundDC, 0, 0, SRCCOPY);
    SetBkMode(compose, TRANSPARENT);
    int base = r.Height - 6;
    DrawText(compose, r.HourFont, TA_BASELINE | TA_CENTER, 80, base, t->Separator);
    DrawText(compose, r.HourFont, TA_BASELINE | TA_RIGHT, 70, base, t->Hour);
    DrawText(compose, r.HourFont, TA_BASELINE | TA_RIGHT, 150, base, t->Minute);
    DrawText(compose, r.SecondsFont, TA_BASELINE | TA_RIGHT, 200, base, t->Second);
    DrawText(compose, r.MarkerFont, TA_BASELINE | TA_RIGHT, 230, base, L"AM");
    DrawText(compose, r.DayDateFont, TA_TOP | TA_CENTER, r.Width / 2, 3, t->Date);
    SelectObject(compose, oldFont);
}

void PaintReference(HWND window)
{
    const ReferencePaintRecord &r = ReferencePaint;
    ReferenceTexts texts;
    FormatReferenceTexts(&texts);
    PAINTSTRUCT ps;
    HDC paint = BeginPaint(window, &ps);
    HDC compose = CreateCompatibleDC(paint);
    HBITMAP bitmap = CreateCompatibleBitmap(paint, r.Width, r.Height);
    HGDIOBJ oldBitmap = SelectObject(compose, bitmap);
    ComposeReference(compose, &texts);
    BitBlt(paint, 0, 0, r.Width, r.Height, compose, 0, 0, SRCCOPY);
    SelectObject(compose, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(compose);
    EndPaint(window, &ps);
}

void PaintFloor(HWND window)
{
    const ReferencePaintRecord &r = ReferencePaint;
    ReferenceTexts texts;
    FormatReferenceTexts(&texts);
    PAINTSTRUCT ps;
    HDC paint = BeginPaint(window, &ps);
    ComposeReference(r.ComposeDC, &texts);
    BitBlt(paint, 0, 0, r.Width, r.Height, r.ComposeDC, 0, 0, SRCCOPY);
    EndPaint(window, &ps);
}

LRESULT CALLBACK ReferenceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        if (window == ReferencePaint.FloorWindow)
            PaintFloor(window);
        else
            PaintReference(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HBITMAP SelectNewBitmap(HDC screen, HDC *dc, HBITMAP *bitmap, int width, int height)
{
    *dc = CreateCompatibleDC(screen);
    *bitmap = CreateCompatibleBitmap(screen, width, height);
    return (HBITMAP)SelectObject(*dc, *bitmap);
}

void ReleaseBitmapDC(HDC dc, HBITMAP bitmap, HBITMAP previous)
{
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void CreateSurfaces(int width, int height)
{
    ReferencePaintRecord &r = ReferencePaint;
    HDC screen = GetDC(NULL);
    r.PrevBackground = SelectNewBitmap(screen, &r.BackgroundDC, &r.Background, width, height);
    r.PrevCompose = SelectNewBitmap(screen, &r.ComposeDC, &r.Compose, width, height);
    ReleaseDC(NULL, screen);
    RECT rect = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(RGB(30, 90, 150));
    FillRect(r.BackgroundDC, &rect, brush);
    DeleteObject(brush);
}

} // namespace

void CreateReferencePainter(HWND host, int x, int y, int width, int height, BOOL privateFace)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReferenceProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"QuartzelReferencePaint";
    RegisterClassW(&wc);
    ReferencePaint.Width = width;
    ReferencePaint.Height = height;
    const WCHAR *timeFace = privateFace ? L"QZL" : L"Tahoma";
    int timeWeight = privateFace ? FW_MEDIUM : FW_NORMAL;
    ReferencePaint.HourFont = MakeFont(38, timeWeight, timeFace);
    ReferencePaint.SecondsFont = MakeFont(26, timeWeight, timeFace);
    ReferencePaint.MarkerFont = MakeFont(9, FW_BOLD, L"Tahoma");
    ReferencePaint.DayDateFont = MakeFont(8, FW_BOLD, L"Tahoma");
    CreateSurfaces(width, height);
    ReferencePaint.Window = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, x, y, width, height,
                                            host, NULL, wc.hInstance, NULL);
    ReferencePaint.FloorWindow = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, x,
                                                 y + height + 10, width, height, host, NULL, wc.hInstance, NULL);
}

void DestroyReferencePainter()
{
    ReferencePaintRecord &r = ReferencePaint;
    DestroyWindow(r.Window);
    DestroyWindow(r.FloorWindow);
    ReleaseBitmapDC(r.BackgroundDC, r.Background, r.PrevBackground);
    ReleaseBitmapDC(r.ComposeDC, r.Compose, r.PrevCompose);
    DeleteObject(r.HourFont);
    DeleteObject(r.SecondsFont);
    DeleteObject(r.MarkerFont);
    DeleteObject(r.DayDateFont);
    r = ReferencePaintRecord();
}

void CreateReferenceRebuild(HWND item, int width, int height)
{
    ReferenceRebuildRecord &r = ReferenceRebuild;
    r.Width = width;
    r.Height = height;
    HDC screen = GetDC(item);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    r.CellsDC = CreateCompatibleDC(screen);
    r.Cells = CreateDIBSection(r.CellsDC, &info, DIB_RGB_COLORS, (void **)&r.Bits, NULL, 0);
    r.PrevCells = (HBITMAP)SelectObject(r.CellsDC, r.Cells);
    r.PrevNormal = SelectNewBitmap(screen, &r.NormalDC, &r.Normal, width, height);
    r.PrevSelected = SelectNewBitmap(screen, &r.SelectedDC, &r.Selected, width, height);
    ReleaseDC(item, screen);
}

void RunReferenceRebuild(HWND host, HWND item)
{
    ReferenceRebuildRecord &r = ReferenceRebuild;
    int pixels = r.Width * r.Height;
    for (int i = 0; i < pixels; i++)
        r.Bits[i] = (i & 64) ? 0x2D000000 : 0x66000000;
    TODAYDRAWWATERMARKINFO info = {r.NormalDC, {0, 0, r.Width, r.Height}, item};
    SendMessageW(host, TODAYM_DRAWWATERMARK, 0, (LPARAM)&info);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(r.SelectedDC, 0, 0, r.Width, r.Height, r.CellsDC, 0, 0, r.Width, r.Height, blend);
    AlphaBlend(r.NormalDC, 0, 0, r.Width, r.Height, r.CellsDC, 0, 0, r.Width, r.Height, blend);
}

void DestroyReferenceRebuild()
{
    ReferenceRebuildRecord &r = ReferenceRebuild;
    ReleaseBitmapDC(r.CellsDC, r.Cells, r.PrevCells);
    ReleaseBitmapDC(r.NormalDC, r.Normal, r.PrevNormal);
    ReleaseBitmapDC(r.SelectedDC, r.Selected, r.PrevSelected);
    r = ReferenceRebuildRecord();
}
