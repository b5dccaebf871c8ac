#include "textcut.h"

void DropTrailingHalfCharacter(WCHAR *text)
{
    int length = lstrlenW(text);
    if (length > 0 && IS_HIGH_SURROGATE(text[length - 1]))
        text[length - 1] = 0;
}

void CopyWithin(WCHAR *text, int chars, const WCHAR *source)
{
    lstrcpynW(text, source, chars);
    DropTrailingHalfCharacter(text);
}
