// Measures the item's paint paths against reference work in the same run
// and counts what each event costs in calls. Prints "RESULT name value"
// lines that bench/run.sh turns into docs/performance.md.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "today-standins.h"
#include "settings.h"
#include "testlib.h"
#include "itemdll.h"
#include "fakehost.h"
#include "usage.h"
#include "callcount.h"
#include "iat.h"
#include "reference.h"
#include "measure.h"
#include "loadbench.h"
#include "optionsbench.h"

namespace {

struct BenchRecord {
    HMODULE Dll;
    HWND Item;
    TODAYLISTITEM Record;
    int Width;
    int Height;
    int AltHeight;
    HDC PaintDC;
    int ScreenBlits;
    MeasurePlan Plan;
};
BenchRecord Bench;

void OrdinaryPaint()
{
    SendMessageW(Bench.Item, WM_TIMER, 1, 0);
    UpdateWindow(Bench.Item);
}

void ReferencePaintStep()
{
    InvalidateRect(ReferencePaint.Window, NULL, FALSE);
    UpdateWindow(ReferencePaint.Window);
}

void FloorPaintStep()
{
    InvalidateRect(ReferencePaint.FloorWindow, NULL, FALSE);
    UpdateWindow(ReferencePaint.FloorWindow);
}

// A height that differs from the last one seen marks the cells dirty
// without resizing the window.
void RebuildPaint()
{
    WINDOWPOS pos = {};
    pos.hwnd = Bench.Item;
    pos.y = 40;
    pos.cx = Bench.Width;
    Bench.AltHeight = Bench.AltHeight == Bench.Height ? Bench.Height + 1 : Bench.Height;
    pos.cy = Bench.AltHeight;
    SendMessageW(Bench.Item, WM_WINDOWPOSCHANGED, 0, (LPARAM)&pos);
    InvalidateRect(Bench.Item, NULL, FALSE);
    UpdateWindow(Bench.Item);
}

void ReferenceRebuildStep()
{
    RunReferenceRebuild(FakeHost.Window, Bench.Item);
}

HDC WINAPI CountingBeginPaint(HWND window, PAINTSTRUCT *ps)
{
    HDC dc = BeginPaint(window, ps);
    Bench.PaintDC = dc;
    return dc;
}

BOOL WINAPI CountingBitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop)
{
    if (dest == Bench.PaintDC)
        Bench.ScreenBlits++;
    return BitBlt(dest, x, y, cx, cy, src, sx, sy, rop);
}

void ReloadSettings(DWORD showSeconds)
{
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", showSeconds);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    SendMessageW(Bench.Item, WM_CREATE, 0, 0);
    // The reload marks the cells dirty: let that rebuild happen here.
    InvalidateRect(Bench.Item, NULL, FALSE);
    UpdateWindow(Bench.Item);
}

