// Painting the strip. The host's watermark (or the highlight fill) with the
// semi-transparent cells over it is expensive to make, so it is cached in
// two bitmaps, one per selection state; an ordinary paint copies the right
// one into an off-screen bitmap, draws the texts and the bell over it and
// copies the result to the screen in one BitBlt. Every bitmap keeps its own
// memory DC between paints: under Wine, making a DC and selecting a bitmap
// into it costs more than all the drawing of an ordinary paint.
#include "paint.h"
#include "fonts.h"
#include "layout.h"
#include "timeformat.h"
#include "fitgroup.h"
#include "fitline.h"
#include "settings.h"
#include "itemstate.h"
#include "handheld.h"

FaceSurfacesRecord FaceSurfaces;

namespace {

// The cells carry premultiplied per-pixel alpha.
const BLENDFUNCTION CellBlend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

// Time fields and the separator are fetched into 4 characters.
const int TimeFieldChars = 4;

// Two cell glyphs frame a two-digit field.
const WCHAR CellGlyphs[] = {PRIVATE_CELL_GLYPH, PRIVATE_CELL_GLYPH, 0};

const int MaxBellPoints = 24;

// Everything one paint works with.
struct PaintJob {
    HWND Window;
    SYSTEMTIME Now;
    RECT Rect;
    int Width;
    int Height;
};

COLORREF HostColor(HWND window, WPARAM which)
{
    return (COLORREF)SendMessageW(GetParent(window), TODAYM_GETCOLOR, which, 0);
}

// A text that could not be drawn spoils the picture being drawn: the step
// reads FaceSurfaces.DrawFailed when it is done.
void DrawTextAt(HDC dc, int x, int y, const WCHAR *text, int length)
{
    if (!ExtTextOutW(dc, x, y, 0, NULL, text, (UINT)length, NULL))
        FaceSurfaces.DrawFailed = 1;
}

// Baseline of the time row: BottomMargin above the content bottom.
int TimeBaseline()
{
    return (int)ClockSettings.VerticalBorderHeight + ClockLayout.ContentHeight - ClockLayout.BottomMargin;
}

int UpperMarkerBaseline()
{
    return (int)ClockSettings.VerticalBorderHeight + ClockLayout.ContentHeight - TimeGroupFit.Placed.UpperMarkerRise;
}

// ---- Surfaces ------------------------------------------------------------

void ReleaseSurface(FaceSurface *surface)
{
    if (surface->Previous)
        SelectObject(surface->DC, surface->Previous);
    if (surface->Bitmap)
        DeleteObject(surface->Bitmap);
    if (surface->DC)
        DeleteDC(surface->DC);
    *surface = FaceSurface();
}

// A memory DC with `bitmap` selected; a failed step leaves the surface
// empty, and the drawing that needs it then does nothing.
void AdoptBitmap(FaceSurface *surface, HBITMAP bitmap)
{
    surface->Bitmap = bitmap;
    surface->DC = CreateCompatibleDC(NULL);
    if (surface->DC == NULL || bitmap == NULL)
        return;
    surface->Previous = SelectObject(surface->DC, bitmap);
}

// The cells: a 32-bit DIB section, so that the alpha pass can work on its
// words directly.
void MakeCellsSurface(int w, int h)
{
    void *bits = NULL;
    HBITMAP bitmap = MakeDibSection32(w, h, &bits);
    AdoptBitmap(&FaceSurfaces.Cells, bitmap);
    FaceSurfaces.CellBits = bitmap ? (DWORD *)bits : NULL;
}

// Bitmaps in the screen's own format for the surfaces given, so that
// copying them to the screen converts nothing: on a 32-bit screen 32-bit
// DIB sections, made without the display driver or a screen DC (under Wine
// a compatible bitmap costs server round trips when it is made and when it
// is first selected, and so does each screen DC); on any other, compatible
// bitmaps. The screen's depth is read once and kept (the desktop build
// always takes DIB sections). A surface without one is left empty.
void AdoptScreenBitmaps(FaceSurface *const surfaces[], int count, int w, int h)
{
    if (ScreenBitsPerPixel() == 32) {
        for (int i = 0; i < count; i++) {
            void *bits = NULL;
            AdoptBitmap(surfaces[i], MakeDibSection32(w, h, &bits));
        }
        return;
    }
    // Without the screen's DC a compatible bitmap would be monochrome.
    HDC screen = GetDC(NULL);
    if (screen == NULL)
        return;
    for (int i = 0; i < count; i++)
        AdoptBitmap(surfaces[i], CreateCompatibleBitmap(screen, w, h));
    ReleaseDC(NULL, screen);
}

BOOL SurfacesFit(int w, int h)
{
    const FaceSurfacesRecord &s = FaceSurfaces;
    return s.Width == w && s.Height == h && s.CellBits && s.Cells.Previous && s.Normal.Previous &&
           s.Compose.Previous;
}

// Surfaces for a w x h strip; TRUE when they had to be made anew (their
// pixels are then still to be drawn). The selected background is made by
// the first paint that shows it.
// A surface that could not be made leaves them unfit, and the next paint
// makes them all again.
BOOL FitSurfaces(int w, int h)
{
    if (SurfacesFit(w, h))
        return FALSE;
    ReleaseFaceSurfaces();
    MakeCellsSurface(w, h);
    FaceSurface *const backgroundAndCompose[] = {&FaceSurfaces.Normal, &FaceSurfaces.Compose};
    AdoptScreenBitmaps(backgroundAndCompose, ARRAYSIZE(backgroundAndCompose), w, h);
    FaceSurfaces.Width = w;
    FaceSurfaces.Height = h;
    return TRUE;
}

// ---- Background cells --------------------------------------------------

// The rounded cell's box: over the content area, inset from the strip's
// sides and from the content's top and bottom.
RECT KeyCellRect(int w)
{
    int border = (int)ClockSettings.VerticalBorderHeight;
    RECT cell = {DeviceX(3), border + DeviceY(1), w - DeviceX(3), border + ClockLayout.ContentHeight - DeviceY(1)};
    return cell;
}

// The rounded cell over the content area, in the key colour, with the
// DC's black pen as its outline. FALSE when it could not be drawn.
BOOL DrawKeyCell(HDC dc, int w)
{
    DWORD key = ClockSettings.AlphaReserved;
    HBRUSH brush = CreateSolidBrush(RGB((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF));
    if (brush == NULL)
        return FALSE;
    HGDIOBJ previous = SelectObject(dc, brush);
    RECT cell = KeyCellRect(w);
    BOOL drawn = previous != NULL && RoundRect(dc, cell.left, cell.top, cell.right, cell.bottom, DeviceX(5), DeviceY(5));
    if (previous)
        SelectObject(dc, previous);
    DeleteObject(brush);
    return drawn;
}

// Shapes cut out of the cell: bell, digit cells and two-line markers, all
// in black (which the alpha pass turns transparent).
void DrawCellHoles(HDC dc)
{
    const TimeGroupFitRecord &fit = TimeGroupFit;
    int xo = fit.Offset, yb = TimeBaseline();
    if (ClockSettings.AlarmIconEnabled && !DrawBellOutline(dc, fit.Placed.BellLeft + xo, ClockLayout.BellTop))
        FaceSurfaces.DrawFailed = 1;
    SetTextAlign(dc, TA_BASELINE | TA_RIGHT);
    if (FontProbe.FontLevel >= 2) {
        DrawTextAt(dc, fit.Placed.HourRight + xo, yb, CellGlyphs, 2);
        DrawTextAt(dc, fit.Placed.MinuteRight + xo, yb, CellGlyphs, 2);
        if (ClockSettings.ShowSeconds) {
            SelectFontIfAny(dc, fit.Fonts.Seconds);
            DrawTextAt(dc, fit.Placed.SecondsRight + xo, yb, CellGlyphs, 2);
        }
    }
    if (ClockSettings.ShowTimeMarkers && !ClockSettings.SingleTMLine) {
        SelectFontIfAny(dc, fit.Fonts.Marker);
        DrawTextAt(dc, fit.Placed.MarkerRight + xo, UpperMarkerBaseline(), TimeFormatInfo.AmMarker,
                   lstrlenW(TimeFormatInfo.AmMarker));
        DrawTextAt(dc, fit.Placed.MarkerRight + xo, yb, TimeFormatInfo.PmMarker, lstrlenW(TimeFormatInfo.PmMarker));
    }
}

// Rows below the limit (counted from the bottom) lie behind the time, the
// rows above it form the day/date band.
int DayDateBandLimit()
{
    int bottom = (int)ClockSettings.VerticalBorderHeight + ClockLayout.ContentHeight;
    if (!ClockSettings.ShowDayDate)
        return bottom;
    return bottom - ClockFonts.DayDateLineHeight - ClockLayout.DayDateGap;
}

// FALSE when a part of the cells could not be drawn: they are then not
// used, and the next paint draws them again.
BOOL RebuildCells(int w, int h)
{
    DWORD *bits = FaceSurfaces.CellBits;
    HDC dc = FaceSurfaces.Cells.DC;
    if (bits == NULL || dc == NULL)
        return FALSE;
    FinishBatchedDrawing();
    ZeroMemory(bits, (SIZE_T)w * (SIZE_T)h * 4);
    HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
    HGDIOBJ originalBrush = GetCurrentObject(dc, OBJ_BRUSH);
    SetBkMode(dc, TRANSPARENT);
    SelectFontIfAny(dc, TimeGroupFit.Fonts.HourMinute);
    FaceSurfaces.DrawFailed = !DrawKeyCell(dc, w);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    DrawCellHoles(dc);
    FinishBatchedDrawing();
    ApplyCellAlpha(bits, w, h, DayDateBandLimit());
    SelectObject(dc, originalFont);
    SelectObject(dc, originalBrush);
    return !FaceSurfaces.DrawFailed;
}

// ---- Cached backgrounds ------------------------------------------------

BOOL FillHighlight(HWND window, HDC dc, const RECT *rect)
{
    HBRUSH brush = CreateSolidBrush(HostColor(window, TODAYCOLOR_HIGHLIGHT));
    if (brush == NULL)
        return FALSE;
    BOOL filled = FillRect(dc, rect, brush) != 0;
    DeleteObject(brush);
    return filled;
}

void DrawHostWatermark(HWND window, HDC dc, const RECT *rect)
{
    TODAYDRAWWATERMARKINFO info = {};
    info.hdc = dc;
    info.rc = *rect;
    info.hwnd = window;
    SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0, (LPARAM)&info);
}

// The part of the cells that the blend can change. Outside the rounded
// cell the cells hold cleared words, which the alpha pass turns into
// AlphaTransparent; a transparent word of 0 leaves the background as it
// is, so only the cell's box needs blending (AlphaBlend is most of a
// rebuild). A key of 0 marks the cleared words as cell too: then, as with
// any other transparent word, the whole strip is blended.
RECT CellsBlendBox(int w, int h)
{
    RECT whole = {0, 0, w, h}, box = whole;
    if (ClockSettings.AlphaTransparent != 0 || ClockSettings.AlphaReserved == 0)
        return whole;
    RECT cell = KeyCellRect(w);
    IntersectRect(&box, &cell, &whole);
    return box;
}

BOOL BlendCellsOnto(HDC dc, const RECT *box)
{
    int w = box->right - box->left, h = box->bottom - box->top;
    return AlphaBlend(dc, box->left, box->top, w, h, FaceSurfaces.Cells.DC, box->left, box->top, w, h, CellBlend);
}

// The normal background now; the selected one when a paint first shows it
// (most items are never selected, and it costs a fill and a blend). FALSE
// when a step failed: the background is then drawn again at the next
// paint.
BOOL RebuildBackgrounds(const PaintJob *job)
{
    FaceSurfaces.SelectedStale = 1;
    DrawHostWatermark(job->Window, FaceSurfaces.Normal.DC, &job->Rect);
    RECT box = CellsBlendBox(job->Width, job->Height);
    return BlendCellsOnto(FaceSurfaces.Normal.DC, &box);
}

BOOL MakeSelectedSurface(int w, int h)
{
    FaceSurface *const selected[] = {&FaceSurfaces.Selected};
    AdoptScreenBitmaps(selected, ARRAYSIZE(selected), w, h);
    if (FaceSurfaces.Selected.Previous != NULL)
        return TRUE;
    ReleaseSurface(&FaceSurfaces.Selected);
    return FALSE;
}

// The highlight fill with the cells over it, made and drawn when the item
// is shown selected and it is missing or older than the cells. FALSE when
// it could not be: the next paint tries again.
BOOL FitSelectedBackground(const PaintJob *job)
{
    if (!ItemState.Selected)
        return TRUE;
    if (FaceSurfaces.Selected.Previous == NULL) {
        if (!MakeSelectedSurface(job->Width, job->Height))
            return FALSE;
        FaceSurfaces.SelectedStale = 1;
    }
    if (!FaceSurfaces.SelectedStale)
        return TRUE;
    HDC selected = FaceSurfaces.Selected.DC;
    RECT box = CellsBlendBox(job->Width, job->Height);
    if (!FillHighlight(job->Window, selected, &job->Rect) || !BlendCellsOnto(selected, &box))
        return FALSE;
    FaceSurfaces.SelectedStale = 0;
    return TRUE;
}

// ---- Colours -----------------------------------------------------------

void UseOneColour(FaceColours *colours, COLORREF colour)
{
    colours->Separator = colours->Hour = colours->Minute = colours->Seconds = colour;
    colours->Alarm = colours->Marker = colours->Day = colours->Date = colour;
}

void UseElementColours(FaceColours *colours)
{
    colours->Separator = ClockSettings.ColorExTSeparator;
    colours->Hour = ClockSettings.ColorExHour;
    colours->Minute = ClockSettings.ColorExMinute;
    colours->Seconds = ClockSettings.ColorExSecond;
    colours->Alarm = ClockSettings.ColorExAlarm;
    colours->Marker = ClockSettings.ColorExTMarker;
    colours->Day = ClockSettings.ColorExDay;
    colours->Date = ClockSettings.ColorExDate;
}

void ChooseColours(HWND window, FaceColours *colours)
{
    BOOL selected = ItemState.Selected != 0;
    switch (ClockSettings.TextColorEnabled) {
    case 1:
        UseOneColour(colours, selected ? ClockSettings.TextColorHighlight : ClockSettings.TextColorDefault);
        break;
    case 2:
        UseElementColours(colours);
        break;
    case 3:
        if (selected)
            UseOneColour(colours, ClockSettings.TextColorHighlight);
        else
            UseElementColours(colours);
        break;
    default:
        UseOneColour(colours, HostColor(window, selected ? TODAYCOLOR_HIGHLIGHTEDTEXT : TODAYCOLOR_TEXT));
        break;
    }
}

// ---- Time group and day/date line --------------------------------------

void DrawBell(HDC dc, int x, int y, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previousBrush = brush ? SelectObject(dc, brush) : NULL;
    HGDIOBJ previousPen = pen ? SelectObject(dc, pen) : NULL;
    // In the DC's own pen or brush the bell would be a wrong picture.
    if (previousBrush == NULL || previousPen == NULL || !DrawBellOutline(dc, x, y))
        FaceSurfaces.DrawFailed = 1;
    if (previousPen)
        SelectObject(dc, previousPen);
    if (previousBrush)
        SelectObject(dc, previousBrush);
    if (pen)
        DeleteObject(pen);
    if (brush)
        DeleteObject(brush);
}

struct TimeTexts {
    WCHAR Hour[TimeFieldChars];
    WCHAR Minute[TimeFieldChars];
    WCHAR Seconds[TimeFieldChars];
    WCHAR Separator[TimeFieldChars];
};

void FormatTimeTexts(const SYSTEMTIME *now, TimeTexts *texts)
{
    BOOL formatted = FormatTimeField(now, HourPicture(), texts->Hour, TimeFieldChars);
    formatted &= FormatTimeField(now, L"mm", texts->Minute, TimeFieldChars);
    formatted &= FormatTimeField(now, L"ss", texts->Seconds, TimeFieldChars);
    formatted &= ReadTimeSeparator(texts->Separator, TimeFieldChars);
    if (!formatted)
        FaceSurfaces.DrawFailed = 1;
    if (FontProbe.FontLevel >= 2) {
        MapToPrivateDigits(texts->Hour);
        MapToPrivateDigits(texts->Minute);
        MapToPrivateDigits(texts->Seconds);
        MapToPrivateDigits(texts->Separator);
    }
}

// A separator with characters the hour's face lacks is drawn in the
// markers' face (the layout found which); the hour's font is put back.
void DrawSeparator(HDC dc, int x, int y, const WCHAR *separator)
{
    if (!TimeGroupFit.Placed.SeparatorInMarkerFace) {
        DrawTextAt(dc, x, y, separator, lstrlenW(separator));
        return;
    }
    SelectFontIfAny(dc, TimeGroupFit.Fonts.Marker);
    DrawTextAt(dc, x, y, separator, lstrlenW(separator));
    SelectFontIfAny(dc, TimeGroupFit.Fonts.HourMinute);
}

// Minutes and seconds are always two characters.
int TwoOrFewer(const WCHAR *text)
{
    int length = lstrlenW(text);
    return length < 2 ? length : 2;
}

void DrawMarker(HDC dc, int xo, int yb, const SYSTEMTIME *now, COLORREF colour)
{
    SelectFontIfAny(dc, TimeGroupFit.Fonts.Marker);
    if (!TimeFormatInfo.MarkersPresent || !ClockSettings.ShowTimeMarkers)
        return;
    SetTextColor(dc, colour);
    int x = TimeGroupFit.Placed.MarkerRight + xo;
    // One marker at a time: in two-line mode AM stands on the upper line
    // and PM on the lower one.
    if (now->wHour >= 12)
        DrawTextAt(dc, x, yb, TimeFormatInfo.PmMarker, lstrlenW(TimeFormatInfo.PmMarker));
    else
        DrawTextAt(dc, x, ClockSettings.SingleTMLine ? yb : UpperMarkerBaseline(), TimeFormatInfo.AmMarker,
                   lstrlenW(TimeFormatInfo.AmMarker));
}

// ---- Paint steps -------------------------------------------------------

// Surfaces of the strip's size, with cells and backgrounds redrawn where
// the dirty flags (or new surfaces) call for it. A flag is cleared only by
// a rebuild that succeeded; FALSE when the surfaces do not hold a good
// picture, which is then not copied anywhere.
BOOL RebuildWhatIsDirty(const PaintJob *job)
{
    if (FitSurfaces(job->Width, job->Height))
        ItemState.BackgroundDirty = 1;
    if (!SurfacesFit(job->Width, job->Height))
        return FALSE;
    // The cells carry the group's shapes where the fit puts them.
    BOOL refitted = FALSE;
    if (!FitTimeGroup(job->Width, &refitted))
        return FALSE;
    if (refitted)
        ItemState.BackgroundDirty = 1;
    if (ItemState.BackgroundDirty) {
        // The fonts may have been rebuilt: the day/date line is measured
        // again.
        ForgetDayDateFit();
        // New cells always mean new backgrounds.
        ItemState.WatermarkDirty = 1;
        ItemState.BackgroundDirty = 0;
        if (!RebuildCells(job->Width, job->Height)) {
            ItemState.BackgroundDirty = 1;
            return FALSE;
        }
    }
    if (ItemState.WatermarkDirty) {
        ItemState.WatermarkDirty = 0;
        if (!RebuildBackgrounds(job)) {
            ItemState.WatermarkDirty = 1;
            return FALSE;
        }
    }
    return FitSelectedBackground(job);
}

// FALSE when a part of the face could not be drawn.
BOOL ComposeFace(const PaintJob *job)
{
    HDC dc = FaceSurfaces.Compose.DC;
    HDC background = ItemState.Selected ? FaceSurfaces.Selected.DC : FaceSurfaces.Normal.DC;
    FaceSurfaces.DrawFailed = !BitBlt(dc, 0, 0, job->Width, job->Height, background, 0, 0, SRCCOPY);
    FaceColours colours;
    ChooseColours(job->Window, &colours);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
    SelectFontIfAny(dc, TimeGroupFit.Fonts.HourMinute);
    if (ItemState.TimeVisible)
        DrawTimeGroup(dc, &job->Now, &colours);
    if (ClockSettings.ShowDayDate)
        DrawDayDateLine(dc, &job->Rect, &job->Now, &colours);
    SelectObject(dc, originalFont);
    return !FaceSurfaces.DrawFailed;
}

// A width change (rotation) resizes the window and calls for new cells.
// The host sets only the item's height; the width has to follow the
// host's before BeginPaint, whose DC and update region are the window's.
void FollowWidth(HWND window, int w, int h)
{
    if (w == ItemState.LastWidth)
        return;
    ItemState.LastWidth = w;
    ItemState.BackgroundDirty = 1;
    // A window that has the width already (the first paint of a window made
    // at the screen's width) is not moved: a move costs the host a round of
    // window messages.
    RECT own;
    if (GetClientRect(window, &own) && own.right == w)
        return;
    SetWindowPos(window, NULL, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
}

// Until the fonts are made and the layout measured the face is not drawn
// at all: the screen keeps what it had.
BOOL FaceDrawable(int w, int h)
{
    return ClockLayout.Known && ClockFontsComplete() && ClockLayout.ContentHeight > 0 &&
           SupportedDpi(ClockLayout.DpiX) && w > 0 && h > 0;
}

} // namespace

HBITMAP MakeDibSection32(int w, int h, void **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = (DWORD)w * (DWORD)h * 4;
    *bits = NULL;
    return CreateDIBSection(NULL, &info, DIB_RGB_COLORS, bits, NULL, 0);
}

void ReleaseFaceSurfaces()
{
    ReleaseSurface(&FaceSurfaces.Compose);
    ReleaseSurface(&FaceSurfaces.Selected);
    ReleaseSurface(&FaceSurfaces.Normal);
    ReleaseSurface(&FaceSurfaces.Cells);
    FaceSurfaces = FaceSurfacesRecord();
    ReleaseTimeGroupFit();
    ForgetDayDateFit();
}

DWORD PremultipliedCellWord(DWORD word)
{
    DWORD alpha = word >> 24;
    DWORD result = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        DWORD channel = (word >> shift) & 0xFF;
        result |= ((channel * alpha + 127) / 255) << shift;
    }
    return result;
}

