// The clock's settings: one registry value per setting under the settings
// key, mirrored in memory in ClockSettings, which every module reads.
#pragma once
#include <windows.h>
#include "regkey.h"

#define SETTINGS_KEY   L"SOFTWARE\\Marrowfen\\Quartzel"
#define TODAY_ITEM_KEY L"SOFTWARE\\Microsoft\\Today\\Items\\Quartzel"
#define RELOAD_MARKER  L"QZL"
#define CLOCK_PROGRAM  L"\\Windows\\clock.exe"

#define FILE_ON_ACTION_CHARS 260

// Field names are the registry value names.
struct ClockSettingsRecord {
    DWORD AlarmIconEnabled;
    DWORD AlphaDayDate;
    DWORD AlphaReserved;
    DWORD AlphaTime;
    DWORD AlphaTransparent;
    DWORD CenterDayDate;
    DWORD ClearTypeDayDateEnabled;
    DWORD ClearTypeTimeEnabled;
    DWORD HideTimeInSleep;
    DWORD OverrideARGB;
    DWORD HourMinFontSize;
    DWORD SecondFontSize;
    DWORD TimeMarkerFontSize;
    DWORD ShowDayDate;
    DWORD ShowOpName;
    DWORD ShowSeconds;
    DWORD ShowShortDate;
    DWORD ShowTimeMarkers;
    DWORD SingleTMLine;
    DWORD TapAndHoldEnabled;
    DWORD TextColorEnabled;
    DWORD ColorExAlarm;
    DWORD ColorExDate;
    DWORD ColorExDay;
    DWORD ColorExHour;
    DWORD ColorExMinute;
    DWORD ColorExSecond;
    DWORD ColorExTMarker;
    DWORD ColorExTSeparator;
    DWORD TextColorHighlight;
    DWORD TextColorDefault;
    DWORD VerticalBorderHeight;
    WCHAR FileOnAction[FILE_ON_ACTION_CHARS];
    // FileOnAction was stored as REG_EXPAND_SZ: the options write it back
    // with its type. It is launched as stored (the handheld has no
    // environment to expand).
    BOOL FileOnActionExpands;
};

extern ClockSettingsRecord ClockSettings;

// From the Today item key: 2 means the item reports that it took the
// selection after each press. 0 until read; stays 0 without the key.
extern DWORD Selectability;

// Fills ClockSettings from an open settings key (or, with NULL, with every
// default): defaults for missing or ill-sized values, then each value's
// load rule. FALSE when a query failed (its setting then has the default
// for now, and the caller reads the key again later).
BOOL LoadSettings(HKEY key);

// Opens the settings key (never creating it) for reading or for writing;
// NULL when it does not open, with the registry's result in `error`.
HKEY OpenSettingsKey(RegistryAccess access, LONG *error = NULL);

// Attach-time load: LoadSettings on the settings key, the defaults without
// one. FALSE when the key is there but could not be read whole. The key is
// closed again before it returns.
BOOL LoadSettingsAtAttach();

// Reads Selectability from the Today item key.
void ReadSelectability();

// The common form of every write.
void WriteSettingDword(HKEY key, const WCHAR *name, DWORD value);
// A string as REG_SZ, or as REG_EXPAND_SZ when `expands`.
void WriteSettingString(HKEY key, const WCHAR *name, const WCHAR *value, BOOL expands = FALSE);

// Reload marker: written after a save; found and removed by the next item
// window creation, which then reloads.
void WriteReloadMarker(HKEY key);
// The registry's answer for the marker: ERROR_SUCCESS when it is there,
// ERROR_KEY_DELETED when the key itself was deleted since it was opened.
LONG QueryReloadMarker(HKEY key);
void DeleteReloadMarker(HKEY key);