void CountCallsPerEvent()
{
    ReplaceImport(Bench.Dll, "user32.dll", "BeginPaint", (void *)CountingBeginPaint, NULL);
    ReplaceImport(Bench.Dll, "gdi32.dll", "BitBlt", (void *)CountingBitBlt, NULL);
    CountImportCalls(Bench.Dll, "gdi32.dll");
    CountImportCalls(Bench.Dll, "msimg32.dll");
    CountImportCalls(Bench.Dll, "advapi32.dll");

    // A tick in the same minute, seconds hidden: nothing to draw.
    ReloadSettings(0);
    ResetImportCalls();
    LRESULT repaint = SendMessageW(Bench.Item, WM_TIMER, 1, 0);
    printf("RESULT quiet_tick_repaint %d\n", (int)repaint);
    printf("RESULT quiet_tick_gdi_calls %lld\n", ImportCallsTo("gdi32.dll") + ImportCallsTo("msimg32.dll"));
    printf("RESULT quiet_tick_registry_calls %lld\n", ImportCallsTo("advapi32.dll"));

    ReloadSettings(1);
    Bench.ScreenBlits = 0;
    ResetImportCalls();
    OrdinaryPaint();
    printf("RESULT ordinary_paint_screen_blits %d\n", Bench.ScreenBlits);
    printf("RESULT ordinary_paint_all_blits %lld\n", ImportCalls("BitBlt"));
    printf("RESULT ordinary_paint_text_calls %lld\n", ImportCalls("ExtTextOutW") + ImportCalls("Polygon"));
    printf("RESULT ordinary_paint_rebuild_calls %lld\n", ImportCalls("CreateDIBSection") + ImportCalls("AlphaBlend"));
    printf("RESULT ordinary_paint_gdi_calls %lld\n", ImportCallsTo("gdi32.dll") + ImportCallsTo("msimg32.dll"));

    SendMessageW(Bench.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Bench.Record, 0);
    UpdateWindow(Bench.Item);
    ResetImportCalls();
    LRESULT changed = SendMessageW(Bench.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Bench.Record, 0);
    InvalidateRect(Bench.Item, NULL, FALSE);
    UpdateWindow(Bench.Item);
    printf("RESULT quiet_query_changed %d\n", (int)changed);
    printf("RESULT quiet_query_rebuild_calls %lld\n", ImportCalls("CreateDIBSection") + ImportCalls("AlphaBlend"));
}

// What the process holds at one moment.
struct Holdings {
    int GdiObjects;
    SIZE_T PrivateBytes;
    SIZE_T BitmapBytes;
};

Holdings Held()
{
    Holdings held = {CountGdiObjects(), PrivateBytes(), BitmapBytes()};
    return held;
}

// The system DLLs the item imports, loaded (and kept) first, so that what
// they make when they start is not counted as the item's.
void LoadItemImports()
{
    const WCHAR *imports[] = {L"comctl32.dll", L"comdlg32.dll", L"shell32.dll"};
    for (const WCHAR *name : imports)
        LoadLibraryW(name);
}

// Private memory the load, the item and its first paint committed.
void PrintPrivateBytes(const Holdings &beforeLoad, const Holdings &painted)
{
    printf("RESULT item_private_bytes %lld\n", (long long)painted.PrivateBytes - (long long)beforeLoad.PrivateBytes);
}

// What the live item holds: what goes with its window (the paint's
// surfaces) and what goes with the module at unload. Wine's own caches
// (icons, font data) stay loaded and are not counted.
void ReleaseAndPrintHoldings()
{
    Holdings live = Held();
    DestroyWindow(Bench.Item);
    Holdings windowGone = Held();
    FreeLibrary(Bench.Dll);
    Holdings unloaded = Held();
    printf("RESULT window_gdi_objects %d\n", live.GdiObjects - windowGone.GdiObjects);
    printf("RESULT window_bitmap_bytes %lld\n", (long long)(live.BitmapBytes - windowGone.BitmapBytes));
    printf("RESULT item_gdi_objects %d\n", live.GdiObjects - unloaded.GdiObjects);
    printf("RESULT item_bitmap_bytes %lld\n", (long long)(live.BitmapBytes - unloaded.BitmapBytes));
}

void PrintDllSize(const WCHAR *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        printf("RESULT dll_bytes %lu\n", data.nFileSizeLow);
}

} // namespace

