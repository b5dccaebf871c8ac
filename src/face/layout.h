// Positions of every element of the face and the item's height.
#pragma once
#include <windows.h>

struct ClockLayoutRecord {
    int DigitHeight;
    int HourRight;
    int SeparatorCenter;
    int MinuteRight;
    int SecondsRight;
    int MarkerRight;
    int BellLeft;
    int BellTop;
    int TimeWidth;
    int BottomMargin;
    int UpperMarkerRise;
    int DayDateGap;
    int DayDateTop;
    int DayDateSideMargin;
    int ContentHeight;
    int DpiX;
};
extern ClockLayoutRecord ClockLayout;

// TRUE for the three resolutions the face is drawn at (96, 128, 192).
BOOL SupportedDpi(int dpi);

int MeasureDigitHeight(HWND window);
int MeasureLineHeight(HWND window);
void LayOutFace(HWND window);
// Content height without the borders; 0 (and the border cleared in memory)
// at an unsupported resolution.
int ComputeContentHeight(HWND window);
void ItemRect(HWND window, RECT *rect);
DWORD ProbeLandscape();
void ProbeDpiX();