// GDI leaves the top byte of the pixels it draws 0; the key is the colour.
const DWORD CellColourBytes = 0x00FFFFFF;

void ApplyCellAlpha(DWORD *bits, int w, int h, int bandLimit)
{
    DWORD key = ClockSettings.AlphaReserved & CellColourBytes;
    DWORD time = PremultipliedCellWord(ClockSettings.AlphaTime);
    DWORD dayDate = PremultipliedCellWord(ClockSettings.AlphaDayDate);
    DWORD transparent = PremultipliedCellWord(ClockSettings.AlphaTransparent);
    for (int row = 0; row < h; row++) {
        DWORD cell = row < bandLimit ? time : dayDate;
        DWORD *pixel = bits + (SIZE_T)row * (SIZE_T)w;
        for (int column = 0; column < w; column++)
            pixel[column] = (pixel[column] & CellColourBytes) == key ? cell : transparent;
    }
}

BOOL DrawBellOutline(HDC dc, int x, int y)
{
    const BellShape *bell = BellShapeFor(ClockLayout.DpiX);
    if (bell == NULL)
        return TRUE;
    POINT points[MaxBellPoints];
    int count = bell->Count < MaxBellPoints ? bell->Count : MaxBellPoints;
    for (int i = 0; i < count; i++) {
        points[i].x = bell->Points[i].x + x;
        points[i].y = bell->Points[i].y + y;
    }
    return Polygon(dc, points, count);
}

