// What the options tests share: the item's settings arranged in the
// registry, and calls of the item observed through its import table
// (registry writes, the file chooser, the shell launch).
#pragma once
#include <windows.h>
#include "sheetdriver.h"

void OptionsTestSetup();

// Empties the settings key, lets `arrange` put values into it, and loads
// ClockSettings from it as the library does when it is loaded.
void ArrangeSettings(void (*arrange)());
void SetSetting(const WCHAR *name, DWORD value);
void SetSettingString(const WCHAR *name, const WCHAR *value);
DWORD StoredSetting(const WCHAR *name);
BOOL SettingStored(const WCHAR *name);
// FileOnAction as stored, or "<missing>".
const WCHAR *StoredFileOnAction();

// Every RegSetValueExW of the item's code, in order.
struct WriteLogRecord {
    WCHAR Names[64][40];
    int Count;
    const WCHAR *FailName;   // this value's write fails
};
extern WriteLogRecord Writes;
void ClearWrites();
// The writes were exactly these names, in this order (null-terminated list).
BOOL WritesWere(const WCHAR *const *names);
void PrintWrites();

// The file chooser: the next GetOpenFileNameW returns `path` (null: the
// user cancels). The record the page passed is kept.
struct ChooserRecord {
    const WCHAR *NextPath;
    int Calls;
    DWORD Flags, MaxFile, FilterIndex;
    WCHAR Filter[40];
};
extern ChooserRecord Chooser;

// ShellExecuteExW calls: the last file asked for.
struct LaunchRecord {
    int Calls;
    WCHAR File[300];
};
extern LaunchRecord Launches;

// Opens and runs the options, calling `act` on the sheet; fails the test
// when the sheet had to be closed by the guard.
void RunSheet(SheetAction act);
// Opens the options and closes them at once with OK.
void OpenAndClose();
