// One failed call, anywhere, never leaves a lasting wrong picture, a leak
// or a hang: the real DLL is loaded with its imports pointed at stubs that
// fail the k-th call of one family (allocation, DC, bitmap, ...), for each
// family and each k that a scripted run reaches (a sample where there are
// many). After the run, with nothing failing any more, one more refresh
// and paint must show exactly the picture of a run without failures, and
// after unload the process must hold the GDI objects, handles and threads
// it held before the load.
#include "testlib.h"
#include "faultcalls.h"
#include "fakehost.h"
#include "usage.h"
#include "itemdll.h"
#include "iat.h"
#include "today-standins.h"
#include "settings.h"
#include <string.h>
#include <stdlib.h>

enum Family {
    Allocation, DeviceContext, Bitmap, Font, Brush, Drawing, TextMeasure, Registry,
    Locale, Window, WindowClass, Timer, Thread, Event, PostedMessage, FamilyCount
};

static const char *const FamilyNames[FamilyCount] = {
    "allocation", "DC", "bitmap", "font", "brush", "drawing", "text measuring", "registry",
    "locale", "window", "class", "timer", "thread", "event", "posted message",
};

static const DWORD NoMemory = ERROR_NOT_ENOUGH_MEMORY;

// What each function answers when a device cannot serve it. The registry
// answers with an error code, everything else with 0 (NULL, FALSE).
static const FaultFunction Functions[] = {
    {"HeapAlloc", Allocation, 0, NoMemory},
    {"calloc", Allocation, 0, NoMemory},
    {"realloc", Allocation, 0, NoMemory},
    {"GetDC", DeviceContext, 0, NoMemory},
    {"CreateCompatibleDC", DeviceContext, 0, NoMemory},
    {"GetDeviceCaps", DeviceContext, 0, NoMemory},
    {"BeginPaint", DeviceContext, 0, NoMemory},
    {"CreateCompatibleBitmap", Bitmap, 0, NoMemory},
    {"CreateDIBSection", Bitmap, 0, NoMemory},
    {"CreateFontIndirectW", Font, 0, NoMemory},
    {"AddFontResourceW", Font, 0, NoMemory},
    {"EnumFontFamiliesW", Font, 0, NoMemory},
    {"SHGetSpecialFolderPathW", Font, 0, NoMemory},
    {"CreateSolidBrush", Brush, 0, NoMemory},
    {"CreatePen", Brush, 0, NoMemory},
    {"RoundRect", Drawing, 0, NoMemory},
    {"ExtTextOutW", Drawing, 0, NoMemory},
    {"AlphaBlend", Drawing, 0, NoMemory},
    {"BitBlt", Drawing, 0, NoMemory},
    {"Polygon", Drawing, 0, NoMemory},
    {"FillRect", Drawing, 0, NoMemory},
    {"GetTextExtentExPointW", TextMeasure, 0, NoMemory},
    {"GetTextExtentPoint32W", TextMeasure, 0, NoMemory},
    {"GetTextMetricsW", TextMeasure, 0, NoMemory},
    {"RegOpenKeyExW", Registry, ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY},
    {"RegQueryValueExW", Registry, ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY},
    {"RegGetValueW", Registry, ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY},
    {"RegCreateKeyExW", Registry, ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY},
    {"RegNotifyChangeKeyValue", Registry, ERROR_OUTOFMEMORY, ERROR_OUTOFMEMORY},
    {"GetLocaleInfoW", Locale, 0, NoMemory},
    {"GetTimeFormatW", Locale, 0, NoMemory},
    {"GetDateFormatW", Locale, 0, NoMemory},
    {"CreateWindowExW", Window, 0, NoMemory},
    {"RegisterClassW", WindowClass, 0, NoMemory},
    {"RegisterClassExW", WindowClass, 0, NoMemory},
    {"RegisterWindowMessageW", WindowClass, 0, NoMemory},
    {"SetTimer", Timer, 0, NoMemory},
    {"CreateThread", Thread, 0, NoMemory},
    {"CreateEventW", Event, 0, NoMemory},
    {"PostMessageW", PostedMessage, 0, NoMemory},
};

// At most this many failure points per family: the first few calls (the
// load and the creation) and a spread over the rest. QZL_FAULT_POINTS=all
// (tools/reliability.sh) tries every call.
static int MostPointsPerFamily = 10;
static const int MostCalls = 1024;

// 09:41:07 on Friday 15 March 2024.
static const SYSTEMTIME FixedNow = {2024, 3, 5, 15, 9, 41, 7, 0};

