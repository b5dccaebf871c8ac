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
    int DpiX;                // -1 until the screen could be read
    // The separator has characters the hour's face lacks: it is drawn in
    // TimeMarkerFont, at the digits' baseline.
    DWORD SeparatorInMarkerFace;
    // Every position above was placed from the current fonts with measures
    // that succeeded; the paint draws nothing until then.
    DWORD Known;
};
extern ClockLayoutRecord ClockLayout;

// TRUE for the three resolutions the face is drawn at (96, 128, 192).
BOOL SupportedDpi(int dpi);

// The bell at one resolution: its box (width and height) and its outline,
// points from the box's top-left corner.
struct BellShape {
    int Dpi;
    int Width;
    int Height;
    const POINT *Points;
    int Count;
};
// NULL at a resolution the face is not drawn at.
const BellShape *BellShapeFor(int dpi);

// Bell width (and tap target) for a supported resolution; 0 otherwise.
int BellWidth(int dpi);

// The three fonts the time group is measured and drawn with.
struct TimeGroupFonts {
    HFONT HourMinute;
    HFONT Seconds;
    HFONT Marker;
};
// The clock's own: HourMinuteFont, SecondsFont and TimeMarkerFont.
TimeGroupFonts ClockTimeGroupFonts();
// The time group's horizontal places (HourRight to TimeWidth, BellLeft),
// UpperMarkerRise and SeparatorInMarkerFace, measured with `fonts` on `dc`
// into `layout` (whose DpiX names the bell). FALSE when a measure failed:
// the places are then not to be used.
BOOL PlaceTimeGroup(HDC dc, const TimeGroupFonts *fonts, ClockLayoutRecord *layout);

// Digit height of HourMinuteFont: tmHeight - tmDescent - tmInternalLeading;
// -1 when it could not be measured.
int MeasureDigitHeight();
// Day/date line height: tmHeight + tmExternalLeading of DayDateFont; -1
// when it could not be measured.
int MeasureLineHeight();
// Measures the digit height and places every element; TRUE (and Known)
// only when the fonts exist and every measure succeeded.
BOOL LayOutFace();
// SecondsRight (when seconds are shown) and the start of the marker column,
// from the minutes' right edge and the digit width.
int PlaceSeconds(HDC dc, int digitWidth);
// The marker/bell column from its start k, the wider marker's width and
// the bell's width: BellLeft, MarkerRight and TimeWidth.
void PlaceMarkerColumn(int k, int markerWidth, int bellWidth);
// BottomMargin, DayDateGap, BellTop, DayDateSideMargin, DayDateTop.
void PlaceVerticalMetrics(int lineHeight);
// Content height without the borders; 0 (and the border cleared in memory)
// at an unsupported resolution, -1 when the line could not be measured.
int ComputeContentHeight();
// The content height rule for given measures (any resolution).
int ContentHeightFor(int digitHeight, int lineHeight);
void ItemRect(HWND window, RECT *rect);
// 1 when a screen of this size is landscape (at least 4:3), else 0.
DWORD LandscapeFor(int width, int height);
DWORD ProbeLandscape();
// Reads DpiX from the screen; FALSE (DpiX -1) when it could not.
BOOL ProbeDpiX();
