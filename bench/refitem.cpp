// The reference for the load: a Today item of the least shape that shows
// the clock's first picture. Loading it registers its window class and
// builds the four fonts of the clock's default sizes in Tahoma; the host
// then creates its window, asks for its height (a fixed one, the item's),
// gives it that height and lets it paint one strip with the item's texts,
// composed off-screen over the host's watermark and copied to the screen
// in one BitBlt. No font probe, no private font, no settings, no layout.
#include <windows.h>
#include "today-standins.h"

namespace {

const WCHAR ClassName[] = L"QuartzelReferenceItem";

struct ReferenceItemRecord {
    HINSTANCE Instance;
    int Height;             // the answer to the host's height query
    HFONT Hour, Seconds, Marker, DayDate;
};
ReferenceItemRecord ReferenceItem;

HFONT MakeFont(HDC screen, int points, int weight)
{
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&lf);
}

void MakeFonts()
{
    HDC screen = GetDC(NULL);
    ReferenceItem.Hour = MakeFont(screen, 38, FW_NORMAL);
    ReferenceItem.Seconds = MakeFont(screen, 26, FW_NORMAL);
    ReferenceItem.Marker = MakeFont(screen, 9, FW_BOLD);
    ReferenceItem.DayDate = MakeFont(screen, 8, FW_BOLD);
    ReleaseDC(NULL, screen);
}

void DeleteFonts()
{
    DeleteObject(ReferenceItem.Hour);
    DeleteObject(ReferenceItem.Seconds);
    DeleteObject(ReferenceItem.Marker);
    DeleteObject(ReferenceItem.DayDate);
}

void DrawAt(HDC dc, HFONT font, UINT align, int x, int y, const WCHAR *text)
{
    SelectObject(dc, font);
    SetTextAlign(dc, align);
    ExtTextOutW(dc, x, y, 0, NULL, text, lstrlenW(text), NULL);
}

// The item's six texts: hour, separator, minute, seconds, marker, date.
void DrawTexts(HDC dc, int width, int height)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR hour[4], minute[4], second[4], separator[4], date[80];
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"hh", hour, 4);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"mm", minute, 4);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"ss", second, 4);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 4);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &now, NULL, date, 80);
    HGDIOBJ oldFont = SelectObject(dc, ReferenceItem.Hour);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    int base = height - height / 12;
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_RIGHT, width / 3, base, hour);
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_CENTER, width / 3 + 5, base, separator);
    DrawAt(dc, ReferenceItem.Hour, TA_BASELINE | TA_RIGHT, 2 * width / 3, base, minute);
    DrawAt(dc, ReferenceItem.Seconds, TA_BASELINE | TA_RIGHT, 5 * width / 6, base, second);
    DrawAt(dc, ReferenceItem.Marker, TA_BASELINE | TA_RIGHT, width - 4, base, L"AM");
    DrawAt(dc, ReferenceItem.DayDate, TA_TOP | TA_CENTER, width / 2, 3, date);
    SelectObject(dc, oldFont);
}

void Paint(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(window, &ps);
    if (client.bottom <= 0) {
        EndPaint(window, &ps);
        return;
    }
    HDC compose = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(compose, bitmap);
    TODAYDRAWWATERMARKINFO info = {compose, client, window};
    SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0, (LPARAM)&info);
    DrawTexts(compose, client.right, client.bottom);
    BitBlt(screen, 0, 0, client.right, client.bottom, compose, 0, 0, SRCCOPY);
    SelectObject(compose, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(compose);
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