void DrawTimeGroup(HDC dc, const SYSTEMTIME *now, const FaceColours *colours)
{
    const TimeGroupFitRecord &fit = TimeGroupFit;
    TimeTexts texts;
    FormatTimeTexts(now, &texts);
    int xo = fit.Offset, yb = TimeBaseline();
    SetTextAlign(dc, TA_BASELINE | TA_CENTER);
    SetTextColor(dc, colours->Separator);
    DrawSeparator(dc, fit.Placed.SeparatorCenter + xo, yb, texts.Separator);
    SetTextAlign(dc, TA_BASELINE | TA_RIGHT);
    SetTextColor(dc, colours->Hour);
    DrawTextAt(dc, fit.Placed.HourRight + xo, yb, texts.Hour, lstrlenW(texts.Hour));
    SetTextColor(dc, colours->Minute);
    DrawTextAt(dc, fit.Placed.MinuteRight + xo, yb, texts.Minute, TwoOrFewer(texts.Minute));
    if (ClockSettings.ShowSeconds) {
        SelectFontIfAny(dc, fit.Fonts.Seconds);
        SetTextColor(dc, colours->Seconds);
        DrawTextAt(dc, fit.Placed.SecondsRight + xo, yb, texts.Seconds, TwoOrFewer(texts.Seconds));
    }
    if (ItemState.AlarmSet && ClockSettings.AlarmIconEnabled)
        DrawBell(dc, fit.Placed.BellLeft + xo, ClockLayout.BellTop, colours->Alarm);
    DrawMarker(dc, xo, yb, now, colours->Marker);
}

