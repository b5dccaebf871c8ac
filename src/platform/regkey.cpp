// Registry keys opened for reading or writing (see regkey.h).
#include "regkey.h"

namespace {

// The handheld's registry takes 0; the desktop's grants only what is asked.
REGSAM AccessMask(RegistryAccess access)
{
#ifdef _WIN32_WCE
    (void)access;
    return 0;
#else
    return access == RegistryWrite ? KEY_WRITE : KEY_READ;
#endif
}

} // namespace

HKEY OpenRegistryKey(HKEY root, const WCHAR *path, RegistryAccess access, LONG *error)
{
    HKEY key = NULL;
    LONG rc = RegOpenKeyExW(root, path, 0, AccessMask(access), &key);
    if (error)
        *error = rc;
    return rc == ERROR_SUCCESS ? key : NULL;
}

HKEY OpenOrCreateRegistryKey(HKEY root, const WCHAR *path, RegistryAccess access)
{
    HKEY key = NULL;
    if (RegCreateKeyExW(root, path, 0, NULL, 0, AccessMask(access), NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}
