// Where every element of the face stands, and how tall the item is.
#include "layout.h"
#include "fonts.h"
#include "settings.h"
#include "timeformat.h"
#include "portable.h"

ClockLayoutRecord ClockLayout;

namespace {

// Nine digits without the narrow 1: the average two-digit width of the
// clock's digits.
const WCHAR DigitSample[] = L"023456789";

// The separator as the locale writes it (at most 3 characters).
const int SeparatorChars = 4;

// Integer quotient that never divides by zero (or by a negative count):
// such a measure means no usable font, and the term simply drops out.
int SafeQuotient(int dividend, int divisor)
{
    return divisor > 0 ? dividend / divisor : 0;
}

// Measures of the time group that failed so far: a placement that sees
// the count grow was made from a failed measure and is not used.
int FailedMeasures;

// A failed measure counts as 0 and is counted.
SIZE MeasureText(HDC dc, const WCHAR *text)
{
    SIZE size = {0, 0};
    if (!GetTextExtentExPointW(dc, text, lstrlenW(text), 0, NULL, NULL, &size)) {
        FailedMeasures++;
        size.cx = size.cy = 0;
    }
    return size;
}

// Width of two average digits in the DC's current font.
int TwoDigitWidth(HDC dc)
{
    WCHAR sample[ARRAYSIZE(DigitSample)];
    lstrcpyW(sample, DigitSample);
    if (FontProbe.FontLevel >= 2)
        MapToPrivateDigits(sample);
    return ScaleRounded(MeasureText(dc, sample).cx, 2, lstrlenW(sample));
}

void RestoreFont(HDC dc, HGDIOBJ previous)
{
    if (previous)
        SelectObject(dc, previous);
}

// TRUE when the private face has a glyph for the character: space, ':',
// '.', the digits, and its own copies of them.
BOOL PrivateFaceDraws(WCHAR c)
{
    return c == L' ' || c == L':' || c == L'.' || (c >= L'0' && c <= L'9') ||
           (c >= PRIVATE_DIGIT_ZERO && c <= PRIVATE_CELL_GLYPH);
}

// TRUE when the hour's face draws every character of `text`. The system
// face draws any separator a locale has; the private face only its own.
BOOL HourFaceDrawsAll(const WCHAR *text)
{
    if (FontProbe.FontLevel < 2)
        return TRUE;
    for (int i = 0; text[i] != 0; i++)
        if (!PrivateFaceDraws(text[i]))
            return FALSE;
    return TRUE;
}

// Width of the separator in the face it is drawn in, with the hour's font
// selected in `dc`. The private face has only digits, ':', '.' and space;
// a separator with other characters (fr-CA's " h ") is drawn in the
// markers' face, which can.
int SeparatorWidth(HDC dc, const TimeGroupFonts *fonts, ClockLayoutRecord *layout)
{
    WCHAR separator[SeparatorChars];
    if (!ReadTimeSeparator(separator, SeparatorChars))
        FailedMeasures++;
    if (FontProbe.FontLevel >= 2)
        MapToPrivateDigits(separator);
    layout->SeparatorInMarkerFace = !HourFaceDrawsAll(separator);
    if (!layout->SeparatorInMarkerFace)
        return MeasureText(dc, separator).cx;
    HGDIOBJ previous = SelectFontIfAny(dc, fonts->Marker);
    int width = MeasureText(dc, separator).cx;
    RestoreFont(dc, previous);
    return width;
}

// Metrics of `font` on `dc`.
BOOL MeasureFontMetricsOn(HDC dc, HFONT font, TEXTMETRICW *metrics)
{
    *metrics = TEXTMETRICW();
    HGDIOBJ previous = SelectFontIfAny(dc, font);
    BOOL measured = GetTextMetricsW(dc, metrics);
    RestoreFont(dc, previous);
    return measured;
}

// Metrics of `font` on a screen DC.
BOOL MeasureFontMetrics(HFONT font, TEXTMETRICW *metrics)
{
    *metrics = TEXTMETRICW();
    HDC dc = GetDC(NULL);
    if (dc == NULL)
        return FALSE;
    BOOL measured = MeasureFontMetricsOn(dc, font, metrics);
    ReleaseDC(NULL, dc);
    return measured;
}

// The digits' height above the baseline, without the internal leading;
// -1 when it could not be measured.
int DigitHeightFrom(BOOL measured, const TEXTMETRICW &metrics)
{
    return measured ? metrics.tmHeight - metrics.tmDescent - metrics.tmInternalLeading : -1;
}

// The digit height on the DC that places the time group: each DC costs
// server round trips under Wine.
int MeasureDigitHeightOn(HDC dc)
{
    TEXTMETRICW metrics;
    BOOL measured = MeasureFontMetricsOn(dc, ClockFonts.HourMinuteFont, &metrics);
    return DigitHeightFrom(measured, metrics);
}

// Hour, separator and minute: steps from the left edge of the time group.
void PlaceHourAndMinute(HDC dc, const TimeGroupFonts *fonts, ClockLayoutRecord *layout, int *digitWidth)
{
    HGDIOBJ previous = SelectFontIfAny(dc, fonts->HourMinute);
    int w = TwoDigitWidth(dc);
    int s = SeparatorWidth(dc, fonts, layout);
    RestoreFont(dc, previous);
    layout->HourRight = w;
    layout->SeparatorCenter = w + s / 2;
    layout->MinuteRight = s + 2 * w;
    *digitWidth = w;
}

// The wider and the taller of the two marker texts (0 when hidden), in
// the DC's font.
SIZE MeasureMarkers(HDC dc)
{
    SIZE larger = {0, 0};
    if (!ClockSettings.ShowTimeMarkers)
        return larger;
    SIZE am = MeasureText(dc, TimeFormatInfo.AmMarker);
    SIZE pm = MeasureText(dc, TimeFormatInfo.PmMarker);
    larger.cx = am.cx > pm.cx ? am.cx : pm.cx;
    larger.cy = am.cy > pm.cy ? am.cy : pm.cy;
    return larger;
}

const POINT Bell96[] = {{5, 0}, {4, 1}, {3, 1}, {2, 2}, {2, 6}, {0, 8}, {5, 8}, {5, 9}, {4, 10},
                        {5, 11}, {6, 10}, {5, 9}, {5, 8}, {10, 8}, {8, 6}, {8, 2}, {7, 1}, {6, 1}};
const POINT Bell128[] = {{0, 9}, {3, 6}, {3, 4}, {4, 1}, {7, 0}, {10, 1}, {11, 4}, {11, 6},
                         {14, 9}, {7, 9}, {7, 11}, {8, 12}, {7, 13}, {6, 12}, {7, 11}, {7, 9}};
const POINT Bell192[] = {{9, 0}, {9, 2}, {6, 2}, {3, 5}, {2, 8}, {2, 12}, {0, 17}, {9, 17},
                         {9, 19}, {8, 20}, {8, 21}, {9, 22}, {10, 22}, {11, 21}, {11, 20}, {10, 19},
                         {10, 17}, {19, 17}, {17, 12}, {17, 8}, {16, 5}, {13, 2}, {10, 2}, {10, 0}};

// Each polygon fills its box exactly: the box is the bell's column in the
// layout and its tap target.
const BellShape BellShapes[] = {
    {96, 11, 12, Bell96, ARRAYSIZE(Bell96)},
    {128, 15, 14, Bell128, ARRAYSIZE(Bell128)},
    {192, 20, 23, Bell192, ARRAYSIZE(Bell192)},
};

int PlaceSecondsIn(HDC dc, HFONT font, ClockLayoutRecord *layout, int digitWidth)
{
    if (!ClockSettings.ShowSeconds)
        return layout->MinuteRight + digitWidth / 9;
    HGDIOBJ previous = SelectFontIfAny(dc, font);
    int seconds = TwoDigitWidth(dc);
    RestoreFont(dc, previous);
    layout->SecondsRight = layout->MinuteRight + seconds + digitWidth / 14;
    return layout->SecondsRight + digitWidth / 8;
}

void PlaceMarkerColumnIn(ClockLayoutRecord *layout, int k, int markerWidth, int bellWidth)
{
    int m = markerWidth, b = bellWidth;
    layout->MarkerRight = k;
    if (!ClockSettings.AlarmIconEnabled && m == 0) {
        // Neither markers nor bell: the group ends with the last digits.
        layout->TimeWidth = ClockSettings.ShowSeconds ? layout->SecondsRight : layout->MinuteRight;
    } else if (m == b) {
        layout->BellLeft = k;
        layout->MarkerRight = k + m;
        layout->TimeWidth = k + m;
    } else if (m > b) {
        // The bell is centred under the wider markers.
        layout->BellLeft = k + m - (m - b) / 2 - b;
        layout->MarkerRight = k + m;
        layout->TimeWidth = k + m;
    } else {
        // Right-aligned markers centred in the bell's column.
        layout->BellLeft = k;
        layout->MarkerRight = k - (b - m) / 2 + b;
        layout->TimeWidth = layout->MarkerRight + b;
    }
}

} // namespace