int main(int argc, char **argv)
{
    // Paint steps take a few hundred microseconds: many per round, each
    // timed on its own. A load or an opening of the options takes
    // milliseconds: fewer.
    Bench.Plan.Rounds = 31;
    Bench.Plan.Steps = argc > 1 ? atoi(argv[1]) : 40;
    Bench.Plan.Warmup = 3;
    MeasurePlan loadPlan = {31, 7, 1};
    MeasurePlan optionsPlan = {21, 3, 1};
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    HWND host = CreateFakeHost();
    LoadItemImports();
    // QZL_BENCH_ONLY=options (or load) runs those rows alone, for working
    // on them (bench/run.sh runs everything).
    const char *only = getenv("QZL_BENCH_ONLY");
    if (only != NULL && strcmp(only, "options") == 0) {
        MeasureOptions(optionsPlan);
        DestroyFakeHost();
        return 0;
    }
    Holdings before = Held();
    WCHAR path[MAX_PATH] = {};
    Bench.Dll = LoadItemDll(path);
    if (!Bench.Dll) {
        fprintf(stderr, "bench: the DLL named by the Today item key does not load\n");
        return 2;
    }
    if (only != NULL && strcmp(only, "load") == 0) {
        FreeLibrary(Bench.Dll);
        MeasureLoad(host, path, loadPlan);
        DestroyFakeHost();
        return 0;
    }
    PFNCUSTOMINITIALIZEITEM initialize = ItemInitializer(Bench.Dll);
    Bench.Record.tlit = tlitCustom;
    Bench.Item = initialize(&Bench.Record, host);
    SendMessageW(Bench.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Bench.Record, 0);
    Bench.Width = GetSystemMetrics(SM_CXSCREEN);
    Bench.Height = (int)Bench.Record.cyp;
    Bench.AltHeight = Bench.Height;
    SetWindowPos(Bench.Item, NULL, 0, 40, Bench.Width, Bench.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(Bench.Item);
    PrintPrivateBytes(before, Held());
    printf("RESULT width %d\nRESULT height %d\n", Bench.Width, Bench.Height);

    BOOL privateFace = GetFileAttributesW(L"C:\\Program Files\\Quartzel\\QZL.ttf") != INVALID_FILE_ATTRIBUTES;
    CreateReferencePainter(host, 0, 50 + Bench.Height, Bench.Width, Bench.Height, privateFace);
    CreateReferenceRebuild(Bench.Item, Bench.Width, Bench.Height);

    printf("RESULT rounds %d\nRESULT steps %d\n", Bench.Plan.Rounds, Bench.Plan.Steps);
    static Measure paints[] = {{"ordinary_paint_us", OrdinaryPaint, NULL, {}, 0},
                               {"ordinary_paint_floor_us", FloorPaintStep, NULL, {}, 0},
                               {"ordinary_paint_reference_us", ReferencePaintStep, NULL, {}, 0}};
    MeasureInterleaved(paints, ARRAYSIZE(paints), Bench.Plan);
    for (const Measure &m : paints)
        PrintMeasure(m);
    PrintRoundRatio("ordinary_paint_floor_ratio", paints[0], NULL, paints[1], Bench.Plan.Rounds);
    PrintRoundRatio("ordinary_paint_reference_ratio", paints[0], NULL, paints[2], Bench.Plan.Rounds);
    // A rebuild is a paint that rebuilds less an ordinary paint, measured
    // in the same rounds.
    static Measure rebuilds[] = {{"rebuild_paint_us", RebuildPaint, NULL, {}, 0},
                                 {"rebuild_ordinary_paint_us", OrdinaryPaint, NULL, {}, 0},
                                 {"rebuild_paint_reference_us", ReferenceRebuildStep, NULL, {}, 0}};
    MeasureInterleaved(rebuilds, ARRAYSIZE(rebuilds), Bench.Plan);
    for (const Measure &m : rebuilds)
        PrintMeasure(m);
    printf("RESULT rebuild_us %.2f\n", rebuilds[0].Median - rebuilds[1].Median);
    PrintRoundRatio("rebuild_ratio", rebuilds[0], &rebuilds[1], rebuilds[2], Bench.Plan.Rounds);

    CountCallsPerEvent();
    PrintDllSize(path);

    ReleaseAndPrintHoldings();
    DestroyReferenceRebuild();
    DestroyReferencePainter();
    // The DLL is unloaded now: each load step loads it afresh.
    MeasureLoad(host, path, loadPlan);
    MeasureOptions(optionsPlan);
    DestroyFakeHost();
    return 0;
}
