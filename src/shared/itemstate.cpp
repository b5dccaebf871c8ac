#include "itemstate.h"

// Both surfaces are to be drawn, and the time shown, until told otherwise;
// every other field starts at 0. A static image: the DLL runs no
// constructor at load.
ItemStateRecord ItemState = {
    NULL, 1, 1, 1,          // Window, BackgroundDirty, WatermarkDirty, TimeVisible
    0, 0, 0, 0,             // Selected, LastMinute, LastHour, LastDate
    0, 0, 0, 0, 0, 0,       // LastWidth, LastHeight, LastTop, AlarmSet, Landscape, LastUiFontSize
    0, 0, 0,                // OperatorCountdown, SettingsUnread, ClockTimerSet
    0, 0,                   // CreationScreenFresh, CreationFontsFresh
    NULL, NULL, NULL,       // PhoneStatusNotification, WatcherStopEvent, WatcherThread
};
