// todayemu.exe: plays the handheld's Today screen around a Today item DLL.
// Start-up order matters: the device settings of the command line are
// written before the DLL loads (its load step already reads them), the
// clock import is redirected before the item window exists, and the first
// refresh query sizes the item before the screen is first shown.
#include "todayemu.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <stdarg.h>
#include <stdio.h>

TodayHost Host;

static const wchar_t HostClass[] = L"TodayEmuScreen";

void ReportError(const wchar_t *format, ...)
{
    wchar_t text[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, sizeof(text) / sizeof(text[0]) - 1, format, args);
    va_end(args);
    text[sizeof(text) / sizeof(text[0]) - 1] = 0;
    // The console may be a Unix pipe: write UTF-8 bytes, not UTF-16.
    char bytes[3 * 4096];
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), NULL, NULL);
    DWORD written;
    if (size > 1)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes, size - 1, &written, NULL);
}

// ---------------------------------------------------------------------------
// The headless screenshot.

void PumpMessagesFor(DWORD ms)
{
    ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, (DWORD)(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Leave the quit for the main loop.
                PostQuitMessage((int)msg.wParam);
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

static void TakeScreenshotAndQuit(void)
{
    KillTimer(Host.Window, TimerScreenshot);
    if (Host.Options->Suspend)
        SuspendDeviceScreenOn();
    else
        QueryItemRefresh();
    RedrawWindow(Host.Window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Give the display driver a moment to put the drawing on the screen.
    PumpMessagesFor(100);
    if (SaveScreenshot(Host.Window, Host.Options->ScreenshotPath)) {
        Host.ExitCode = ExitOk;
    } else {
        ReportError(L"todayemu: cannot write the screenshot '%ls'\n", Host.Options->ScreenshotPath);
        Host.ExitCode = ExitFailure;
    }
    ResumeDevice();
    DestroyWindow(Host.Window);
}

// ---------------------------------------------------------------------------
// The host window.

static void OnPaint(void)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Host.Window, &ps);
    PaintHost(dc, &ps.rcPaint);
    EndPaint(Host.Window, &ps);
}

static void OnTimer(WPARAM id)
{
    if (id == TimerRefresh) {
        QueryItemRefresh();
        InvalidateTitleBand();
    } else if (id == TimerScreenshot) {
        TakeScreenshotAndQuit();
    }
}

static void OnKeyDown(WPARAM key)
{
    // A sleeping device wakes on any key and does nothing else with it.
    if (Host.Suspended)
        ResumeDevice();
    else if (key == VK_UP || key == VK_DOWN)
        MoveSelection(key == VK_UP ? -1 : 1);
    else if (key == VK_RETURN)
        RunSelectedAction();
    else if (key == VK_ESCAPE)
        DestroyWindow(Host.Window);
    else if (key == 'M' || key == VK_APPS || key == VK_F10)
        ShowDeviceMenu(POINT{0, TitleBandHeight()});
    else
        HandleDeviceKey(key);
}

static void OnLeftButton(LPARAM lParam)
{
    POINT point = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    SelectRowAt(point);
}

static void OnRightButton(LPARAM lParam)
{
    POINT point = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    if (point.y >= TitleBandHeight())
        return;
    ClientToScreen(Host.Window, &point);
    ShowDeviceMenu(point);
}

// The host keeps the keyboard: the item window never holds the focus.
static void OnActivate(WPARAM wParam)
{
    if (LOWORD(wParam) != WA_INACTIVE && !Host.Overlay)
        SetFocus(Host.Window);
}

static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return 0;
    case WM_LBUTTONDOWN:
        OnLeftButton(lParam);
        return 0;
    case WM_RBUTTONUP:
        OnRightButton(lParam);
        return 0;
    case WM_COMMAND:
        RunDeviceCommand(LOWORD(wParam));
        return 0;
    case WM_DISPLAYCHANGE:
        ScreenSizeChanged();
        return 0;
    case WM_SETTINGCHANGE:
        if (wParam != TodayReloadItems)
            return DefWindowProcW(window, message, wParam, lParam);
        ReloadTodayItems();
        return 0;
    case WM_ACTIVATE:
        OnActivate(wParam);
        return 0;
    case TODAYM_GETCOLOR:
        return ThemeColor(wParam);
    case TODAYM_DRAWWATERMARK:
        return DrawWatermark((const TODAYDRAWWATERMARKINFO *)lParam);
    case TODAYM_TOOKSELECTION:
        ItemTookSelection((HWND)wParam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

static BOOL CreateHostWindow(void)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = Host.Instance;
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.lpszClassName = HostClass;
    if (!RegisterClassW(&wc))
        return FALSE;
    Host.Width = GetSystemMetrics(SM_CXSCREEN);
    Host.Height = GetSystemMetrics(SM_CYSCREEN);
    Host.Window = CreateWindowExW(0, HostClass, L"Today", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                                  Host.Width, Host.Height, NULL, NULL, Host.Instance, NULL);
    return Host.Window != NULL;
}

// Keys typed while the item window somehow holds the focus still belong to
// the host (the Today screen navigates, the item never reads keys).
static void RouteKeysToHost(MSG *msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || !Host.ItemWindow)
        return;
    if (msg->hwnd == Host.ItemWindow || IsChild(Host.ItemWindow, msg->hwnd))
        msg->hwnd = Host.Window;
}

