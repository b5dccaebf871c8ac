// Loading the item the way the Today host does: the DLL that the device's
// Today item key names, its entry points by ordinal.
#pragma once
#include <windows.h>
#include "today-standins.h"

// Loads the DLL named by the Today item key; NULL when the key, the value or
// the file is missing. `path` (MAX_PATH characters), if given, receives it.
HMODULE LoadItemDll(WCHAR *path = NULL);
PFNCUSTOMINITIALIZEITEM ItemInitializer(HMODULE dll);
PFNCUSTOMOPTIONSDLGPROC ItemOptionsProc(HMODULE dll);
