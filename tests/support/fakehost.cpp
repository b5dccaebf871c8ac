#include "fakehost.h"

FakeHostRecord FakeHost;

namespace {

LRESULT AnswerColor(WPARAM which)
{
    FakeHost.ColorRequests++;
    switch (which) {
    case TODAYCOLOR_TEXT: return FakeHost.TextColor;
    case TODAYCOLOR_HIGHLIGHT: return FakeHost.HighlightColor;
    case TODAYCOLOR_HIGHLIGHTEDTEXT: return FakeHost.HighlightedTextColor;
    }
    return 0;
}

LRESULT DrawWatermark(const TODAYDRAWWATERMARKINFO *info)
{
    FakeHost.WatermarkRequests++;
    if (!FakeHost.DrawWatermark || info == NULL)
        return 0;
    HBRUSH brush = CreateSolidBrush(FakeHost.Watermark);
    FillRect(info->hdc, &info->rc, brush);
    DeleteObject(brush);
    return 0;
}

LRESULT CALLBACK FakeHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case TODAYM_GETCOLOR: return AnswerColor(wParam);
    case TODAYM_DRAWWATERMARK: return DrawWatermark((const TODAYDRAWWATERMARKINFO *)lParam);
    case TODAYM_TOOKSELECTION: FakeHost.SelectionPosts++; return 0;
    case WM_ERASEBKGND: return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HWND CreateFakeHost()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FakeHostProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"QuartzelFakeHost";
    RegisterClassW(&wc);
    FakeHost = FakeHostRecord();
    FakeHost.TextColor = RGB(255, 255, 255);
    FakeHost.HighlightColor = RGB(0, 80, 160);
    FakeHost.HighlightedTextColor = RGB(255, 255, 0);
    FakeHost.Watermark = RGB(40, 120, 200);
    FakeHost.DrawWatermark = TRUE;
    FakeHost.Window = CreateWindowExW(0, wc.lpszClassName, L"Today", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), NULL, NULL,
                                      wc.hInstance, NULL);
    return FakeHost.Window;
}

void DestroyFakeHost()
{
    if (FakeHost.Window)
        DestroyWindow(FakeHost.Window);
    FakeHost.Window = NULL;
}
