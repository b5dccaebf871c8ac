// The phone's operator name or state, shown in place of the day name.
#pragma once
#include <windows.h>

#define PHONE_STATE_KEY L"System\\State\\Phone"
#define OPERATOR_TEXT_CHARS 60

extern HKEY PhoneKey;
extern WCHAR OperatorText[OPERATOR_TEXT_CHARS];

// Opens PhoneKey if it is closed (failure leaves it 0).
void OpenPhoneKey();
void ClosePhoneKey();
// Rebuilds OperatorText. TRUE when it opened the phone key afresh: the
// first time, after the key was closed, or after the key had been deleted
// under its handle (the phone stack restarted). A key opened afresh may be
// another key than the one a status notice watches.
BOOL RefreshOperatorText();