// A text of the day/date line, drawn from `x` with `align` and clipped to
// its slot: the fit measured it as drawn, and the clip guards the
// neighbours from what a measure could not foresee.
static void DrawLineText(HDC dc, UINT align, COLORREF colour, int x, const RECT *slot, const WCHAR *text)
{
    SetTextAlign(dc, align | TA_TOP);
    SetTextColor(dc, colour);
    if (!ExtTextOutW(dc, x, ClockLayout.DayDateTop, ETO_CLIPPED, slot, text, (UINT)lstrlenW(text), NULL))
        FaceSurfaces.DrawFailed = 1;
}

// A text of the line drawn from the left or the right end of `box`, moved
// in by `inset` and clipped to a slot `width` wide from that end, as high
// as the strip.
static void DrawFromEnd(HDC dc, BOOL fromLeft, COLORREF colour, const DayDateBox &box, int width, int inset,
                        const RECT *rect, const WCHAR *text)
{
    RECT slot = {fromLeft ? box.Left : box.Right - width, rect->top, fromLeft ? box.Left + width : box.Right,
                 rect->bottom};
    DrawLineText(dc, fromLeft ? TA_LEFT : TA_RIGHT, colour, fromLeft ? box.Left + inset : box.Right - inset, &slot,
                 text);
}

