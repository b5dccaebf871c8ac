// The item window: the one place where the host's messages, the timer, the
// suspend watcher and the options' reload requests arrive.
#pragma once
#include <windows.h>
#include "aygshell.h"

#define CLOCK_TIMER_ID 1
#define CLOCK_TIMER_PERIOD 1000

struct ItemStateRecord {
    HWND Window;
    volatile LONG BackgroundDirty = 1;
    volatile LONG WatermarkDirty = 1;
    volatile LONG TimeVisible = 1;    // written by the suspend watcher
    LONG Selected;
    // The time that the last repaint request showed: minute, hour and
    // date (year << 16 | month << 8 | day).
    WORD LastMinute;
    WORD LastHour;
    DWORD LastDate;
    int LastWidth;
    int LastHeight;
    int LastTop;
    DWORD AlarmSet;
    DWORD Landscape;
    DWORD LastUiFontSize;
    int OperatorCountdown;
    HREGNOTIFY PhoneStatusNotification;
    HANDLE WatcherStopEvent;
    HANDLE WatcherThread;
};
extern ItemStateRecord ItemState;

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