TimeGroupFonts ClockTimeGroupFonts()
{
    TimeGroupFonts fonts = {ClockFonts.HourMinuteFont, ClockFonts.SecondsFont, ClockFonts.TimeMarkerFont};
    return fonts;
}

BOOL PlaceTimeGroup(HDC dc, const TimeGroupFonts *fonts, ClockLayoutRecord *layout)
{
    int failedBefore = FailedMeasures;
    int digitWidth = 0;
    PlaceHourAndMinute(dc, fonts, layout, &digitWidth);
    int k = PlaceSecondsIn(dc, fonts->Seconds, layout, digitWidth);
    HGDIOBJ previous = SelectFontIfAny(dc, fonts->Marker);
    SIZE markers = MeasureMarkers(dc);
    RestoreFont(dc, previous);
    PlaceMarkerColumnIn(layout, k, markers.cx, BellWidth(layout->DpiX));
    layout->UpperMarkerRise = markers.cy + DeviceY(5);
    return FailedMeasures == failedBefore;
}

// Seconds (when shown) and the start of the marker column.
int PlaceSeconds(HDC dc, int digitWidth)
{
    return PlaceSecondsIn(dc, ClockFonts.SecondsFont, &ClockLayout, digitWidth);
}

const BellShape *BellShapeFor(int dpi)
{
    for (size_t i = 0; i < ARRAYSIZE(BellShapes); i++)
        if (BellShapes[i].Dpi == dpi)
            return &BellShapes[i];
    return NULL;
}

