#include "layout.h"

ClockLayoutRecord ClockLayout;

BOOL SupportedDpi(int dpi) { return dpi == 96 || dpi == 128 || dpi == 192; }
int MeasureDigitHeight(HWND) { return 37; }
int MeasureLineHeight(HWND) { return 13; }
void LayOutFace(HWND) {}
int ComputeContentHeight(HWND) { return 63; }
void ItemRect(HWND window, RECT *rect) { GetClientRect(window, rect); }
DWORD ProbeLandscape() { return 0; }
void ProbeDpiX() { ClockLayout.DpiX = 96; }
