// Painting the strip. The host's watermark (or the highlight fill) with the
// semi-transparent cells over it is expensive to make, so it is cached in
// two bitmaps, one per selection state; an ordinary paint copies the right
// one into an off-screen bitmap, draws the texts and the bell over it and
// copies the result to the screen in one BitBlt.
#include "paint.h"
#include "fonts.h"
#include "layout.h"
#include "timeformat.h"
#include "settings.h"
#include "itemstate.h"
#include "todaycmn.h"

FaceBitmapsRecord FaceBitmaps;

namespace {

// The cells carry premultiplied per-pixel alpha.
const BLENDFUNCTION CellBlend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

// Time fields and the separator are fetched into 4 characters.
const int TimeFieldChars = 4;

// Two cell glyphs frame a two-digit field.
const WCHAR CellGlyphs[] = {PRIVATE_CELL_GLYPH, PRIVATE_CELL_GLYPH, 0};

const POINT Bell96[] = {{5, 0}, {4, 1}, {3, 1}, {2, 2}, {2, 6}, {0, 8}, {5, 8}, {5, 9}, {4, 10},
                        {5, 11}, {6, 10}, {5, 9}, {5, 8}, {10, 8}, {8, 6}, {8, 2}, {7, 1}, {6, 1}};
const POINT Bell128[] = {{0, 9}, {3, 6}, {3, 4}, {4, 1}, {7, 0}, {10, 1}, {11, 4}, {11, 6},
                         {14, 9}, {7, 9}, {7, 11}, {8, 12}, {7, 13}, {6, 12}, {7, 11}, {7, 9}};
const POINT Bell192[] = {{9, 0}, {9, 2}, {6, 2}, {3, 5}, {2, 8}, {2, 12}, {0, 17}, {9, 17},
                         {9, 19}, {8, 20}, {8, 21}, {9, 22}, {10, 22}, {11, 21}, {11, 20}, {10, 19},
                         {10, 17}, {19, 17}, {17, 12}, {17, 8}, {16, 5}, {13, 2}, {10, 2}, {10, 0}};
const int MaxBellPoints = 24;

// A memory DC and the bitmap that the first selection into it displaced.
struct MemoryDC {
    HDC DC;
    HGDIOBJ Previous;
};

// Everything one paint works with.
struct PaintJob {
    HWND Window;
    SYSTEMTIME Now;
    RECT Rect;
    int Width;
    int Height;
    HDC Screen;
    MemoryDC Compose;
    HBITMAP ComposeBitmap;
    MemoryDC Selected;
    MemoryDC Normal;
};

void SelectBitmapInto(MemoryDC *memory, HBITMAP bitmap)
{
    if (memory->DC == NULL || bitmap == NULL)
        return;
    HGDIOBJ displaced = SelectObject(memory->DC, bitmap);
    if (memory->Previous == NULL)
        memory->Previous = displaced;
}

void RestoreBitmap(MemoryDC *memory)
{
    if (memory->Previous)
        SelectObject(memory->DC, memory->Previous);
    memory->Previous = NULL;
}

void CloseMemoryDC(MemoryDC *memory)
{
    RestoreBitmap(memory);
    if (memory->DC)
        DeleteDC(memory->DC);
    memory->DC = NULL;
}

void SelectFontIfAny(HDC dc, HFONT font)
{
    if (font)
        SelectObject(dc, font);
}

// The one place where a cached background bitmap dies; it must not be
// selected anywhere at this point.
void DeleteBackground(HBITMAP *background)
{
    if (*background)
        DeleteObject(*background);
    *background = NULL;
}

// The one place where the cells bitmap dies: CellsDC gets its own bitmap
// back first.
void DeleteCellsBitmap()
{
    if (FaceBitmaps.CellsPrevBitmap)
        SelectObject(FaceBitmaps.CellsDC, FaceBitmaps.CellsPrevBitmap);
    FaceBitmaps.CellsPrevBitmap = NULL;
    if (FaceBitmaps.CellsBitmap)
        DeleteObject(FaceBitmaps.CellsBitmap);
    FaceBitmaps.CellsBitmap = NULL;
}

COLORREF HostColor(HWND window, WPARAM which)
{
    return (COLORREF)SendMessageW(GetParent(window), TODAYM_GETCOLOR, which, 0);
}

void DrawTextAt(HDC dc, int x, int y, const WCHAR *text, int length)
{
    ExtTextOutW(dc, x, y, 0, NULL, text, (UINT)length, NULL);
}

// Baseline of the time row: BottomMargin above the content bottom.
int TimeBaseline()
{
    return (int)ClockSettings.VerticalBorderHeight + ClockLayout.ContentHeight - ClockLayout.BottomMargin;
}

int UpperMarkerBaseline()
{
    return (int)ClockSettings.VerticalBorderHeight + ClockLayout.ContentHeight - ClockLayout.UpperMarkerRise;
}

int GroupOffset(int width)
{
    return (width - ClockLayout.TimeWidth) / 2;
}

// ---- Background cells --------------------------------------------------

// The pixels of the cells bitmap when it already has the item's size.
DWORD *ReusableCellBits(int w, int h)
{
    DIBSECTION dib = {};
    if (FaceBitmaps.CellsBitmap == NULL ||
        GetObjectW(FaceBitmaps.CellsBitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBits == NULL ||
        dib.dsBm.bmWidth != w || dib.dsBm.bmHeight != h)
        return NULL;
    return (DWORD *)dib.dsBm.bmBits;
}

// A bottom-up 32-bit DIB section of w x h selected into CellsDC, all pixels
// 0; NULL when it cannot be made. One of the right size is cleared and
// kept, since making and first selecting a new one is the dearest step of
// a rebuild under Wine.
DWORD *CreateCellsBitmap(int w, int h)
{
    void *bits = ReusableCellBits(w, h);
    if (bits == NULL) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        info.bmiHeader.biSizeImage = (DWORD)w * (DWORD)h * 4;
        DeleteCellsBitmap();
        HBITMAP bitmap = CreateDIBSection(FaceBitmaps.CellsDC, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        if (bitmap == NULL || bits == NULL) {
            if (bitmap)
                DeleteObject(bitmap);
            return NULL;
        }
        FaceBitmaps.CellsBitmap = bitmap;
        FaceBitmaps.CellsPrevBitmap = (HBITMAP)SelectObject(FaceBitmaps.CellsDC, bitmap);
    }
    GdiFlush();
    ZeroMemory(bits, (SIZE_T)w * (SIZE_T)h * 4);
    return (DWORD *)bits;
}

// The rounded cell over the content area, in the key colour, with the
// DC's black pen as its outline.
void DrawKeyCell(HDC dc, int w)
{
    DWORD key = ClockSettings.AlphaReserved;
    HBRUSH brush = CreateSolidBrush(RGB((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF));
    if (brush == NULL)
        return;
    HGDIOBJ previous = SelectObject(dc, brush);
    int border = (int)ClockSettings.VerticalBorderHeight;
    RoundRect(dc, DeviceX(3), border + DeviceY(1), w - DeviceX(3), border + ClockLayout.ContentHeight - DeviceY(1),
              DeviceX(5), DeviceY(5));
    SelectObject(dc, previous);
    DeleteObject(brush);
}

// Shapes cut out of the cell: bell, digit cells and two-line markers, all
// in black (which the alpha pass turns transparent).
void DrawCellHoles(HDC dc, int w)
{
    int xo = GroupOffset(w), yb = TimeBaseline();
    if (ClockSettings.AlarmIconEnabled)
        DrawBellOutline(dc, ClockLayout.BellLeft + xo, ClockLayout.BellTop);
    SetTextAlign(dc, TA_BASELINE | TA_RIGHT);
    if (FontProbe.FontLevel >= 2) {
        DrawTextAt(dc, ClockLayout.HourRight + xo, yb, CellGlyphs, 2);
        DrawTextAt(dc, ClockLayout.MinuteRight + xo, yb, CellGlyphs, 2);
        if (ClockSettings.ShowSeconds) {
            SelectFontIfAny(dc, ClockFonts.SecondsFont);
            DrawTextAt(dc, ClockLayout.SecondsRight + xo, yb, CellGlyphs, 2);
        }
    }
    if (ClockSettings.ShowTimeMarkers && !ClockSettings.SingleTMLine) {
        SelectFontIfAny(dc, ClockFonts.TimeMarkerFont);
        DrawTextAt(dc, ClockLayout.MarkerRight + xo, UpperMarkerBaseline(), TimeFormatInfo.AmMarker,
                   lstrlenW(TimeFormatInfo.AmMarker));
        DrawTextAt(dc, ClockLayout.MarkerRight + xo, yb, TimeFormatInfo.PmMarker, lstrlenW(TimeFormatInfo.PmMarker));
    }
}

// Rows below the limit (counted from the bottom) lie behind the time, the
// rows above it form the day/date band.
int DayDateBandLimit(HWND window)
{
    int bottom = (int)ClockSettings.VerticalBorderHeight + ClockLayout.ContentHeight;
    if (!ClockSettings.ShowDayDate)
        return bottom;
    return bottom - MeasureLineHeight(window) - ClockLayout.DayDateGap;
}

void RebuildCells(HWND window, int w, int h)
{
    DWORD *bits = CreateCellsBitmap(w, h);
    if (bits == NULL)
        return;
    HDC dc = FaceBitmaps.CellsDC;
    HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
    HGDIOBJ originalBrush = GetCurrentObject(dc, OBJ_BRUSH);
    SetBkMode(dc, TRANSPARENT);
    SelectFontIfAny(dc, ClockFonts.HourMinuteFont);
    DrawKeyCell(dc, w);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    DrawCellHoles(dc, w);
    GdiFlush();
    ApplyCellAlpha(bits, w, h, DayDateBandLimit(window));
    SelectObject(dc, originalFont);
    SelectObject(dc, originalBrush);
}

// ---- Cached backgrounds ------------------------------------------------

BOOL BitmapHasSize(HBITMAP bitmap, int w, int h)
{
    BITMAP info = {};
    return bitmap && GetObjectW(bitmap, sizeof(info), &info) == sizeof(info) && info.bmWidth == w &&
           info.bmHeight == h;
}

// A background that already has the item's size is kept: the rebuild paints
// every one of its pixels again, and under Wine creating and first selecting
// a screen-sized bitmap costs more than all the rest of the rebuild.
void ReplaceBackground(MemoryDC *memory, HBITMAP *background, HDC screen, int w, int h)
{
    if (BitmapHasSize(*background, w, h))
        return;
    if (*background)
        RestoreBitmap(memory);
    DeleteBackground(background);
    *background = CreateCompatibleBitmap(screen, w, h);
    SelectBitmapInto(memory, *background);
}

void FillHighlight(HWND window, HDC dc, const RECT *rect)
{
    HBRUSH brush = CreateSolidBrush(HostColor(window, TODAYCOLOR_HIGHLIGHT));
    if (brush == NULL)
        return;
    FillRect(dc, rect, brush);
    DeleteObject(brush);
}

void DrawHostWatermark(HWND window, HDC dc, const RECT *rect)
{
    TODAYDRAWWATERMARKINFO info = {};
    info.hdc = dc;
    info.rc = *rect;
    info.hwnd = window;
    SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0, (LPARAM)&info);
}

void BlendCellsOnto(HDC dc, int w, int h)
{
    AlphaBlend(dc, 0, 0, w, h, FaceBitmaps.CellsDC, 0, 0, w, h, CellBlend);
}

void RebuildBackgrounds(PaintJob *job)
{
    ReplaceBackground(&job->Selected, &FaceBitmaps.SelectedBackground, job->Screen, job->Width, job->Height);
    ReplaceBackground(&job->Normal, &FaceBitmaps.NormalBackground, job->Screen, job->Width, job->Height);
    FillHighlight(job->Window, job->Selected.DC, &job->Rect);
    DrawHostWatermark(job->Window, job->Normal.DC, &job->Rect);
    BlendCellsOnto(job->Selected.DC, job->Width, job->Height);
    BlendCellsOnto(job->Normal.DC, job->Width, job->Height);
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
    DrawBellOutline(dc, x, y);
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
    FormatTimeField(now, HourPicture(), texts->Hour, TimeFieldChars);
    FormatTimeField(now, L"mm", texts->Minute, TimeFieldChars);
    FormatTimeField(now, L"ss", texts->Seconds, TimeFieldChars);
    ReadLocaleText(LOCALE_STIME, texts->Separator, TimeFieldChars);
    if (FontProbe.FontLevel >= 2) {
        MapToPrivateDigits(texts->Hour);
        MapToPrivateDigits(texts->Minute);
        MapToPrivateDigits(texts->Seconds);
        MapToPrivateDigits(texts->Separator);
    }
}

// Minutes and seconds are always two characters.
int TwoOrFewer(const WCHAR *text)
{
    int length = lstrlenW(text);
    return length < 2 ? length : 2;
}

void DrawMarker(HDC dc, int xo, int yb, const SYSTEMTIME *now, COLORREF colour)
{
    SelectFontIfAny(dc, ClockFonts.TimeMarkerFont);
    if (!TimeFormatInfo.MarkersPresent || !ClockSettings.ShowTimeMarkers)
        return;
    SetTextColor(dc, colour);
    int x = ClockLayout.MarkerRight + xo;
    // One marker at a time: in two-line mode AM stands on the upper line
    // and PM on the lower one.
    if (now->wHour >= 12)
        DrawTextAt(dc, x, yb, TimeFormatInfo.PmMarker, lstrlenW(TimeFormatInfo.PmMarker));
    else
        DrawTextAt(dc, x, ClockSettings.SingleTMLine ? yb : UpperMarkerBaseline(), TimeFormatInfo.AmMarker,
                   lstrlenW(TimeFormatInfo.AmMarker));
}

// ---- Paint steps -------------------------------------------------------

// A paint that rebuilds nothing copies only one of the two backgrounds, so
// only that one gets a DC.
void OpenPaintDCs(PaintJob *job)
{
    job->Compose.DC = CreateCompatibleDC(job->Screen);
    job->ComposeBitmap = CreateCompatibleBitmap(job->Screen, job->Width, job->Height);
    SelectBitmapInto(&job->Compose, job->ComposeBitmap);
    BOOL rebuilding = ItemState.BackgroundDirty || ItemState.WatermarkDirty;
    if (rebuilding || ItemState.Selected) {
        job->Selected.DC = CreateCompatibleDC(job->Screen);
        SelectBitmapInto(&job->Selected, FaceBitmaps.SelectedBackground);
    }
    if (rebuilding || !ItemState.Selected) {
        job->Normal.DC = CreateCompatibleDC(job->Screen);
        SelectBitmapInto(&job->Normal, FaceBitmaps.NormalBackground);
    }
}

void ClosePaintDCs(PaintJob *job)
{
    CloseMemoryDC(&job->Compose);
    if (job->ComposeBitmap)
        DeleteObject(job->ComposeBitmap);
    job->ComposeBitmap = NULL;
    CloseMemoryDC(&job->Selected);
    CloseMemoryDC(&job->Normal);
}

void RebuildWhatIsDirty(PaintJob *job)
{
    if (ItemState.BackgroundDirty) {
        // New cells always mean new backgrounds.
        ItemState.WatermarkDirty = 1;
        ItemState.BackgroundDirty = 0;
        RebuildCells(job->Window, job->Width, job->Height);
    }
    if (ItemState.WatermarkDirty) {
        ItemState.WatermarkDirty = 0;
        RebuildBackgrounds(job);
    }
}

void ComposeFace(PaintJob *job)
{
    HDC dc = job->Compose.DC;
    HDC background = ItemState.Selected ? job->Selected.DC : job->Normal.DC;
    BitBlt(dc, 0, 0, job->Width, job->Height, background, 0, 0, SRCCOPY);
    FaceColours colours;
    ChooseColours(job->Window, &colours);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
    SelectFontIfAny(dc, ClockFonts.HourMinuteFont);
    if (ItemState.TimeVisible)
        DrawTimeGroup(dc, &job->Rect, &job->Now, &colours);
    if (ClockSettings.ShowDayDate)
        DrawDayDateLine(dc, &job->Rect, &job->Now, &colours);
    SelectObject(dc, originalFont);
}

// A width change (rotation) resizes the window and calls for new cells.
void FollowWidth(HWND window, int w, int h)
{
    if (w == ItemState.LastWidth)
        return;
    ItemState.LastWidth = w;
    SetWindowPos(window, NULL, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
    ItemState.BackgroundDirty = 1;
}

BOOL FaceDrawable(int w, int h)
{
    return ClockLayout.ContentHeight > 0 && SupportedDpi(ClockLayout.DpiX) && w > 0 && h > 0;
}

} // namespace

void CreateCellsDC()
{
    FaceBitmaps.CellsDC = CreateCompatibleDC(NULL);
}

void DeleteFaceBitmaps()
{
    DeleteBackground(&FaceBitmaps.SelectedBackground);
    DeleteBackground(&FaceBitmaps.NormalBackground);
    DeleteCellsBitmap();
    if (FaceBitmaps.CellsDC)
        DeleteDC(FaceBitmaps.CellsDC);
    FaceBitmaps.CellsDC = NULL;
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

void DrawBellOutline(HDC dc, int x, int y)
{
    const POINT *shape;
    int count;
    switch (ClockLayout.DpiX) {
    case 96: shape = Bell96; count = ARRAYSIZE(Bell96); break;
    case 128: shape = Bell128; count = ARRAYSIZE(Bell128); break;
    case 192: shape = Bell192; count = ARRAYSIZE(Bell192); break;
    default: return;
    }
    POINT points[MaxBellPoints];
    for (int i = 0; i < count; i++) {
        points[i].x = shape[i].x + x;
        points[i].y = shape[i].y + y;
    }
    Polygon(dc, points, count);
}

void DrawTimeGroup(HDC dc, const RECT *rect, const SYSTEMTIME *now, const FaceColours *colours)
{
    TimeTexts texts;
    FormatTimeTexts(now, &texts);
    int xo = GroupOffset(rect->right), yb = TimeBaseline();
    SetTextAlign(dc, TA_BASELINE | TA_CENTER);
    SetTextColor(dc, colours->Separator);
    DrawTextAt(dc, ClockLayout.SeparatorCenter + xo, yb, texts.Separator, lstrlenW(texts.Separator));
    SetTextAlign(dc, TA_BASELINE | TA_RIGHT);
    SetTextColor(dc, colours->Hour);
    DrawTextAt(dc, ClockLayout.HourRight + xo, yb, texts.Hour, lstrlenW(texts.Hour));
    SetTextColor(dc, colours->Minute);
    DrawTextAt(dc, ClockLayout.MinuteRight + xo, yb, texts.Minute, TwoOrFewer(texts.Minute));
    if (ClockSettings.ShowSeconds) {
        SelectFontIfAny(dc, ClockFonts.SecondsFont);
        SetTextColor(dc, colours->Seconds);
        DrawTextAt(dc, ClockLayout.SecondsRight + xo, yb, texts.Seconds, TwoOrFewer(texts.Seconds));
    }
    if (ItemState.AlarmSet && ClockSettings.AlarmIconEnabled)
        DrawBell(dc, ClockLayout.BellLeft + xo, ClockLayout.BellTop, colours->Alarm);
    DrawMarker(dc, xo, yb, now, colours->Marker);
}

static void DrawLineText(HDC dc, UINT align, COLORREF colour, int x, int y, const WCHAR *text)
{
    SetTextAlign(dc, align);
    SetTextColor(dc, colour);
    DrawTextAt(dc, x, y, text, lstrlenW(text));
}

void DrawDayDateLine(HDC dc, const RECT *rect, const SYSTEMTIME *now, const FaceColours *colours)
{
    DayDateTexts texts;
    ComposeDayDate(now, &texts);
    SelectFontIfAny(dc, ClockFonts.DayDateFont);
    int top = ClockLayout.DayDateTop;
    int left = ClockLayout.DayDateSideMargin, right = rect->right - ClockLayout.DayDateSideMargin;
    switch (texts.Arrangement) {
    case 0:
        DrawLineText(dc, TA_LEFT | TA_TOP, colours->Day, left, top, texts.DaySlot);
        DrawLineText(dc, TA_RIGHT | TA_TOP, colours->Date, right, top, texts.Date);
        break;
    case 2:
        DrawLineText(dc, TA_RIGHT | TA_TOP, colours->Day, right, top, texts.DaySlot);
        DrawLineText(dc, TA_LEFT | TA_TOP, colours->Date, left, top, texts.Date);
        break;
    default:
        // The date alone, centred, in the day colour.
        DrawLineText(dc, TA_CENTER | TA_TOP, colours->Day, rect->right / 2, top, texts.Date);
        break;
    }
}

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
    job.Screen = BeginPaint(window, &ps);
    if (job.Screen == NULL || !FaceDrawable(job.Width, job.Height)) {
        // Nothing to show: the update region is validated all the same.
        EndPaint(window, &ps);
        return 0;
    }
    OpenPaintDCs(&job);
    RebuildWhatIsDirty(&job);
    ComposeFace(&job);
    BitBlt(job.Screen, 0, 0, job.Width, job.Height, job.Compose.DC, 0, 0, SRCCOPY);
    ClosePaintDCs(&job);
    EndPaint(window, &ps);
    return 0;
}
