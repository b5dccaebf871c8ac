#include "phonestate.h"
#include "testlib.h"

const WCHAR *const OperatorNameValue = L"Current Operator Name";

static const WCHAR PhoneStateKey[] = L"System\\State\\Phone";

static struct {
    DWORD Status;
    WCHAR Name[128];
} SavedPhone;

void SavePhoneState()
{
    SavedPhone.Status = GetRegDword(HKEY_LOCAL_MACHINE, PhoneStateKey, L"Status", 0x20);
    DWORD size = sizeof(SavedPhone.Name);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, PhoneStateKey, OperatorNameValue, RRF_RT_REG_SZ, NULL, SavedPhone.Name,
                     &size) != ERROR_SUCCESS)
        lstrcpyW(SavedPhone.Name, L"Marrowfen Mobile");
}

void RestorePhoneState()
{
    ResetRegKey(HKEY_LOCAL_MACHINE, PhoneStateKey);
    SetPhone(SavedPhone.Name, SavedPhone.Status);
}

void SetPhone(const WCHAR *name, DWORD status)
{
    if (name)
        SetRegString(HKEY_LOCAL_MACHINE, PhoneStateKey, OperatorNameValue, name);
    else
        DeleteRegValue(HKEY_LOCAL_MACHINE, PhoneStateKey, OperatorNameValue);
    SetRegDword(HKEY_LOCAL_MACHINE, PhoneStateKey, L"Status", status);
}