void DrawDayDateLine(HDC dc, const RECT *rect, const SYSTEMTIME *now, const FaceColours *colours)
{
    DayDateTexts texts;
    if (!ComposeDayDate(now, &texts))
        FaceSurfaces.DrawFailed = 1;
    SelectFontIfAny(dc, ClockFonts.DayDateFont);
    int margin = ClockLayout.DayDateSideMargin;
    DayDateBox box = {margin, rect->right - margin, margin};
    DayDateLine line;
    if (!FitDayDateLine(ClockFonts.DayDateFont, &box, &texts, &line))
        FaceSurfaces.DrawFailed = 1;
    if (line.Arrangement == 0 || line.Arrangement == 2) {
        BOOL dayLeft = line.Arrangement == 0;
        DrawFromEnd(dc, dayLeft, colours->Day, box, line.DaySlotWidth, line.DayInset, rect, line.DaySlot);
        DrawFromEnd(dc, !dayLeft, colours->Date, box, line.DateSlotWidth, line.DateInset, rect, line.Date);
        return;
    }
    // The date alone, centred, in the day colour.
    RECT whole = {box.Left, rect->top, box.Right, rect->bottom};
    DrawLineText(dc, TA_CENTER, colours->Day, rect->right / 2, &whole, line.Date);
}