static void RunMessageLoop(void)
{
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        RouteKeysToHost(&msg);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Builds the screen around the loaded item; FALSE when a window is
// missing.
static BOOL StartScreen(void)
{
    CreateScreenResources();
    if (!CreateHostWindow()) {
        ReportError(L"todayemu: cannot create the Today screen window\n");
        return FALSE;
    }
    BuildWallpaper();
    LayoutRows();
    if (!CreateTodayItem())
        return FALSE;
    QueryItemRefresh();
    LayoutRows();
    ShowWindow(Host.Window, SW_SHOW);
    SetForegroundWindow(Host.Window);
    SetFocus(Host.Window);
    UpdateWindow(Host.Window);
    SetTimer(Host.Window, TimerRefresh, RefreshPeriodMs, NULL);
    if (Host.Options->Select)
        GiveItemSelection(VK_DOWN);
    if (Host.Options->ScreenshotPath)
        SetTimer(Host.Window, TimerScreenshot, Host.Options->AfterMs, NULL);
    return TRUE;
}

static int RunEmulator(HINSTANCE instance, const HostOptions *options)
{
    Host.Instance = instance;
    Host.Options = options;
    Host.Selected = -1;
    Host.ExitCode = ExitOk;
    if (options->HasTime)
        SetDeviceClock(&options->Time, options->Tick);
    ApplyStartupDevice(options);
    int result = LoadTodayItem();
    if (result == ExitOk) {
        if (StartScreen())
            RunMessageLoop();
        else
            Host.ExitCode = ExitFailure;
        result = Host.ExitCode;
    }
    if (Host.Window && IsWindow(Host.Window))
        DestroyWindow(Host.Window);
    UnloadTodayItem();
    DestroyScreenResources();
    RestoreDevice();
    return result;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    HostOptions options;
    // A refused command line has already said why in one line.
    if (!argv || !ParseCommandLine(argc, argv, &options))
        return ExitMissing;
    if (options.Help) {
        PrintUsage();
        return ExitOk;
    }
    // A run that was ended from outside left its changes: they go first.
    UndoInterruptedRun();
    if (options.Undo)
        return UndoKeptChanges();
    if (options.TextLogPath && !OpenTextLog(options.TextLogPath)) {
        ReportError(L"todayemu: cannot write the text log '%ls'\n", options.TextLogPath);
        return ExitFailure;
    }
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    int result = RunEmulator(instance, &options);
    CoUninitialize();
    CloseTextLog();
    LocalFree(argv);
    return result;
}
