// Registry keys opened for reading or writing (see regkey.h).
#include "regkey.h"

namespace {

REGSAM DesktopAccess(RegistryAccess access)
{
    return access == RegistryWrite ? KEY_WRITE : KEY_READ;
}

} // namespace

HKEY OpenRegistryKey(HKEY root, const WCHAR *path, RegistryAccess access, LONG *error)
{
    HKEY key = NULL;
    LONG rc = RegOpenKeyExW(root, path, 0, DesktopAccess(access), &key);
    if (error)
        *error = rc;
    return rc == ERROR_SUCCESS ? key : NULL;
}

HKEY OpenOrCreateRegistryKey(HKEY root, const WCHAR *path, RegistryAccess access)
{
    HKEY key = NULL;
    if (RegCreateKeyExW(root, path, 0, NULL, 0, DesktopAccess(access), NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}