BOOL SupportedDpi(int dpi)
{
    return dpi == 96 || dpi == 128 || dpi == 192;
}

int BellWidth(int dpi)
{
    // Never drawn at other resolutions (the item has no height there).
    const BellShape *shape = BellShapeFor(dpi);
    return shape ? shape->Width : 0;
}

int MeasureDigitHeight()
{
    TEXTMETRICW metrics;
    BOOL measured = MeasureFontMetrics(ClockFonts.HourMinuteFont, &metrics);
    return DigitHeightFrom(measured, metrics);
}

// The day/date line's height: the font build measured it on the screen,
// so a complete set of fonts is not measured again. Without one, the
// screen measures what it has.
int MeasureLineHeight()
{
    if (ClockFontsComplete() && ClockFonts.DayDateLineHeight > 0)
        return ClockFonts.DayDateLineHeight;
    TEXTMETRICW metrics;
    if (!MeasureFontMetrics(ClockFonts.DayDateFont, &metrics))
        return -1;
    return metrics.tmHeight + metrics.tmExternalLeading;
}

void PlaceMarkerColumn(int k, int markerWidth, int bellWidth)
{
    PlaceMarkerColumnIn(&ClockLayout, k, markerWidth, bellWidth);
}

void PlaceVerticalMetrics(int lineHeight)
{
    int border = (int)ClockSettings.VerticalBorderHeight;
    int rise = SafeQuotient(ClockLayout.DigitHeight, DeviceY(21));
    ClockLayout.BottomMargin = DeviceY(6);
    ClockLayout.DayDateGap = DeviceY(5);
    if (ClockSettings.ShowDayDate)
        ClockLayout.BellTop = DeviceY(7) + rise + lineHeight + border;
    else
        ClockLayout.BellTop = DeviceY(4) + rise + border;
    ClockLayout.DayDateSideMargin = DeviceX(10);
    ClockLayout.DayDateTop = DeviceY(3) + border;
}

// Measured on a screen DC, which draws what the window's DC draws: a
// window's DC, once taken, costs server round trips again when the window
// is shown or moved (Wine marks it dirty).
BOOL LayOutFace()
{
    ClockLayout.Known = 0;
    if (!ClockFontsComplete())
        return FALSE;
    HDC dc = GetDC(NULL);
    if (dc == NULL)
        return FALSE;
    int digitHeight = MeasureDigitHeightOn(dc);
    int lineHeight = MeasureLineHeight();
    BOOL placed = FALSE;
    if (digitHeight >= 0 && lineHeight >= 0) {
        ClockLayout.DigitHeight = digitHeight;
        TimeGroupFonts fonts = ClockTimeGroupFonts();
        placed = PlaceTimeGroup(dc, &fonts, &ClockLayout);
        PlaceVerticalMetrics(lineHeight);
    }
    ReleaseDC(NULL, dc);
    ClockLayout.Known = placed;
    return placed;
}

int ContentHeightFor(int digitHeight, int lineHeight)
{
    int extra = SafeQuotient(DeviceY(75), digitHeight);
    if (ClockSettings.ShowDayDate)
        return digitHeight + extra + DeviceY(11) + lineHeight;
    return digitHeight + extra + DeviceY(2) + ClockLayout.BottomMargin;
}

int ComputeContentHeight()
{
    if (!SupportedDpi(ClockLayout.DpiX)) {
        ClockSettings.VerticalBorderHeight = 0;
        return 0;
    }
    int lineHeight = MeasureLineHeight();
    return lineHeight < 0 ? -1 : ContentHeightFor(ClockLayout.DigitHeight, lineHeight);
}

void ItemRect(HWND window, RECT *rect)
{
    HWND parent = GetParent(window);
    RECT parentClient = {}, ownClient = {}, screen = {};
    GetClientRect(parent, &parentClient);
    GetClientRect(window, &ownClient);
    GetWindowRect(window, &screen);
    rect->left = parentClient.left;
    rect->right = parentClient.right;
    rect->top = ownClient.top;
    rect->bottom = ownClient.bottom;
    HWND grandparent = parent ? GetParent(parent) : NULL;
    if (grandparent) {
        RECT outer = {};
        GetClientRect(grandparent, &outer);
        if (outer.right < rect->right)
            rect->right = outer.right;
    }
    // Only the part to the right of the item's own left edge is visible.
    if (screen.left != parentClient.left)
        rect->right -= screen.left;
}

DWORD LandscapeFor(int width, int height)
{
    return width >= (4 * height) / 3 ? 1 : 0;
}

DWORD ProbeLandscape()
{
    return LandscapeFor(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

BOOL ProbeDpiX()
{
    ClockLayout.DpiX = ScreenLogPixelsX();
    return ClockLayout.DpiX > 0;
}