struct FaultTestRecord {
    WCHAR DllPath[MAX_PATH];
    HMODULE Dll;
    HWND Item;
    TODAYLISTITEM Record;
    int Width;
    int Top;
    DWORD *Pixels;
    int PixelCount;
    HDC ReadDC;
    HBITMAP ReadBitmap;
    HGDIOBJ ReadPrevious;
    DWORD *Reference;
    DWORD ReferenceHeight;
    UINT UiMetricMessage;
    int Dpi;
    BOOL CheckPaints;         // the reference picture is known
    int WrongPictures;        // paints of the run that showed neither
    int FirstWrongPaint;
};
static FaultTestRecord T;

// ---- Counting what the process holds ----------------------------------

struct Holdings {
    int Gdi;
    int Handles;
    int Threads;
};

static Holdings TakeHoldings()
{
    Holdings h = {CountGdiObjects(), CountHandles(), CountThreads()};
    return h;
}

static BOOL SameHoldings(const Holdings &a, const Holdings &b)
{
    return a.Gdi == b.Gdi && a.Handles == b.Handles && a.Threads == b.Threads;
}

// ---- The host's side ----------------------------------------------------

static void WINAPI FixedLocalTime(SYSTEMTIME *time)
{
    *time = FixedNow;
}

static void Paint()
{
    if (T.Item)
        RedrawWindow(T.Item, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
}

// The host asks for an item until it gets one.
static void CreateItem()
{
    PFNCUSTOMINITIALIZEITEM initialize = ItemInitializer(T.Dll);
    if (T.Item == NULL && initialize)
        T.Item = initialize(&T.Record, FakeHost.Window);
}

static void Send(UINT message, WPARAM wParam = 0)
{
    if (T.Item)
        SendMessageW(T.Item, message, wParam, 0);
}

static void ReadPicture()
{
    memset(T.Pixels, 0, (SIZE_T)T.PixelCount * 4);
    HDC dc = GetDC(T.Item);
    BitBlt(T.ReadDC, 0, 0, T.Width, (int)T.Record.cyp, dc, 0, 0, SRCCOPY);
    ReleaseDC(T.Item, dc);
    GdiFlush();
}

static int DifferentPixels();

// ---- What each paint shows ----------------------------------------------

// A colour the face never fills its whole strip with.
static const COLORREF Blank = RGB(255, 0, 255);

static void BlankItem()
{
    HDC dc = GetDC(T.Item);
    HBRUSH brush = CreateSolidBrush(Blank);
    RECT rect = {0, 0, T.Width, (int)T.Record.cyp};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
    ReleaseDC(T.Item, dc);
}

static BOOL AllBlank()
{
    for (int i = 0; i < T.Width * (int)T.Record.cyp; i++)
        if ((T.Pixels[i] & 0xFFFFFF) != 0xFF00FF)
            return FALSE;
    return TRUE;
}

// A paint over a blanked strip shows the whole face, or nothing at all
// (the last good picture, on a real screen): never part of one, never an
// empty bitmap, never a face drawn with what a failed call left.
static void PaintChecked(int step)
{
    if (!T.CheckPaints || T.Item == NULL || T.Record.cyp == 0) {
        Paint();
        return;
    }
    BlankItem();
    Paint();
    ReadPicture();
    BOOL face = T.Record.cyp == T.ReferenceHeight && DifferentPixels() == 0;
    if (!face && !AllBlank() && T.WrongPictures++ == 0)
        T.FirstWrongPaint = step;
}

// What the host does every two seconds: ask, then size the item.
static void Query()
{
    if (T.Item == NULL)
        return;
    SendMessageW(T.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&T.Record, 0);
    SetWindowPos(T.Item, NULL, 0, T.Top, T.Width, (int)T.Record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- The scripted run ---------------------------------------------------

static void Load()
{
    T.Dll = LoadWithFaults(T.DllPath);
    if (T.Dll)
        ReplaceImport(T.Dll, NULL, "GetLocalTime", (void *)FixedLocalTime, NULL);
    T.Item = NULL;
    T.Record = TODAYLISTITEM();
    T.Record.tlit = tlitCustom;
}

// Load, creation, the first refresh and paint, ticks, selection, a phone
// notice, a UI font size notice, a reload and another refresh.
static void ScriptedRun()
{
    T.WrongPictures = 0;
    Load();
    if (T.Dll == NULL)
        return;
    CreateItem();
    Query();
    PaintChecked(1);
    Send(WM_TIMER, 1);
    Send(WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN);
    Paint();
    Send(WM_TODAYCUSTOM_LOSTSELECTION);
    Send(WM_TODAYCUSTOM_CLEARCACHE);
    Query();
    PaintChecked(2);
    Send(WM_USER);
    Send(T.UiMetricMessage, 0);
    Query();
    PaintChecked(3);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, RELOAD_MARKER, 0);
    Send(WM_CREATE);
    Query();
    PaintChecked(4);
    Send(WM_TIMER, 1);
    PumpPending();
}

// What the host does next.
static void Settle()
{
    CreateItem();
    Send(WM_TIMER, 1);
    Query();
    Paint();
    PumpPending();
    ReadPicture();
}

static BOOL ThreadsBack(int threads)
{
    return PumpUntil([&] { return CountThreads() <= threads; }, 5000);
}

static void Unload()
{
    if (T.Item)
        DestroyWindow(T.Item);
    T.Item = NULL;
    if (T.Dll)
        UnloadWithFaults(T.Dll);
    T.Dll = NULL;
    PumpPending();
}

// ---- Checks -------------------------------------------------------------

static int DifferentPixels()
{
    int count = 0;
    for (int i = 0; i < T.Width * (int)T.ReferenceHeight; i++)
        count += T.Pixels[i] != T.Reference[i];
    return count;
}

// Where the failing call is made: in the scripted run (the picture is
// then checked), while the item is destroyed and the DLL unloaded, or
// everywhere (a device that never recovers: only the holdings are checked).
enum Phase { InRun, AtUnload, Throughout };

static const char *const PhaseNames[] = {"run", "unload", "run, refresh and unload"};

static int FailingPoints;

static void CheckPicture(const FaultChoice &choice, LONG injected)
{
    const char *family = FamilyNames[choice.Family];
    BOOL drawn = T.Dll != NULL && T.Item != NULL && T.Record.cyp == T.ReferenceHeight;
    ok(drawn, "%s call %ld%s: item %p, height %lu (expected %lu)\n", family, choice.K,
       choice.Lasting ? " on" : "", T.Item, T.Record.cyp, T.ReferenceHeight);
    int differing = drawn ? DifferentPixels() : -1;
    ok(differing == 0, "%s call %ld%s failed (%ld injected): %d pixels differ\n", family, choice.K,
       choice.Lasting ? " on" : "", injected, differing);
    FailingPoints += differing != 0;
}

static void CheckPaints(const FaultChoice &choice, LONG injected)
{
    ok(T.WrongPictures == 0, "%s call %ld%s failed (%ld injected): %d paints showed a wrong picture, the first at "
       "step %d\n", FamilyNames[choice.Family], choice.K, choice.Lasting ? " on" : "", injected, T.WrongPictures,
       T.FirstWrongPaint);
    FailingPoints += T.WrongPictures != 0;
}

static void RunWithFault(const FaultChoice &choice, Phase phase)
{
    if (getenv("QZL_FAULT_TRACE"))
        printf("%s call %ld%s at %s\n", FamilyNames[choice.Family], choice.K, choice.Lasting ? " on" : "",
               PhaseNames[phase]);
    DeleteRegValue(HKEY_CURRENT_USER, SETTINGS_KEY, RELOAD_MARKER);
    Holdings before = TakeHoldings();
    ResetFaultCounts();
    ChooseFault(phase != AtUnload ? choice : FaultChoice());
    ScriptedRun();
    LONG injected = FaultsInjected();
    if (phase != Throughout)
        ChooseFault(FaultChoice());
    Settle();
    if (phase != AtUnload)
        CheckPaints(choice, injected);
    if (phase == InRun)
        CheckPicture(choice, injected);
    if (phase != Throughout) {
        ResetFaultCounts();
        ChooseFault(phase == AtUnload ? choice : FaultChoice());
    }
    Unload();
    ChooseFault(FaultChoice());
    ThreadsBack(before.Threads);
    Holdings after = TakeHoldings();
    ok(SameHoldings(before, after), "%s call %ld%s at %s: GDI %d -> %d, handles %d -> %d, threads %d -> %d\n",
       FamilyNames[choice.Family], choice.K, choice.Lasting ? " on" : "", PhaseNames[phase], before.Gdi, after.Gdi,
       before.Handles, after.Handles, before.Threads, after.Threads);
    FailingPoints += !SameHoldings(before, after);
}

struct CallCounts {
    LONG Run[FamilyCount];
    LONG Unload[FamilyCount];
};

// The calls of each family that a run without failures makes, and its
// picture.
static void CountCalls(CallCounts *counts)
{
    ResetFaultCounts();
    ChooseFault(FaultChoice());
    ScriptedRun();
    for (int f = 0; f < FamilyCount; f++)
        counts->Run[f] = FaultCalls(f);
    Settle();
    T.ReferenceHeight = T.Record.cyp;
    memcpy(T.Reference, T.Pixels, (SIZE_T)T.PixelCount * 4);
    T.CheckPaints = TRUE;
    ResetFaultCounts();
    Unload();
    for (int f = 0; f < FamilyCount; f++)
        counts->Unload[f] = FaultCalls(f);
}

// The failure points of a family with `calls` calls: all of them up to the
// limit, else the first half of the limit (the load and the creation) and
// one point in each of equal stretches of the rest, placed differently in
// each device (by its resolution), so that the three devices together try
// three times as many points.
static int FailurePoints(LONG calls, LONG *points)
{
    if (calls <= MostPointsPerFamily) {
        for (LONG k = 1; k <= calls; k++)
            points[k - 1] = k;
        return (int)calls;
    }
    int first = MostPointsPerFamily / 2, n = 0;
    for (; n < first; n++)
        points[n] = n + 1;
    LONG rest = calls - first, stretches = MostPointsPerFamily - first;
    LONG offset = (LONG)T.Dpi * 7;
    for (LONG i = 0; i < stretches; i++, n++) {
        LONG begin = first + 1 + rest * i / stretches, end = first + 1 + rest * (i + 1) / stretches;
        points[n] = begin + offset % (end - begin);
    }
    return n;
}

static void CreateReadBuffer()
{
    T.Width = GetSystemMetrics(SM_CXSCREEN);
    T.Top = 30;
    HDC screen = GetDC(NULL);
    T.Dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    int height = GetSystemMetrics(SM_CYSCREEN);
    T.PixelCount = T.Width * height;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = T.Width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    T.ReadDC = CreateCompatibleDC(NULL);
    T.ReadBitmap = CreateDIBSection(T.ReadDC, &bmi, DIB_RGB_COLORS, (void **)&T.Pixels, NULL, 0);
    T.ReadPrevious = SelectObject(T.ReadDC, T.ReadBitmap);
    T.Reference = (DWORD *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)T.PixelCount * 4);
}

static CallCounts Counts;

// Each family fails once at each of its points, in the run and at unload.
static void test_every_family_fails_once()
{
    CountCalls(&Counts);
    ok(T.ReferenceHeight > 0, "a run without failures draws the item\n");
    for (int f = 0; f < FamilyCount; f++) {
        // The item posts only from its notice threads (a registry change, a
        // wake-up), which this run does not start; the stop no longer posts.
        // watcher_item and watcher_power refuse those posts.
        if (f == PostedMessage && Counts.Run[f] + Counts.Unload[f] == 0)
            skip("the run reaches no posted message\n");
        else
            ok(Counts.Run[f] + Counts.Unload[f] > 0, "the run reaches the %s family\n", FamilyNames[f]);
        static LONG points[MostCalls];
        int n = FailurePoints(Counts.Run[f], points);
        for (int i = 0; i < n; i++)
            RunWithFault({f, points[i], FALSE}, InRun);
        int m = FailurePoints(Counts.Unload[f], points);
        for (int i = 0; i < m; i++)
            RunWithFault({f, points[i], FALSE}, AtUnload);
        printf("%-15s %4ld + %3ld calls, %d + %d failure points\n", FamilyNames[f], Counts.Run[f],
               Counts.Unload[f], n, m);
    }
}

// A failure that lasts from a point of the run to its end (after the
// reload): the item recovers at the host's next refresh and paint. Three
// points per family: its first call, the middle one and the last. Then a
// failure that never ends, from the load through the unload: nothing may
// hang or be left behind.
static void test_every_family_keeps_failing()
{
    for (int f = 0; f < FamilyCount; f++) {
        LONG n = Counts.Run[f];
        LONG points[] = {1, (n + 1) / 2, n};
        for (int i = 0; i < 3 && n > 0; i++)
            if (i == 0 || points[i] != points[i - 1])
                RunWithFault({f, points[i], TRUE}, InRun);
        // See the posted message family at unload above.
        if (f != PostedMessage)
            RunWithFault({f, 1, TRUE}, Throughout);
    }
}

int main()
{
    setvbuf(stdout, NULL, _IONBF, 0);
    const char *points = getenv("QZL_FAULT_POINTS");
    if (points && strcmp(points, "all") == 0)
        MostPointsPerFamily = MostCalls;
    DWORD size = sizeof(T.DllPath);
    RegGetValueW(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"DLL", RRF_RT_REG_SZ, NULL, T.DllPath, &size);
    T.UiMetricMessage = RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE");
    UseFaultTable(Functions, ARRAYSIZE(Functions), FamilyCount);
    CreateFakeHost();
    CreateReadBuffer();
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"HideTimeInSleep", 1);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowOpName", 1);
    DWORD start = GetTickCount();
    run_test(test_every_family_fails_once);
    run_test(test_every_family_keeps_failing);
    printf("%d failing points, %lu ms\n", FailingPoints, GetTickCount() - start);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    DestroyFakeHost();
    return TestSummary();
}
