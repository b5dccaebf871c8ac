#include "itemdll.h"
#include "settings.h"

HMODULE LoadItemDll(WCHAR *path)
{
    WCHAR buffer[MAX_PATH] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, L"DLL", RRF_RT_REG_SZ, NULL, buffer, &size) != ERROR_SUCCESS)
        return NULL;
    if (path)
        lstrcpyW(path, buffer);
    return LoadLibraryW(buffer);
}

PFNCUSTOMINITIALIZEITEM ItemInitializer(HMODULE dll)
{
    return (PFNCUSTOMINITIALIZEITEM)(void *)GetProcAddress(dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZECUSTOMITEM));
}

PFNCUSTOMOPTIONSDLGPROC ItemOptionsProc(HMODULE dll)
{
    return (PFNCUSTOMOPTIONSDLGPROC)(void *)GetProcAddress(dll, MAKEINTRESOURCEA(ORDINAL_CUSTOMITEMOPTIONSDLGPROC));
}
