// A minimal Today host for tests: a top-level window that answers the
// item's colour and watermark requests and records what it was asked.
#pragma once
#include <windows.h>
#include "today-standins.h"

struct FakeHostRecord {
    HWND Window;
    COLORREF TextColor;
    COLORREF HighlightColor;
    COLORREF HighlightedTextColor;
    COLORREF Watermark;          // solid colour painted as the wallpaper
    int ColorRequests;
    int WatermarkRequests;
    BOOL DrawWatermark;          // FALSE: a misbehaving host that paints nothing
    int SelectionPosts;          // TODAYM_TOOKSELECTION received
};
extern FakeHostRecord FakeHost;

HWND CreateFakeHost();
void DestroyFakeHost();
