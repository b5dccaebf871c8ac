// The cabinet's setup library. The device's installer calls it around the
// item's files: before an install over an older one and before a removal it
// makes the Today screen let go of the item, so that the old DLL can be
// replaced or deleted; after an install it makes the Today screen load the
// item again. The settings key is made empty at the first install (the
// item never makes it, and the options need it) and taken away at removal.
#include <windows.h>

#include "regkey.h"

// The installer's return codes and the four entry points' signatures, as
// the platform's setup header declares them.
enum codeINSTALL_INIT { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL };
enum codeINSTALL_EXIT { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL };
enum codeUNINSTALL_INIT { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL };
enum codeUNINSTALL_EXIT { codeUNINSTALL_EXIT_DONE = 0 };

// What the Today screen understands as "read your item list again".
enum { TodayReloadItems = 0xF2 };

static const wchar_t TodayItemKey[] = L"SOFTWARE\\Microsoft\\Today\\Items\\Quartzel";
static const wchar_t SettingsKey[] = L"SOFTWARE\\Marrowfen\\Quartzel";

extern "C" {
__declspec(dllexport) codeINSTALL_INIT Install_Init(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                                                    LPCTSTR installDir);
__declspec(dllexport) codeINSTALL_EXIT Install_Exit(HWND parent, LPCTSTR installDir, WORD failedDirs,
                                                    WORD failedFiles, WORD failedRegKeys, WORD failedRegVals,
                                                    WORD failedShortcuts);
__declspec(dllexport) codeUNINSTALL_INIT Uninstall_Init(HWND parent, LPCTSTR installDir);
__declspec(dllexport) codeUNINSTALL_EXIT Uninstall_Exit(HWND parent);
}

static void AskTodayToReload(void)
{
    SendMessageW(HWND_BROADCAST, WM_WININICHANGE, TodayReloadItems, 0);
}

// Takes the item out of the Today screen's list; FALSE when it has no
// Today item key (nothing holds the DLL then).
static BOOL DisableTodayItem(void)
{
    HKEY key = OpenRegistryKey(HKEY_LOCAL_MACHINE, TodayItemKey, RegistryWrite);
    if (!key)
        return FALSE;
    DWORD off = 0;
    RegSetValueExW(key, L"Enabled", 0, REG_DWORD, (const BYTE *)&off, sizeof(off));
    RegCloseKey(key);
    return TRUE;
}

static void ReleaseTodayItem(void)
{
    if (DisableTodayItem())
        AskTodayToReload();
}

static void MakeSettingsKey(void)
{
    HKEY key = OpenOrCreateRegistryKey(HKEY_CURRENT_USER, SettingsKey, RegistryWrite);
    if (key)
        RegCloseKey(key);
}

codeINSTALL_INIT Install_Init(HWND, BOOL, BOOL, LPCTSTR)
{
    ReleaseTodayItem();
    return codeINSTALL_INIT_CONTINUE;
}

// A part that failed leaves no half item: the installer has taken the rest
// back, and the Today screen reads its list again either way.
codeINSTALL_EXIT Install_Exit(HWND, LPCTSTR, WORD failedDirs, WORD failedFiles, WORD failedRegKeys,
                              WORD failedRegVals, WORD)
{
    BOOL failed = failedDirs || failedFiles || failedRegKeys || failedRegVals;
    if (!failed)
        MakeSettingsKey();
    AskTodayToReload();
    return failed ? codeINSTALL_EXIT_UNINSTALL : codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND, LPCTSTR)
{
    ReleaseTodayItem();
    return codeUNINSTALL_INIT_CONTINUE;
}

codeUNINSTALL_EXIT Uninstall_Exit(HWND)
{
    RegDeleteKeyW(HKEY_CURRENT_USER, SettingsKey);
    AskTodayToReload();
    return codeUNINSTALL_EXIT_DONE;
}

BOOL WINAPI DllMain(HANDLE, DWORD, LPVOID)
{
    return TRUE;
}
