// Registry helpers of the shell library: typed reads, and change
// notifications delivered as window messages.
//
// A notification is watched by a worker thread of its own: it arms
// RegNotifyChangeKeyValue on the key, and whenever the watched value's data
// changes and the caller's condition holds for the new value it posts the
// caller's message (wParam: the new DWORD value, lParam: the user data).
#include "shell-standins.h"
#include "regkey.h"

HRESULT RegistryGetDWORD(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, DWORD *pdwData)
{
    DWORD data = 0, size = sizeof(data), type = 0;
    LONG rc = RegGetValueW(hKey, pszSubKey, pszValueName, RRF_RT_REG_DWORD, &type, &data, &size);
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    *pdwData = data;
    return S_OK;
}

HRESULT RegistryGetString(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, LPTSTR pszData, UINT cchData)
{
    if (pszData == NULL || cchData == 0)
        return E_INVALIDARG;
    DWORD size = cchData * sizeof(WCHAR);
    LONG rc = RegGetValueW(hKey, pszSubKey, pszValueName, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                           NULL, pszData, &size);
    if (rc != ERROR_SUCCESS) {
        pszData[0] = 0;
        // The shell library reports a value longer than the buffer as an
        // insufficient buffer and copies nothing.
        if (rc == ERROR_MORE_DATA)
            rc = ERROR_INSUFFICIENT_BUFFER;
        return HRESULT_FROM_WIN32(rc);
    }
    pszData[cchData - 1] = 0;
    return S_OK;
}

namespace {

struct RegistryWatch {
    HKEY Root;
    WCHAR SubKey[256];
    HKEY Key;
    WCHAR ValueName[64];
    HWND Window;
    UINT Message;
    DWORD UserData;
    REG_COMPARISONTYPE Comparison;
    DWORD Mask;
    DWORD Target;
    HANDLE ChangeEvent;
    HANDLE StopEvent;
    HANDLE Thread;
    BOOL HaveLast;
    DWORD LastValue;
};

BOOL ReadWatchedValue(RegistryWatch *watch, DWORD *value)
{
    DWORD data = 0, size = sizeof(data);
    if (RegQueryValueExW(watch->Key, watch->ValueName, NULL, NULL, (BYTE *)&data, &size) != ERROR_SUCCESS ||
        size != sizeof(data))
        return FALSE;
    *value = data;
    return TRUE;
}

// The bits of the value that the caller watches: all of them without a
// mask.
DWORD WatchedBits(const RegistryWatch *watch, DWORD value)
{
    return watch->Mask ? (value & watch->Mask) : value;
}

BOOL ConditionHolds(const RegistryWatch *watch, DWORD value)
{
    DWORD v = WatchedBits(watch, value);
    DWORD t = watch->Target;
    switch (watch->Comparison) {
    case REG_CT_ANYCHANGE: return TRUE;
    case REG_CT_EQUAL: return v == t;
    case REG_CT_NOT_EQUAL: return v != t;
    case REG_CT_GREATER: return v > t;
    case REG_CT_GREATER_OR_EQUAL: return v >= t;
    case REG_CT_LESS: return v < t;
    case REG_CT_LESS_OR_EQUAL: return v <= t;
    default: return FALSE;
    }
}

BOOL ArmChangeEvent(RegistryWatch *watch)
{
    return RegNotifyChangeKeyValue(watch->Key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, watch->ChangeEvent, TRUE) ==
           ERROR_SUCCESS;
}

BOOL OpenWatchedKey(RegistryWatch *watch)
{
    watch->Key = OpenRegistryKey(watch->Root, watch->SubKey, RegistryRead);
    return watch->Key != NULL;
}

// A key deleted and made again (a restarting publisher does that) is a new
// key: the old handle can be armed no more, so the watch opens the key by
// its path again.
BOOL ReopenWatchedKey(RegistryWatch *watch)
{
    if (watch->Key)
        RegCloseKey(watch->Key);
    return OpenWatchedKey(watch) && ArmChangeEvent(watch);
}

void DeliverChange(RegistryWatch *watch)
{
    DWORD value = 0;
    BOOL present = ReadWatchedValue(watch, &value);
    if (!present)
        return;
    BOOL changed = !watch->HaveLast || WatchedBits(watch, value) != WatchedBits(watch, watch->LastValue);
    watch->HaveLast = TRUE;
    watch->LastValue = value;
    if (changed && ConditionHolds(watch, value))
        PostMessageW(watch->Window, watch->Message, (WPARAM)value, (LPARAM)watch->UserData);
}

DWORD WINAPI WatchRegistryValue(LPVOID parameter)
{
    RegistryWatch *watch = (RegistryWatch *)parameter;
    HANDLE handles[2] = {watch->StopEvent, watch->ChangeEvent};
    for (;;) {
        DWORD wait = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (wait != WAIT_OBJECT_0 + 1)
            break;
        // Re-arm before reading, so a write between the two is not lost.
        if (!ArmChangeEvent(watch) && !ReopenWatchedKey(watch)) {
            // The key is gone for now: tell the caller, whose next read
            // fails and who registers again.
            PostMessageW(watch->Window, watch->Message, 0, (LPARAM)watch->UserData);
            break;
        }
        DeliverChange(watch);
    }
    return 0;
}

// A stop that could not be signalled is signalled again, each time after a
// short wait for the worker (which ends at the first signal that arrives).
const int StopSignalTries = 50;
const DWORD StopSignalPauseMs = 10;

// The worker waits on nothing but its two events, holds no lock and owns no
// memory: a worker that no signal could reach is ended where it waits, so
// that neither the closing thread hangs nor a worker outlives the library.
void StopWorker(RegistryWatch *watch)
{
    for (int i = 0; i < StopSignalTries; i++) {
        if (SetEvent(watch->StopEvent)) {
            WaitForSingleObject(watch->Thread, INFINITE);
            return;
        }
        if (WaitForSingleObject(watch->Thread, StopSignalPauseMs) != WAIT_TIMEOUT)
            return;
    }
    TerminateThread(watch->Thread, 0);
    WaitForSingleObject(watch->Thread, INFINITE);
}

void FreeWatch(RegistryWatch *watch)
{
    if (watch->Thread)
        CloseHandle(watch->Thread);
    if (watch->ChangeEvent)
        CloseHandle(watch->ChangeEvent);
    if (watch->StopEvent)
        CloseHandle(watch->StopEvent);
    if (watch->Key)
        RegCloseKey(watch->Key);
    HeapFree(GetProcessHeap(), 0, watch);
}

} // namespace

