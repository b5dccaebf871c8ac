// The device's phone state (status word and operator name) as tests arrange
// it, and the state the device had, kept to be put back at the end.
#pragma once
#include <windows.h>

extern const WCHAR *const OperatorNameValue;

// Keeps the device's phone state; the device installer's name when it has none.
void SavePhoneState();
// Empties the phone key and writes the kept state back.
void RestorePhoneState();
// Writes the operator name (a null name removes the value), then the status,
// which is the value the item hears of a change through.
void SetPhone(const WCHAR *name, DWORD status);
