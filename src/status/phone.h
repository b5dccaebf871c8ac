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
void RefreshOperatorText();
