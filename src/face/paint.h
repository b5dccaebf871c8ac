// Painting the strip: cached cell and background bitmaps, composed
// off-screen and copied to the screen in one BitBlt.
#pragma once
#include <windows.h>

// A memory DC with a bitmap of its own selected, and what that bitmap
// displaced.
struct FaceSurface {
    HDC DC;
    HBITMAP Bitmap;
    HGDIOBJ Previous;
};

// Everything a paint draws into, kept between paints at the strip's size.
// Made by the first paint of a window (and again when the size changes);
// deleted when the window goes and at unload.
struct FaceSurfacesRecord {
    FaceSurface Cells;      // 32-bit bottom-up DIB section: the cells, per-pixel alpha
    FaceSurface Normal;     // the host's watermark with the cells over it
    FaceSurface Selected;   // the highlight fill with the cells over it; made when first shown
    FaceSurface Compose;    // background and texts, put together off-screen
    DWORD *CellBits;
    int Width;
    int Height;
    DWORD SelectedStale;    // the selected background is older than the cells or the watermark
    DWORD DrawFailed;       // a drawing call of the step under way failed
    DWORD PaintFailed;      // the last paint could not show the face; the tick asks for another
};
extern FaceSurfacesRecord FaceSurfaces;

// Deletes every surface, each bitmap after its DC has the displaced one
// back. The next paint makes them anew.
void ReleaseFaceSurfaces();

LRESULT PaintItem(HWND window);
// A bottom-up 32-bit DIB section; `bits` receives its words.
HBITMAP MakeDibSection32(int w, int h, void **bits);
// The bell polygon for DpiX with the DC's pen and brush, its origin at
// (x, y); nothing at an unsupported resolution. FALSE when it could not be
// drawn.
BOOL DrawBellOutline(HDC dc, int x, int y);

// A cell word as stored (opacity in the top byte, a colour chosen on its
// own below) as AlphaBlend takes it: each channel premultiplied by the
// opacity, so that the colour shows at that opacity over the wallpaper.
DWORD PremultipliedCellWord(DWORD word);

// Turns key-coloured cell pixels into the time or day/date cell word (rows
// below bandLimit, counted from the bottom, are the time's) and every
// other pixel into the transparent one, each premultiplied.
void ApplyCellAlpha(DWORD *bits, int w, int h, int bandLimit);

// One colour per element of the face.
struct FaceColours {
    COLORREF Separator;
    COLORREF Hour;
    COLORREF Minute;
    COLORREF Seconds;
    COLORREF Alarm;
    COLORREF Marker;
    COLORREF Day;
    COLORREF Date;
};
// Separator, hour, minute, seconds, bell and marker where the time group's
// fit puts them, into a DC that holds its hour font; leaves another of its
// fonts selected.
void DrawTimeGroup(HDC dc, const SYSTEMTIME *now, const FaceColours *colours);
// The day/date line; leaves DayDateFont selected.
void DrawDayDateLine(HDC dc, const RECT *rect, const SYSTEMTIME *now, const FaceColours *colours);
