#include "phone.h"

HKEY PhoneKey;
WCHAR OperatorText[OPERATOR_TEXT_CHARS];

void OpenPhoneKey() {}
void ClosePhoneKey()
{
    if (PhoneKey == NULL)
        return;
    RegCloseKey(PhoneKey);
    PhoneKey = NULL;
}
void RefreshOperatorText() {}
