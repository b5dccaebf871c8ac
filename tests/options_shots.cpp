// Screenshots of the eight options pages in the emulated device: opens the
// sheet, shows each page and copies the screen into a PNG file per page.
//   options_shots.exe OUTPUT_DIR
// Files are named options-<page>-<dpi>.png. Not a test: run it in a device
// (tools/wine-run.sh) to refresh docs/options.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <stdio.h>
#include "options/sheetdriver.h"
#include "options.h"
#include "settings.h"
#include "module.h"
#include "png.h"

static const WCHAR *const PageNames[OPTIONS_PAGE_COUNT] = {
    L"general", L"daydate", L"time", L"fontsize", L"color", L"background", L"cleartype", L"about"};
static WCHAR OutputDir[MAX_PATH];
static int Failures;

// Copies the whole screen; every pixel opaque.
static void CaptureScreen(const WCHAR *path)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    for (int i = 0; i < width * height; i++)
        ((DWORD *)bits)[i] |= 0xFF000000;
    if (!WritePngBgra(path, width, height, (const BYTE *)bits, width * 4)) {
        printf("could not write %ls\n", path);
        Failures++;
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

static void ShootEveryPage(HWND sheet)
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        ShowPage(sheet, i);
        RedrawWindow(sheet, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(50);
        WCHAR path[MAX_PATH];
        wsprintfW(path, L"%s\\options-%s-%d.png", OutputDir, PageNames[i], dpi);
        CaptureScreen(path);
        printf("%ls\n", path);
    }
    PressOk(sheet);
}

int wmain(int argc, WCHAR **argv)
{
    lstrcpynW(OutputDir, argc > 1 ? argv[1] : L".", MAX_PATH);
    CoInitialize(NULL);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ModuleInstance = GetModuleHandleW(NULL);
    LoadSettingsAtAttach();
    BOOL timedOut = FALSE;
    RunOptions(ModuleInstance, CustomItemOptionsDlgProc, ShootEveryPage, &timedOut);
    CoUninitialize();
    return Failures + (timedOut ? 1 : 0);
}
