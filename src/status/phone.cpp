// The phone's operator name or, without a usable network, a word for the
// phone's state, as published by the phone stack under System\State\Phone.
#include "phone.h"
#include "handheld.h"
#include "program.h"
#include "textcut.h"
#include "resource.h"
#include "resstr.h"
#include "regkey.h"
#include "portable.h"

HKEY PhoneKey;
WCHAR OperatorText[OPERATOR_TEXT_CHARS];

namespace {

struct StatusWord {
    DWORD Bit;
    UINT Text;
};

// Tested in this order; a later match replaces an earlier one, so the last
// rows take precedence.
const StatusWord StatusWords[] = {
    {0x00400000, IDS_PHONE_SEARCHING},
    {0x00200000, IDS_PHONE_NO_SERVICE},
    {0x00000008, IDS_PHONE_BLOCKED_SIM},
    {0x00000004, IDS_PHONE_INVALID_SIM},
    {0x00000002, IDS_PHONE_NO_SIM},
    {0x00000010, IDS_PHONE_OFF},
};

// Operator names are short; this is only the limit up to which a name too
// long for OperatorText is still read and shown cut.
const UINT LongestOperatorName = 256;

void SetOperatorText(UINT stringId)
{
    CopyText(OperatorText, LoadStringInPlace(ModuleInstance, stringId), OPERATOR_TEXT_CHARS);
}

// Copies as much of `name` as OperatorText holds, never ending on the first
// half of a surrogate pair.
void SetCutOperatorName(const WCHAR *name)
{
    CopyWithin(OperatorText, OPERATOR_TEXT_CHARS, name);
}

// The shell's string reader refuses a value longer than the buffer. A name
// that long is still the operator's, so it is read whole and shown cut.
void ReadOperatorName()
{
    HRESULT hr = RegistryGetString(PhoneKey, NULL, L"Current Operator Name", OperatorText, OPERATOR_TEXT_CHARS);
    if (SUCCEEDED(hr)) {
        OperatorText[OPERATOR_TEXT_CHARS - 1] = 0;
        return;
    }
    OperatorText[0] = 0;
    if (hr != HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER))
        return;
    WCHAR *name = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, LongestOperatorName * sizeof(WCHAR));
    if (name == NULL)
        return;
    if (SUCCEEDED(RegistryGetString(PhoneKey, NULL, L"Current Operator Name", name, LongestOperatorName)))
        SetCutOperatorName(name);
    HeapFree(GetProcessHeap(), 0, name);
}

DWORD ReadPhoneStatus()
{
    DWORD status = 0;
    if (FAILED(RegistryGetDWORD(PhoneKey, NULL, L"Status", &status)))
        return 0;
    return status;
}

// A handle whose key was deleted (the phone stack deletes and creates its
// state key again when it restarts) never reads anything again. A live key
// answers a query for the status, present or not.
BOOL PhoneKeyGone()
{
    LONG rc = RegQueryValueExW(PhoneKey, L"Status", NULL, NULL, NULL, NULL);
    return rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND;
}

} // namespace

void OpenPhoneKey()
{
    if (PhoneKey != NULL)
        return;
    PhoneKey = OpenOrCreateRegistryKey(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, RegistryRead);
}

void ClosePhoneKey()
{
    if (PhoneKey == NULL)
        return;
    RegCloseKey(PhoneKey);
    PhoneKey = NULL;
}

BOOL RefreshOperatorText()
{
    OperatorText[0] = 0;
    BOOL opened = PhoneKey == NULL;
    OpenPhoneKey();
    if (PhoneKey != NULL && PhoneKeyGone()) {
        ClosePhoneKey();
        OpenPhoneKey();
        opened = TRUE;
    }
    if (PhoneKey != NULL)
        ReadOperatorName();
    DWORD status = PhoneKey != NULL ? ReadPhoneStatus() : 0;
    if (OperatorText[0] == 0)
        SetOperatorText(status == 0 ? IDS_PHONE_NONE : IDS_PHONE_CONNECTED);
    for (size_t i = 0; i < ARRAYSIZE(StatusWords); i++)
        if (status & StatusWords[i].Bit)
            SetOperatorText(StatusWords[i].Text);
    return opened && PhoneKey != NULL;
}
