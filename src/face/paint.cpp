#include "paint.h"

FaceBitmapsRecord FaceBitmaps;

void CreateCellsDC() { FaceBitmaps.CellsDC = CreateCompatibleDC(NULL); }
void DeleteFaceBitmaps()
{
    if (FaceBitmaps.CellsDC)
        DeleteDC(FaceBitmaps.CellsDC);
    FaceBitmaps.CellsDC = NULL;
}
LRESULT PaintItem(HWND window)
{
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    return 0;
}
void DrawBellOutline(HDC, int, int) {}
