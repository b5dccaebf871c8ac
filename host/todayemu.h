// The Today-screen emulator: a stand-in for the handheld's Today host and
// for the rest of the device around a Today item DLL. One record of state,
// `Host`, is shared by the emulator's files; each file owns the fields its
// routines write (named at the field).
#pragma once
#include <windows.h>

#include "desktop/today-standins.h"

// Exit codes of todayemu.exe.
enum {
    ExitOk = 0,
    ExitFailure = 1,      // a window, image or file could not be made
    ExitMissing = 2,      // bad command line, or no Today item key, DLL or export
};

// Rows of the Today screen, top to bottom.
enum HostRowKind { RowOwner, RowItem, RowAppointments, RowMessages, HostRowCount };

struct HostRow {
    int Top;      // client y
    int Height;
};

// An alarm the command line sets: alarm N of the system clock.
struct AlarmRequest {
    BOOL Given;
    BOOL On;
    BOOL HasDays;
    BYTE Days;        // bit 0 Monday .. bit 6 Sunday
    BOOL HasTime;
    WORD Minutes;     // after midnight
};

// One of the item's settings that the command line sets for the run.
struct SettingRequest {
    const wchar_t *Name;             // the registry value's
    BOOL IsText;                     // REG_SZ `Text`, else REG_DWORD `Value`
    const wchar_t *Text;
    DWORD Value;
};

enum { MaxSettingRequests = 16 };

// What the command line asked for (cmdline.cpp).
struct HostOptions {
    const wchar_t *ScreenshotPath;   // headless: write a PNG and exit
    int AfterMs;                     // screenshot delay after start-up
    BOOL Select;                     // give the item the selection
    BOOL Suspend;                    // suspend the device before the shot
    BOOL Rotate;                     // start in the other orientation
    BOOL Keep;                       // leave the device changes in place at exit
    BOOL Undo;                       // put back what runs with --keep changed, and exit
    BOOL Help;
    BOOL HasTime;                    // device clock set
    SYSTEMTIME Time;
    BOOL Tick;                       // device clock runs on from `Time`
    BOOL HasPhoneStatus;
    DWORD PhoneStatus;
    const wchar_t *OperatorName;     // null: leave the operator name alone
    const wchar_t *TextLogPath;      // null: no log of the texts the item draws
    DWORD FontSize;                  // hundredths of a point, 0: leave
    int LocaleSet;                   // index into the locale sets, -1: leave
    wchar_t LocaleName[LOCALE_NAME_MAX_LENGTH];  // the device's locale, empty: leave
    SettingRequest Settings[MaxSettingRequests];
    int SettingCount;
    AlarmRequest Alarms[3];
    wchar_t Refusal[160];            // why a value was refused, when more than what the flag accepts
};

struct TodayHost {
    HINSTANCE Instance;
    HWND Window;                     // the Today screen (main.cpp)
    HWND Overlay;                    // dark screen while suspended (device.cpp)
    int Width, Height;               // screen size = client size (main.cpp)
    int Dpi;                         // LOGPIXELSY of the screen (screen.cpp)
    // The item (items.cpp).
    HMODULE Dll;
    PFNCUSTOMINITIALIZEITEM InitializeItem;
    PFNCUSTOMOPTIONSDLGPROC OptionsProc;
    TODAYLISTITEM Item;
    HWND ItemWindow;
    HostRow Rows[HostRowCount];
    int Selected;                    // row index, -1 for none
    // Screen resources (screen.cpp).
    HDC WallpaperDC;
    HBITMAP Wallpaper;
    HBITMAP WallpaperPrevious;
    HFONT TextFont;
    HFONT TitleFont;
    // Device (device.cpp).
    UINT UiMetricMessage;
    BOOL Suspended;
    int PhoneChoice;                 // last phone state picked from the menu
    // Headless run (main.cpp).
    const HostOptions *Options;
    int ExitCode;
};

extern TodayHost Host;

// Timers of the host window.
enum { TimerRefresh = 1, TimerScreenshot = 2 };
// WM_WININICHANGE's word from an installer: read the Today items again.
enum { TodayReloadItems = 0xF2 };
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
BOOL ParseCommandLine(int argc, wchar_t **argv, HostOptions *options);
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
BOOL CreateTodayItem(void);
void UnloadTodayItem(void);
void ReloadTodayItems(void);
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
void UndoInterruptedRun(void);
int UndoKeptChanges(void);
void ShowDeviceMenu(POINT screen);
void RunDeviceCommand(int command);
BOOL HandleDeviceKey(WPARAM key);
void ScreenSizeChanged(void);
void SuspendDevice(void);
void SuspendDeviceScreenOn(void);
void ResumeDevice(void);
BOOL ScreenCanTurn(DWORD *width, DWORD *height);

// clock.cpp
void SetDeviceClock(const SYSTEMTIME *time, BOOL ticking);
void DeviceLocalTime(SYSTEMTIME *time);
BOOL InstallDeviceClock(HMODULE module);

// locale.cpp
BOOL FindLocaleName(const wchar_t *wanted, wchar_t *found);
void SetDeviceLocale(const wchar_t *name);
const wchar_t *DeviceLocaleName(void);   // null: the process's user locale
BOOL InstallDeviceLocale(HMODULE module);

// texts.cpp
BOOL OpenTextLog(const wchar_t *path);
void InstallTextLog(HMODULE module);
void CloseTextLog(void);

// capture.cpp
BOOL SaveScreenshot(HWND window, const wchar_t *path);
