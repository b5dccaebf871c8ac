#include "optionstest.h"
#include "testlib.h"
#include "iat.h"
#include "module.h"
#include "options.h"
#include "settings.h"
#include <commdlg.h>
#include <shellapi.h>

WriteLogRecord Writes;
ChooserRecord Chooser;
LaunchRecord Launches;

namespace {

typedef LSTATUS(WINAPI *RegSetValueExWProc)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE *, DWORD);
RegSetValueExWProc RealRegSetValueExW;

LSTATUS WINAPI LoggedRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data,
                                    DWORD size)
{
    if (Writes.Count < (int)ARRAYSIZE(Writes.Names))
        lstrcpynW(Writes.Names[Writes.Count++], name ? name : L"", ARRAYSIZE(Writes.Names[0]));
    if (Writes.FailName != NULL && name != NULL && lstrcmpW(name, Writes.FailName) == 0)
        return ERROR_ACCESS_DENIED;
    return RealRegSetValueExW(key, name, reserved, type, data, size);
}

BOOL WINAPI FakeGetOpenFileNameW(OPENFILENAMEW *chooser)
{
    Chooser.Calls++;
    Chooser.Flags = chooser->Flags;
    Chooser.MaxFile = chooser->nMaxFile;
    Chooser.FilterIndex = chooser->nFilterIndex;
    CopyMemory(Chooser.Filter, chooser->lpstrFilter, sizeof(Chooser.Filter));
    if (Chooser.NextPath == NULL)
        return FALSE;
    lstrcpynW(chooser->lpstrFile, Chooser.NextPath, chooser->nMaxFile);
    return TRUE;
}

BOOL WINAPI FakeShellExecuteExW(SHELLEXECUTEINFOW *info)
{
    Launches.Calls++;
    lstrcpynW(Launches.File, info->lpFile ? info->lpFile : L"", ARRAYSIZE(Launches.File));
    return TRUE;
}

void Replace(const char *dll, const char *function, void *replacement, void **original)
{
    int replaced = ReplaceImport(GetModuleHandleW(NULL), dll, function, replacement, original);
    ok(replaced > 0, "%s replaced in the import table", function);
}

} // namespace

void OptionsTestSetup()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ModuleInstance = GetModuleHandleW(NULL);
    Replace("advapi32.dll", "RegSetValueExW", (void *)LoggedRegSetValueExW, (void **)&RealRegSetValueExW);
    Replace("comdlg32.dll", "GetOpenFileNameW", (void *)FakeGetOpenFileNameW, NULL);
    Replace("shell32.dll", "ShellExecuteExW", (void *)FakeShellExecuteExW, NULL);
}

void ArrangeSettings(void (*arrange)())
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    if (arrange != NULL)
        arrange();
    ClockSettings = ClockSettingsRecord();
    LoadSettingsAtAttach();
    ClearWrites();
}

void SetSetting(const WCHAR *name, DWORD value)
{
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, name, value);
}

void SetSettingString(const WCHAR *name, const WCHAR *value)
{
    SetRegString(HKEY_CURRENT_USER, SETTINGS_KEY, name, value);
}

DWORD StoredSetting(const WCHAR *name)
{
    return GetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, name, 0xDEADBEEF);
}

BOOL SettingStored(const WCHAR *name)
{
    return RegValueExists(HKEY_CURRENT_USER, SETTINGS_KEY, name);
}

const WCHAR *StoredFileOnAction()
{
    static WCHAR path[400];
    DWORD size = sizeof(path);
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"FileOnAction", RRF_RT_REG_SZ, NULL, path, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return path;
}

void ClearWrites()
{
    Writes.Count = 0;
    Writes.FailName = NULL;
}

BOOL WritesWere(const WCHAR *const *names)
{
    int i = 0;
    for (; names[i] != NULL; i++)
        if (i >= Writes.Count || lstrcmpW(Writes.Names[i], names[i]) != 0)
            return FALSE;
    return i == Writes.Count;
}

void PrintWrites()
{
    printf("    writes:");
    for (int i = 0; i < Writes.Count; i++)
        printf(" %ls", Writes.Names[i]);
    printf("\n");
}

void RunSheet(SheetAction act)
{
    BOOL timedOut = FALSE;
    RunOptions(ModuleInstance, CustomItemOptionsDlgProc, act, &timedOut);
    ok(!timedOut, "the sheet closed by itself");
}

static void CloseAtOnce(HWND sheet)
{
    PressOk(sheet);
}

void OpenAndClose()
{
    RunSheet(CloseAtOnce);
}
