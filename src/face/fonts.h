// The four clock fonts, the private digit face and the screen-resolution
// caches from which every device-scaled length is computed.
#pragma once
#include <windows.h>

struct ClockFontsRecord {
    HFONT DayDateFont;
    HFONT TimeMarkerFont;
    HFONT HourMinuteFont;
    HFONT SecondsFont;
    // tmHeight + tmExternalLeading of DayDateFont on the screen, measured
    // when the fonts are built: the paint needs it at every rebuild.
    int DayDateLineHeight;
    // New fonts are called for (new settings or UI font size) or the last
    // build failed; cleared by a build that made and measured all four.
    DWORD Wanted;
    int UiPoints;       // the UI font size DayDateFont was made for
    // Builds that succeeded so far: a change tells fonts built since a
    // moment from older ones.
    DWORD Builds;
};
extern ClockFontsRecord ClockFonts;

// What the font probe at load found.
struct FontProbeRecord {
    DWORD PrivateFontAdded;
    DWORD PrivateFaceFound;
    DWORD TahomaFound;
    DWORD FontLevel;            // >= 2: the private face draws the time
    WCHAR ProgramFilesPath[50];
    DWORD Complete;             // every step succeeded; until then it runs again
};
extern FontProbeRecord FontProbe;

#define PRIVATE_FONT_FORMAT L"%s\\Quartzel\\QZL.ttf"
#define PRIVATE_FACE L"QZL"
#define PRIVATE_DIGIT_ZERO 0x2FE0   // '0'..'9' follow in order
#define PRIVATE_COLON 0x2FEA
#define PRIVATE_FULL_STOP 0x2FEB
#define PRIVATE_CELL_GLYPH 0x2FEC

// GetDeviceCaps of the screen, or -1 when there is no screen DC.
int ReadDeviceCapability(int index);
// Screen resolution and depth, read together once and kept; -1 while
// they cannot be read.
int ScreenLogPixelsY();
int ScreenLogPixelsX();
int ScreenBitsPerPixel();
// Device-scaled lengths for n pixels at 96 dpi.
int DeviceY(int n);
int DeviceX(int n);

// System user-interface font size in whole points; -1 when it could not
// be read.
int SystemUiFontPoints();

// Load (and, while a step of it failed, each item creation): adds QZL.ttf,
// probes the faces and sets FontLevel. TRUE when FontLevel changed, which
// calls for new fonts.
BOOL InstallAndProbePrivateFont();
// The probe again while a step of it failed; TRUE (and ClockFonts.Wanted)
// when it found another font level.
BOOL RetryFontProbe();
// Unload: removes the font resource if the probe added it.
void RemovePrivateFont();

// (Re)builds the four fonts from ClockSettings and FontLevel. FALSE when
// one of them could not be made or measured: then there is none, and
// ClockFonts.Wanted stays set.
BOOL BuildClockFonts();
// TRUE when all four fonts exist.
BOOL ClockFontsComplete();
// The character heights (negative pixels) the builder gives the fonts.
struct ClockFontHeights {
    int DayDate;
    int Marker;
    int Hour;
    int Seconds;
};
ClockFontHeights ComputeClockFontHeights();
// The smallest character height (negative) a text of the clock is drawn
// at: 6 points, the smallest size the options sheet offers, at the screen's
// resolution.
int ReadableFloorHeight();
// The same for a UI font size (in points) already read.
ClockFontHeights ClockFontHeightsFor(int uiPoints);
// Markers taller than 40 % of the hour digits do not fit two lines beside
// the minutes. Heights are character heights in negative pixels.
BOOL MarkersTooTallToStack(int markerHeight, int hourHeight);
void DeleteClockFonts();

// Selects `font` when there is one; returns what it displaced (NULL when
// nothing was selected).
HGDIOBJ SelectFontIfAny(HDC dc, HFONT font);

// Rewrites digits, ':' and '.' of a short string with the private face's
// code points.
void MapToPrivateDigits(WCHAR *text);
