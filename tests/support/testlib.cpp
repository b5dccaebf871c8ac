#include "testlib.h"
#include <sddl.h>

TestCounters Tests;

void TestFailure(const char *file, int line, const char *format, ...)
{
    const char *name = strrchr(file, '/');
    name = name ? name + 1 : file;
    va_list args;
    va_start(args, format);
    printf("%s:%d: %s: Test failed: ", name, line, Tests.Group ? Tests.Group : "");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    fflush(stdout);
    Tests.Failures++;
}

void TestSkip(const char *file, int line, const char *format, ...)
{
    const char *name = strrchr(file, '/');
    name = name ? name + 1 : file;
    va_list args;
    va_start(args, format);
    printf("%s:%d: %s: Tests skipped: ", name, line, Tests.Group ? Tests.Group : "");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    fflush(stdout);
    Tests.Skips++;
}

int TestSummary()
{
    printf("%d checks, %d failures, %d skipped\n", Tests.Checks, Tests.Failures, Tests.Skips);
    fflush(stdout);
    return Tests.Failures > 100 ? 100 : Tests.Failures;
}

void PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

BOOL WaitForPendingSend(DWORD ms)
{
    DWORD start = GetTickCount();
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) {
        DWORD spent = GetTickCount() - start;
        if (spent >= ms)
            return FALSE;
        MsgWaitForMultipleObjects(0, NULL, FALSE, ms - spent, QS_SENDMESSAGE);
    }
    return TRUE;
}

void PumpMessages(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        LONG left = (LONG)(end - GetTickCount());
        if (left <= 0)
            break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, (DWORD)left, QS_ALLINPUT);
    }
}

DWORD NextRandom(unsigned long long *state)
{
    *state = *state * 6364136223846793005ull + 1442695040888963407ull;
    return (DWORD)(*state >> 33);
}

BOOL TerminatedWithin(const WCHAR *text, int size)
{
    for (int i = 0; i < size; i++)
        if (text[i] == 0)
            return TRUE;
    return FALSE;
}

void SetRegDword(HKEY root, const WCHAR *key, const WCHAR *name, DWORD value)
{
    RegSetKeyValueW(root, key, name, REG_DWORD, &value, sizeof(value));
}

void SetRegBinary(HKEY root, const WCHAR *key, const WCHAR *name, const void *data, DWORD size)
{
    RegSetKeyValueW(root, key, name, REG_BINARY, data, size);
}

void SetRegString(HKEY root, const WCHAR *key, const WCHAR *name, const WCHAR *value)
{
    RegSetKeyValueW(root, key, name, REG_SZ, value, (DWORD)(lstrlenW(value) + 1) * sizeof(WCHAR));
}

void DeleteRegValue(HKEY root, const WCHAR *key, const WCHAR *name)
{
    RegDeleteKeyValueW(root, key, name);
}

BOOL RegValueExists(HKEY root, const WCHAR *key, const WCHAR *name)
{
    return RegGetValueW(root, key, name, RRF_RT_ANY, NULL, NULL, NULL) == ERROR_SUCCESS;
}

DWORD GetRegDword(HKEY root, const WCHAR *key, const WCHAR *name, DWORD fallback)
{
    DWORD value = 0, size = sizeof(value);
    if (RegGetValueW(root, key, name, RRF_RT_REG_DWORD, NULL, &value, &size) != ERROR_SUCCESS)
        return fallback;
    return value;
}

void DeleteRegKey(HKEY root, const WCHAR *key)
{
    RegDeleteTreeW(root, key);
    RegDeleteKeyW(root, key);
}

void ResetRegKey(HKEY root, const WCHAR *key)
{
    DeleteRegKey(root, key);
    HKEY created = NULL;
    if (RegCreateKeyExW(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &created, NULL) == ERROR_SUCCESS)
        RegCloseKey(created);
}

void SetRegKeyWritable(HKEY root, const WCHAR *key, BOOL writable)
{
    // Everyone may read, delete and change the rights; writing values and
    // making subkeys only when writable.
    const WCHAR *sddl = writable ? L"D:P(A;;KA;;;WD)" : L"D:P(A;;KRSDWD;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, NULL))
        return;
    HKEY opened = NULL;
    if (RegOpenKeyExW(root, key, 0, WRITE_DAC, &opened) == ERROR_SUCCESS) {
        RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(opened);
    }
    LocalFree(descriptor);
}