// Reads top to bottom: the width the host calls for, the screen DC,
// whatever the dirty flags call for rebuilt, the face drawn and copied in
// one BitBlt, the screen DC closed. The surfaces stay for the next paint.
LRESULT PaintItem(HWND window)
{
    PaintJob job = {};
    job.Window = window;
    GetLocalTime(&job.Now);
    ItemRect(window, &job.Rect);
    job.Width = job.Rect.right;
    job.Height = job.Rect.bottom;
    FollowWidth(window, job.Width, job.Height);

    PAINTSTRUCT ps;
    HDC screen = BeginPaint(window, &ps);
    if (screen == NULL) {
        // Left invalid, the window would be sent WM_PAINT again at once, for
        // as long as BeginPaint fails; the tick asks for the paint instead.
        ValidateRect(window, NULL);
        FaceSurfaces.PaintFailed = 1;
        return 0;
    }
    // Without a face the update region is validated all the same. A face
    // that could not be drawn whole is not shown: the screen keeps the last
    // good picture, and the next paint tries again.
    if (FaceDrawable(job.Width, job.Height)) {
        BOOL drawn = RebuildWhatIsDirty(&job) && ComposeFace(&job);
        FaceSurfaces.PaintFailed = !drawn;
        if (drawn)
            BitBlt(screen, 0, 0, job.Width, job.Height, FaceSurfaces.Compose.DC, 0, 0, SRCCOPY);
    }
    EndPaint(window, &ps);
    return 0;
}
