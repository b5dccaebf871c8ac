// A DLL mapped without its imports, which the test then binds itself, so
// that it sees or changes every call the DLL makes from its load on; the
// entry point is called by hand. No test code lives in the DLL.
#pragma once
#include <windows.h>

// What an import is bound to: `real` (the system's function), or a
// replacement. `name` is NULL for an import by ordinal.
typedef void *(*ImportBinder)(const char *name, void *real);

// Maps `path` and binds every import through `bind`. NULL when it could not
// be mapped or an import could not be found.
HMODULE MapAndBind(const WCHAR *path, ImportBinder bind);
// The DLL's entry point, called for `reason` (DLL_PROCESS_ATTACH, ...).
BOOL CallDllEntry(HMODULE dll, DWORD reason);
