// Painting the strip: cached cell and background bitmaps, composed
// off-screen and copied to the screen in one BitBlt.
#pragma once
#include <windows.h>

struct FaceBitmapsRecord {
    HDC CellsDC;
    HBITMAP CellsBitmap;
    HBITMAP CellsPrevBitmap;
    HBITMAP NormalBackground;
    HBITMAP SelectedBackground;
};
extern FaceBitmapsRecord FaceBitmaps;

void CreateCellsDC();
// Deletes both backgrounds, the cells bitmap and the cells DC.
void DeleteFaceBitmaps();

LRESULT PaintItem(HWND window);
void DrawBellOutline(HDC dc, int x, int y);
