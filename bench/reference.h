// Reference work for the benchmarks: what a paint and a background rebuild
// cannot avoid, done as directly as GDI allows.
#pragma once
#include <windows.h>

struct ReferencePaintRecord {
    HWND Window;        // makes and deletes its compose bitmap in every paint
    HWND FloorWindow;   // keeps its compose DC and bitmap between paints
    HDC ComposeDC;
    HBITMAP Compose;
    HBITMAP PrevCompose;
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

// Two child windows of `host` below the item, with the item's size, that
// paint the item's texts over a kept background as directly as GDI allows:
// Window composes in a bitmap it makes and deletes in every paint,
// FloorWindow in one it keeps (the least work a paint can do), below it.
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
