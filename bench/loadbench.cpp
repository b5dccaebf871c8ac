#include "loadbench.h"
#include <stdio.h>
#include "today-standins.h"
#include "itemdll.h"
#include "iat.h"
#include "module.h"
#include "settings.h"
#include "fonts.h"
#include "layout.h"
#include "itemstate.h"

namespace {

typedef HWND (*ReferenceInitializer)(HWND parent, int width, int height);

struct LoadBenchRecord {
    HWND Host;
    const WCHAR *ItemPath;
    WCHAR ReferencePath[MAX_PATH];
    int Top;
    int Width;
    int Height;             // the item's, which the reference takes
    double FontResourceUs;  // time spent in AddFontResourceW since reset
    int (WINAPI *AddFontResource)(LPCWSTR path);   // the real one
    // LoadLibraryW of every load step, DllMain included: the item's, the
    // reference's.
    double LibraryUs[2][MaxRounds * MaxSteps];
    int LibraryCount[2];
};
LoadBenchRecord Load;

void NoteLibraryTime(int side, double us)
{
    if (Load.LibraryCount[side] < MaxRounds * MaxSteps)
        Load.LibraryUs[side][Load.LibraryCount[side]++] = us;
}

// The host's steps: load, create, ask for the height, give it, paint.
double ItemLoadStep()
{
    double start = Now();
    HMODULE dll = LoadLibraryW(Load.ItemPath);
    NoteLibraryTime(0, Now() - start);
    TODAYLISTITEM record = {};
    record.tlit = tlitCustom;
    HWND item = ItemInitializer(dll)(&record, Load.Host);
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    SetWindowPos(item, NULL, 0, Load.Top, Load.Width, (int)record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(item);
    double elapsed = Now() - start;
    Load.Height = (int)record.cyp;
    DestroyWindow(item);
    FreeLibrary(dll);
    return elapsed;
}

double ReferenceLoadStep()
{
    double start = Now();
    HMODULE dll = LoadLibraryW(Load.ReferencePath);
    NoteLibraryTime(1, Now() - start);
    ReferenceInitializer initialize = (ReferenceInitializer)(void *)GetProcAddress(dll, "ReferenceInitializeItem");
    HWND window = initialize(Load.Host, Load.Width, Load.Height);
    TODAYLISTITEM record = {};
    SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    SetWindowPos(window, NULL, 0, Load.Top, Load.Width, (int)record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
    double elapsed = Now() - start;
    DestroyWindow(window);
    FreeLibrary(dll);
    return elapsed;
}

void FindReferenceDll()
{
    GetModuleFileNameW(NULL, Load.ReferencePath, MAX_PATH);
    WCHAR *slash = wcsrchr(Load.ReferencePath, L'\\');
    lstrcpyW(slash ? slash + 1 : Load.ReferencePath, L"qzl_refitem.dll");
}

// ---- Where the item's load goes --------------------------------------------
// The same steps as the DLL's load, run from the item's code linked into
// this program, each timed on its own.

int WINAPI TimedAddFontResourceW(LPCWSTR path)
{
    double start = Now();
    int result = Load.AddFontResource(path);
    Load.FontResourceUs += Now() - start;
    return result;
}

enum LoadStepIndex { SettingsStep, FontResourceStep, ProbeStep, FontsStep, AttachRestStep, WindowStep,
                     QueryStep, LayoutStep, PaintStep, LoadStepCount };
const char *const LoadStepNames[LoadStepCount] = {
    "settings", "font_resource", "probe", "fonts", "attach_rest", "window", "height_query", "layout", "first_paint"};

// One load, step by step, in the order of ModuleAttach and of the host.
void SplitOneLoad(double *us)
{
    ModuleInstance = GetModuleHandleW(NULL);
    double t0 = Now();
    LoadSettingsAtAttach();
    ReadSelectability();
    double t1 = Now();
    Load.FontResourceUs = 0;
    // A fresh load starts with no probe made (the detach removed the font).
    FontProbe = FontProbeRecord();
    InstallAndProbePrivateFont();
    double t2 = Now();
    BuildClockFonts();
    double t3 = Now();
    ProbeDpiX();
    UiMetricMessage = RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE");
    RegisterItemClass();
    double t4 = Now();
    TODAYLISTITEM record = {};
    HWND item = InitializeCustomItem(&record, Load.Host);
    double t4a = Now();
    SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
    double t5 = Now();
    // The layout once more on its own: creation placed the face, the
    // height query measured the content's height.
    ClockLayout.DigitHeight = MeasureDigitHeight();
    LayOutFace();
    double t5a = Now();
    ComputeContentHeight();
    double t6 = Now();
    SetWindowPos(item, NULL, 0, Load.Top, Load.Width, (int)record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(item);
    double t7 = Now();
    DestroyWindow(item);
    ItemState.Window = NULL;
    ModuleDetach();
    us[SettingsStep] = t1 - t0;
    us[FontResourceStep] = Load.FontResourceUs;
    us[ProbeStep] = t2 - t1 - Load.FontResourceUs;
    us[FontsStep] = t3 - t2;
    us[AttachRestStep] = t4 - t3;
    us[LayoutStep] = t6 - t5;
    us[WindowStep] = t4a - t4 - (t5a - t5);
    us[QueryStep] = t5 - t4a - (t6 - t5a);
    us[PaintStep] = t7 - t6;
}

void MeasureLoadSplit(const MeasurePlan &plan)
{
    // This program's own calls go through its import table too.
    Load.AddFontResource = AddFontResourceW;
    void *original = NULL;
    ReplaceImport(GetModuleHandleW(NULL), "gdi32.dll", "AddFontResourceW", (void *)TimedAddFontResourceW, &original);
    MeasureSplit("load_split_", LoadStepNames, LoadStepCount, SplitOneLoad, plan);
    if (original)
        ReplaceImport(GetModuleHandleW(NULL), "gdi32.dll", "AddFontResourceW", original, NULL);
}

} // namespace

void MeasureLoad(HWND host, const WCHAR *itemPath, const MeasurePlan &plan)
{
    Load.Host = host;
    Load.ItemPath = itemPath;
    Load.Width = GetSystemMetrics(SM_CXSCREEN);
    Load.Top = 40;
    FindReferenceDll();
    // The first load learns the height that the reference then paints.
    ItemLoadStep();
    Load.LibraryCount[0] = 0;
    static Measure loads[] = {{"load_us", NULL, ItemLoadStep, {}, 0},
                              {"load_reference_us", NULL, ReferenceLoadStep, {}, 0}};
    MeasureInterleaved(loads, 2, plan);
    PrintMeasure(loads[0]);
    PrintMeasure(loads[1]);
    PrintRoundRatio("load_ratio", loads[0], NULL, loads[1], plan.Rounds);
    printf("RESULT load_library_us %.1f\n", Median(Load.LibraryUs[0], Load.LibraryCount[0]));
    printf("RESULT load_reference_library_us %.1f\n", Median(Load.LibraryUs[1], Load.LibraryCount[1]));
    MeasureLoadSplit(plan);
}
