// Opening registry keys. The handheld's registry has no access rights: its
// callers pass 0 as the access mask. Desktop Win32 grants only what a key
// is opened for, so every opening says whether it reads or writes, and a
// key that may be read but not written can still be read.
#pragma once
#include <windows.h>

enum RegistryAccess {
    RegistryRead,    // values are queried, changes may be watched
    RegistryWrite,   // values are set or deleted
};

// An existing key, NULL when it does not open; `error` (if given) receives
// the registry's own result.
HKEY OpenRegistryKey(HKEY root, const WCHAR *path, RegistryAccess access, LONG *error = NULL);

// The key, made first when it does not exist; NULL when neither works.
HKEY OpenOrCreateRegistryKey(HKEY root, const WCHAR *path, RegistryAccess access);
