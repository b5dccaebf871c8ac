// Reference work for the benchmarks: what a paint and a background rebuild
// cannot avoid, done as directly as GDI allows.
#pragma once
#include <windows.h>

struct ReferencePaintRecord {
    HWND Window;
    HDC BackgroundDC;
    HBITMAP Background;
    HBITMAP PrevBackground;
    HFONT HourFont;
    HFONT SecondsFont;
    HFONT MarkerFont;
    HFONT DayDateFont;
    int Width;
    int Height;
};
extern ReferencePaintRecord ReferencePaint;

// A child window of `host` beside the item, with the item's size, that
// paints the way an ideal ordinary paint would.
void CreateReferencePainter(HWND host, int x, int y, int width, int height, BOOL privateFace);
void DestroyReferencePainter();

struct ReferenceRebuildRecord {
    HDC CellsDC;
    HBITMAP Cells;
    HBITMAP PrevCells;
    DWORD *Bits;
    HDC NormalDC;
    HBITMAP Normal;
    HBITMAP PrevNormal;
    HDC SelectedDC;
    HBITMAP Selected;
    HBITMAP PrevSelected;
    int Width;
    int Height;
};
extern ReferenceRebuildRecord ReferenceRebuild;

void CreateReferenceRebuild(HWND item, int width, int height);
// Fills the cell bitmap, blends it onto two backgrounds and asks the host
// for one watermark.
void RunReferenceRebuild(HWND host, HWND item);
void DestroyReferenceRebuild();
