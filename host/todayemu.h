// The Today-screen emulator: a stand-in for the handheld's Today host and
// for the rest of the device around a Today item DLL. One record of state,
// `Host`, is shared by the emulator's files; each file owns the fields its
// routines write (named at the field).
#pragma once
#include <windows.h>

#include "todaycmn.h"

// Exit codes of todayemu.exe.
enum {
    ExitOk = 0,
    ExitFailure = 1,      // a window, image or file could not be made
    ExitMissing = 2,      // bad command line, or no Today item key, DLL or export
};

// Rows of the Today screen, top to bottom.
enum HostRowKind { RowOwner, RowItem, RowAppointments, RowMessages, HostRowCount };

struct HostRow {
    int top;      // client y
    int height;
};

// An alarm the command line sets: alarm N of the system clock.
struct AlarmRequest {
    bool given;
    bool on;
    bool hasDays;
    BYTE days;        // bit 0 Monday .. bit 6 Sunday
    bool hasTime;
    WORD minutes;     // after midnight
};

// What the command line asked for (cmdline.cpp).
struct HostOptions {
    const wchar_t *screenshotPath;   // headless: write a PNG and exit
    int afterMs;                     // screenshot delay after start-up
    bool select;                     // give the item the selection
    bool suspend;                    // suspend the device before the shot
    bool rotate;                     // start in the other orientation
    bool keep;                       // leave the device changes in place at exit
    bool help;
    bool hasTime;                    // device clock set
    SYSTEMTIME time;
    bool tick;                       // device clock runs on from `time`
    bool hasPhoneStatus;
    DWORD phoneStatus;
    const wchar_t *operatorName;     // null: leave the operator name alone
    DWORD fontSize;                  // hundredths of a point, 0: leave
    int localeSet;                   // index into the locale sets, -1: leave
    AlarmRequest alarms[3];
};

struct TodayHost {
    HINSTANCE instance;
    HWND window;                     // the Today screen (main.cpp)
    HWND overlay;                    // dark screen while suspended (device.cpp)
    int width, height;               // screen size = client size (main.cpp)
    int dpi;                         // LOGPIXELSY of the screen (screen.cpp)
    // The item (items.cpp).
    HMODULE dll;
    PFNCUSTOMINITIALIZEITEM initializeItem;
    PFNCUSTOMOPTIONSDLGPROC optionsProc;
    TODAYLISTITEM item;
    HWND itemWindow;
    HostRow rows[HostRowCount];
    int selected;                    // row index, -1 for none
    // Screen resources (screen.cpp).
    HDC wallpaperDC;
    HBITMAP wallpaper;
    HBITMAP wallpaperPrevious;
    HFONT textFont;
    HFONT titleFont;
    // Device (device.cpp).
    UINT uiMetricMessage;
    bool suspended;
    int phoneChoice;                 // last phone state picked from the menu
    // Headless run (main.cpp).
    const HostOptions *options;
    int exitCode;
};

extern TodayHost Host;

// Timers of the host window.
enum { TimerRefresh = 1, TimerScreenshot = 2 };
enum { RefreshPeriodMs = 2000 };

// Device menu commands.
enum {
    CmdOptions = 100,
    CmdRotate,
    CmdSuspend,
    CmdResume,
    CmdExit,
    CmdFontSizeFirst = 200,       // + index into the font sizes
    CmdLocaleFirst = 300,         // + index into the locale sets
    CmdPhoneFirst = 400,          // + index into the phone states
    CmdAlarmFirst = 500,          // + alarm number: switch on/off
};

// main.cpp
void ReportError(const wchar_t *format, ...);
void PumpMessagesFor(DWORD ms);

// cmdline.cpp
bool ParseCommandLine(int argc, wchar_t **argv, HostOptions *options);
void PrintUsage(void);

// screen.cpp
int ScaleToDpi(int pixels96);
void CreateScreenResources(void);
void DestroyScreenResources(void);
void BuildWallpaper(void);
int TitleBandHeight(void);
int SoftkeyBarHeight(void);
int BuiltInRowHeight(void);
void PaintHost(HDC dc, const RECT *update);
LRESULT ThemeColor(WPARAM which);
LRESULT DrawWatermark(const TODAYDRAWWATERMARKINFO *info);
void InvalidateTitleBand(void);

// items.cpp
int LoadTodayItem(void);
bool CreateTodayItem(void);
void UnloadTodayItem(void);
void QueryItemRefresh(void);
void LayoutRows(void);
void MoveSelection(int direction);
void SelectRowAt(POINT client);
void GiveItemSelection(WPARAM key);
void ItemTookSelection(HWND window);
void RunSelectedAction(void);

// device.cpp
void ApplyStartupDevice(const HostOptions *options);
void RestoreDevice(void);
void ShowDeviceMenu(POINT screen);
void RunDeviceCommand(int command);
bool HandleDeviceKey(WPARAM key);
void ScreenSizeChanged(void);
void SuspendDevice(void);
void SuspendDeviceScreenOn(void);
void ResumeDevice(void);

// clock.cpp
void SetDeviceClock(const SYSTEMTIME *time, bool ticking);
void DeviceLocalTime(SYSTEMTIME *time);
bool InstallDeviceClock(HMODULE module);

// capture.cpp
bool SaveScreenshot(HWND window, const wchar_t *path);
