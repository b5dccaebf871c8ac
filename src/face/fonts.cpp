// The four clock fonts, the private digit face and what is kept of the
// screen (resolution, depth).
#include "fonts.h"
#include "settings.h"
#include "handheld.h"
#include "portable.h"
#include <shlobj.h>
#include <wchar.h>

ClockFontsRecord ClockFonts;
FontProbeRecord FontProbe;

namespace {

// The screen's resolution and depth are read together, on one screen DC,
// once they can be: a failed read (no screen DC, a value of 0) is not
// kept, so the next use reads again. Every length scaled from a failed
// read (-1) is refused by the font builder, so nothing is laid out or
// drawn from it. Under Wine each screen DC costs server round trips.
struct ScreenFactsRecord {
    DWORD Read;
    int LogPixelsX, LogPixelsY, BitsPerPixel;
};
ScreenFactsRecord ScreenFacts;

// Reads the facts on a screen DC that the caller holds, unless they are
// read already.
void NoteScreenFacts(HDC screen)
{
    ScreenFactsRecord &facts = ScreenFacts;
    if (facts.Read)
        return;
    facts.LogPixelsX = GetDeviceCaps(screen, LOGPIXELSX);
    facts.LogPixelsY = GetDeviceCaps(screen, LOGPIXELSY);
    facts.BitsPerPixel = ScreenSurfaceBits(screen);
    facts.Read = facts.LogPixelsX > 0 && facts.LogPixelsY > 0 && facts.BitsPerPixel > 0;
    if (!facts.Read)
        facts.LogPixelsX = facts.LogPixelsY = facts.BitsPerPixel = -1;
}

const ScreenFactsRecord &ReadScreenFacts()
{
    ScreenFactsRecord &facts = ScreenFacts;
    if (facts.Read)
        return facts;
    facts.LogPixelsX = facts.LogPixelsY = facts.BitsPerPixel = -1;
    HDC screen = GetDC(NULL);
    if (screen == NULL)
        return facts;
    NoteScreenFacts(screen);
    ReleaseDC(NULL, screen);
    return facts;
}

// The user-interface font size the device reports before it has been set.
const DWORD DefaultUiFontHundredths = 800;

// Sizes the options never write; anything larger read from the registry
// would ask for fonts (and strips) thousands of pixels tall.
const DWORD LargestFontPoints = 99;

int BoundedPoints(DWORD points)
{
    return points > LargestFontPoints ? (int)LargestFontPoints : (int)points;
}

// Character height in pixels (negative) for a point size, or the 96-dpi
// fall-back scaled to the screen when the size is 0.
int FontHeight(DWORD points, int fallbackPixels)
{
    int height = -ScaleRounded(BoundedPoints(points), ScreenLogPixelsY(), 72);
    if (height == 0)
        height = -DeviceY(fallbackPixels);
    return height;
}

BYTE QualityFor(DWORD clearType)
{
    return clearType ? CLEARTYPE_COMPAT_QUALITY : DEFAULT_QUALITY;
}

// Line height of DayDateFont (or of the DC's own font when there is none)
// on the screen DC; -1 when it could not be measured.
int MeasureDayDateLineOn(HDC screen)
{
    TEXTMETRICW metrics = {};
    HGDIOBJ previous = SelectFontIfAny(screen, ClockFonts.DayDateFont);
    BOOL measured = GetTextMetricsW(screen, &metrics);
    if (previous)
        SelectObject(screen, previous);
    return measured ? metrics.tmHeight + metrics.tmExternalLeading : -1;
}

void DeleteFont(HFONT *font)
{
    if (*font)
        DeleteObject(*font);
    *font = NULL;
}

BOOL PrivateFontPath(WCHAR *path, int chars)
{
    // The folder is at most 49 characters and the suffix 18, so the
    // formatted path always fits the 100-character buffers used here.
    if (FontProbe.ProgramFilesPath[0] == 0 || chars < 100)
        return FALSE;
    wsprintfW(path, PRIVATE_FONT_FORMAT, FontProbe.ProgramFilesPath);
    return TRUE;
}

// The platform writes up to MAX_PATH characters; only a folder that fits
// the 50-character record is kept (a longer one leaves it empty, and the
// private font is then simply not installed). FALSE when the folder could
// not be read at all: the probe is then tried again.
BOOL ReadProgramFilesPath()
{
    WCHAR folder[MAX_PATH] = {};
    FontProbe.ProgramFilesPath[0] = 0;
    if (!SHGetSpecialFolderPathW(NULL, folder, CSIDL_PROGRAM_FILES, FALSE))
        return FALSE;
    folder[MAX_PATH - 1] = 0;
    if (lstrlenW(folder) < (int)ARRAYSIZE(FontProbe.ProgramFilesPath))
        lstrcpyW(FontProbe.ProgramFilesPath, folder);
    return TRUE;
}

BOOL FileMissing(const WCHAR *path)
{
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return FALSE;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Adds QZL.ttf once. TRUE when it is added or has nothing to add (no
// folder for it, or a device without the file); FALSE when adding a file
// that is there failed, so that the probe tries again. The folder is read
// only while the font is not added: its removal at unload needs the same
// path.
BOOL AddPrivateFont()
{
    if (FontProbe.PrivateFontAdded)
        return TRUE;
    if (!ReadProgramFilesPath())
        return FALSE;
    WCHAR path[100];
    if (!PrivateFontPath(path, ARRAYSIZE(path)))
        return TRUE;
    if (AddFontResourceW(path) != 0) {
        FontProbe.PrivateFontAdded = 1;
        return TRUE;
    }
    return FileMissing(path);
}

void NoteFaceName(const WCHAR *faceName)
{
    if (wcscmp(faceName, PRIVATE_FACE) == 0)
        FontProbe.PrivateFaceFound = 1;
    // Compared in lower case on a copy: the enumerator's record is not ours
    // to change.
    WCHAR lower[LF_FACESIZE];
    CopyText(lower, faceName, LF_FACESIZE);
    CharLowerW(lower);
    if (wcscmp(lower, L"tahoma") == 0)
        FontProbe.TahomaFound = 1;
}

int CALLBACK FaceFamilyProc(const LOGFONTW *font, const TEXTMETRICW *, DWORD, LPARAM)
{
    NoteFaceName(font->lfFaceName);
    return 1;
}

// The families of one face name (matched in any letter case). The callback
// never stops the enumeration, so a finished one returns its last answer,
// 1, as does one that found no family; 0 means it failed.
BOOL EnumerateFace(HDC screen, const WCHAR *faceName)
{
    return EnumFontFamiliesW(screen, faceName, FaceFamilyProc, 0) != 0;
}

// Only the faces the probe looks for are listed, by name: the first listing
// of every family in a process costs over a millisecond under Wine (its
// font cache filled). The private face is listed only once its file is
// added: listing the families is the platform's documented answer to which
// faces it has (the name of the face a font is drawn in may be only the
// name that was asked for), and a file of another face, or a damaged one,
// lists none of that name. The screen's facts, which the fonts are built
// from next, are read on the same DC. FALSE when a face could not be listed.
BOOL EnumerateFaces()
{
    HDC screen = GetDC(NULL);
    if (screen == NULL)
        return FALSE;
    NoteScreenFacts(screen);
    BOOL listed = EnumerateFace(screen, L"Tahoma");
    if (FontProbe.PrivateFontAdded)
        listed &= EnumerateFace(screen, PRIVATE_FACE);
    ReleaseDC(NULL, screen);
    return listed;
}

DWORD FontLevelFromProbe()
{
    DWORD level = FontProbe.TahomaFound ? 1 : 0;
    // A private face that this library did not add does not count.
    if (FontProbe.PrivateFontAdded && FontProbe.PrivateFaceFound)
        level += 2;
    return level;
}

HFONT CreateFontWith(LOGFONTW *font, LONG height, BYTE quality)
{
    font->lfHeight = height;
    font->lfQuality = quality;
    return CreateFontIndirectW(font);
}

// The hour and seconds fonts from the markers' LOGFONT: in the private
// face at weight 500 when it draws the time, else in the markers' face at
// weight 400.
void BuildTimeFonts(LOGFONTW font, const ClockFontHeights &heights, BYTE quality)
{
    if (FontProbe.FontLevel >= 2) {
        CopyText(font.lfFaceName, PRIVATE_FACE, LF_FACESIZE);
        font.lfWeight = FW_MEDIUM;
    } else {
        font.lfWeight = FW_NORMAL;
    }
    ClockFonts.HourMinuteFont = CreateFontWith(&font, heights.Hour, quality);
    ClockFonts.SecondsFont = CreateFontWith(&font, heights.Seconds, quality);
}

} // namespace

int ReadDeviceCapability(int index)
{
    HDC screen = GetDC(NULL);
    if (screen == NULL)
        return -1;
    int value = GetDeviceCaps(screen, index);
    ReleaseDC(NULL, screen);
    return value;
}

int ScreenLogPixelsY()
{
    return ReadScreenFacts().LogPixelsY;
}

int ScreenLogPixelsX()
{
    return ReadScreenFacts().LogPixelsX;
}

int ScreenBitsPerPixel()
{
    return ReadScreenFacts().BitsPerPixel;
}

int DeviceY(int n)
{
    return (ScreenLogPixelsY() * n + 48) / 96;
}

int DeviceX(int n)
{
    return (ScreenLogPixelsX() * n + 48) / 96;
}

int SystemUiFontPoints()
{
    DWORD value = DefaultUiFontHundredths, needed = 0;
    if (FAILED(SHGetUIMetrics(SHUIM_FONTSIZE_POINT, &value, sizeof(value), &needed)))
        return -1;
    return (int)(value / 100);
}

BOOL InstallAndProbePrivateFont()
{
    if (FontProbe.Complete)
        return FALSE;
    DWORD level = FontProbe.FontLevel;
    BOOL added = AddPrivateFont();
    BOOL listed = EnumerateFaces();
    FontProbe.Complete = added && listed;
    FontProbe.FontLevel = FontLevelFromProbe();
    return FontProbe.FontLevel != level;
}

BOOL RetryFontProbe()
{
    if (FontProbe.Complete || !InstallAndProbePrivateFont())
        return FALSE;
    ClockFonts.Wanted = 1;
    return TRUE;
}

void RemovePrivateFont()
{
    WCHAR path[100];
    if (FontProbe.PrivateFontAdded && PrivateFontPath(path, ARRAYSIZE(path)))
        RemoveFontResourceW(path);
}

void DeleteClockFonts()
{
    DeleteFont(&ClockFonts.DayDateFont);
    DeleteFont(&ClockFonts.HourMinuteFont);
    DeleteFont(&ClockFonts.SecondsFont);
    DeleteFont(&ClockFonts.TimeMarkerFont);
    ClockFonts.DayDateLineHeight = 0;
}

HGDIOBJ SelectFontIfAny(HDC dc, HFONT font)
{
    return font ? SelectObject(dc, font) : NULL;
}

int ReadableFloorHeight()
{
    const DWORD ReadablePoints = 6;
    return FontHeight(ReadablePoints, 8);
}

ClockFontHeights ComputeClockFontHeights()
{
    return ClockFontHeightsFor(SystemUiFontPoints());
}

ClockFontHeights ClockFontHeightsFor(int uiPoints)
{
    ClockFontHeights heights;
    heights.Hour = FontHeight(ClockSettings.HourMinFontSize, 51);
    heights.Seconds = FontHeight(ClockSettings.SecondFontSize, 35);
    heights.Marker = FontHeight(ClockSettings.TimeMarkerFontSize, 12);
    // Heights are negative: a smaller number is a taller font. Neither the
    // seconds nor the markers may outgrow the hour digits.
    if (heights.Seconds < heights.Hour)
        heights.Seconds = heights.Hour;
    if (heights.Marker < heights.Hour)
        heights.Marker = heights.Hour;
    heights.DayDate = -ScaleRounded(BoundedPoints((DWORD)uiPoints), ScreenLogPixelsY(), 72);
    return heights;
}

BOOL MarkersTooTallToStack(int markerHeight, int hourHeight)
{
    return markerHeight < ScaleRounded(hourHeight, 40, 100);
}

BOOL BuildClockFonts()
{
    DeleteClockFonts();
    ClockFonts.Wanted = 1;
    // Every height is scaled from the resolution: none is made from a
    // failed read of it.
    int uiPoints = SystemUiFontPoints();
    if (ScreenLogPixelsY() <= 0 || ScreenLogPixelsX() <= 0 || uiPoints < 0)
        return FALSE;
    // The size read once: a second read that failed would make the day/date
    // font 99 points tall.
    ClockFontHeights heights = ClockFontHeightsFor(uiPoints);
    if (MarkersTooTallToStack(heights.Marker, heights.Hour))
        ClockSettings.SingleTMLine = 1;

    LOGFONTW font = {};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
    // The stock font records the average width that goes with its own
    // height; kept, it would squeeze or stretch every clock font. Width 0
    // gives each font its face's natural proportions.
    font.lfWidth = 0;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = DEFAULT_CHARSET;
    if (FontProbe.TahomaFound)
        CopyText(font.lfFaceName, L"Tahoma", LF_FACESIZE);
    ClockFonts.DayDateFont = CreateFontWith(&font, heights.DayDate, QualityFor(ClockSettings.ClearTypeDayDateEnabled));
    BYTE timeQuality = QualityFor(ClockSettings.ClearTypeTimeEnabled);
    ClockFonts.TimeMarkerFont = CreateFontWith(&font, heights.Marker, timeQuality);
    BuildTimeFonts(font, heights, timeQuality);
    // One screen DC for what the build asks of the platform; taken after the
    // resolution is read, which may take one of its own.
    HDC screen = GetDC(NULL);
    int lineHeight = -1;
    if (screen != NULL) {
        lineHeight = ClockFontsComplete() ? MeasureDayDateLineOn(screen) : -1;
        ReleaseDC(NULL, screen);
    }
    // A set with a font missing or an unmeasured line would draw in the
    // wrong font or at the wrong place: none is kept, and the next build
    // starts afresh.
    if (lineHeight < 0) {
        DeleteClockFonts();
        return FALSE;
    }
    ClockFonts.DayDateLineHeight = lineHeight;
    ClockFonts.UiPoints = uiPoints;
    ClockFonts.Wanted = 0;
    ClockFonts.Builds++;
    return TRUE;
}

BOOL ClockFontsComplete()
{
    return ClockFonts.DayDateFont && ClockFonts.TimeMarkerFont && ClockFonts.HourMinuteFont && ClockFonts.SecondsFont;
}

void MapToPrivateDigits(WCHAR *text)
{
    WCHAR mapped[60];
    int i = 0;
    // The copy stops at 59 characters; a longer input is cut there.
    for (; text[i] != 0 && i < (int)ARRAYSIZE(mapped) - 1; i++) {
        WCHAR c = text[i];
        if (c >= L'0' && c <= L'9')
            mapped[i] = (WCHAR)(PRIVATE_DIGIT_ZERO + (c - L'0'));
        else if (c == L':')
            mapped[i] = PRIVATE_COLON;
        else if (c == L'.')
            mapped[i] = PRIVATE_FULL_STOP;
        else
            mapped[i] = c;
    }
    mapped[i] = 0;
    lstrcpyW(text, mapped);
}