HRESULT RegistryNotifyWindow(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, HWND hWnd, UINT msg,
                             DWORD dwUserData, NOTIFICATIONCONDITION *pCondition, HREGNOTIFY *phNotify)
{
    const WCHAR *subKey = pszSubKey ? pszSubKey : L"";
    if (phNotify == NULL || pszValueName == NULL || hWnd == NULL ||
        lstrlenW(pszValueName) >= (int)ARRAYSIZE(((RegistryWatch *)0)->ValueName) ||
        lstrlenW(subKey) >= (int)ARRAYSIZE(((RegistryWatch *)0)->SubKey))
        return E_INVALIDARG;
    *phNotify = NULL;
    RegistryWatch *watch = (RegistryWatch *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RegistryWatch));
    if (watch == NULL)
        return E_OUTOFMEMORY;
    lstrcpyW(watch->ValueName, pszValueName);
    watch->Root = hKey;
    lstrcpyW(watch->SubKey, subKey);
    watch->Window = hWnd;
    watch->Message = msg;
    watch->UserData = dwUserData;
    watch->Comparison = pCondition ? pCondition->ctComparisonType : REG_CT_ANYCHANGE;
    watch->Mask = pCondition ? pCondition->dwMask : 0;
    watch->Target = pCondition ? pCondition->TargetValue.dw : 0;

    LONG rc = ERROR_SUCCESS;
    watch->Key = OpenRegistryKey(hKey, subKey, RegistryRead, &rc);
    if (watch->Key == NULL) {
        FreeWatch(watch);
        return HRESULT_FROM_WIN32(rc);
    }
    watch->ChangeEvent = CreateEventW(NULL, FALSE, FALSE, NULL);
    watch->StopEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (!watch->ChangeEvent || !watch->StopEvent || !ArmChangeEvent(watch)) {
        FreeWatch(watch);
        return E_FAIL;
    }
    watch->HaveLast = ReadWatchedValue(watch, &watch->LastValue);
    watch->Thread = CreateThread(NULL, 0, WatchRegistryValue, watch, 0, NULL);
    if (watch->Thread == NULL) {
        FreeWatch(watch);
        return E_FAIL;
    }
    *phNotify = (HREGNOTIFY)watch;
    return S_OK;
}

HRESULT RegistryCloseNotification(HREGNOTIFY hNotify)
{
    RegistryWatch *watch = (RegistryWatch *)hNotify;
    if (watch == NULL)
        return E_INVALIDARG;
    // The worker never waits on anything but its two events and never sends
    // messages, so it ends promptly.
    StopWorker(watch);
    FreeWatch(watch);
    return S_OK;
}
