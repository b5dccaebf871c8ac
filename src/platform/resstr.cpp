#include "resstr.h"

const WCHAR *LoadStringInPlace(HINSTANCE instance, UINT id)
{
    // A zero buffer size asks for a read-only pointer into the resource.
    const WCHAR *text = NULL;
    int length = LoadStringW(instance, id, (LPWSTR)&text, 0);
    if (length <= 0 || text == NULL)
        return L"";
    return text;
}
