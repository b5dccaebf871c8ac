// The item's window state: written by the window procedure, the suspend
// watcher, the locale refresh and the paint, read by the options. It lives
// here, below the face and the status, so that none of them needs the
// window procedure's header to reach it.
#pragma once
#include <windows.h>
#include "handheld.h"

struct ItemStateRecord {
    HWND Window;
    volatile LONG BackgroundDirty;    // 1 at load
    volatile LONG WatermarkDirty;     // 1 at load
    volatile LONG TimeVisible;        // 1 at load; written by the suspend watcher
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
    // A settings read that failed (at load or at a reload): the key is read
    // again at the next refresh or creation.
    DWORD SettingsUnread;
    DWORD ClockTimerSet;          // SetTimer succeeded; else tried again at each refresh
    // Set by a creation, cleared by the host's first refresh after it: the
    // screen's orientation is the one the creation read, and (when the
    // creation built the fonts) the UI font size the one they were built for.
    DWORD CreationScreenFresh;
    DWORD CreationFontsFresh;
    HREGNOTIFY PhoneStatusNotification;
    HANDLE WatcherStopEvent;
    HANDLE WatcherThread;
};
extern ItemStateRecord ItemState;
