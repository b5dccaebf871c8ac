// Cuts at the characters a reader sees. The platform's character types
// (CT_CTYPE3) tell the marks that lean on the character before them:
// combining marks, viramas and variation selectors are C3_NONSPACING,
// spacing vowel signs C3_VOWELMARK, surrogates C3_LOWSURROGATE. A virama
// also binds the letter after it into one conjunct; the types cannot tell a
// virama from an accent, so the joiners are named here.
#include "textcut.h"

namespace {

const WORD LeaningTypes = C3_NONSPACING | C3_DIACRITIC | C3_VOWELMARK | C3_LOWSURROGATE;

const WCHAR ZeroWidthNonJoiner = 0x200C;
const WCHAR ZeroWidthJoiner = 0x200D;

WORD CharacterTypes(WCHAR c)
{
    WORD types = 0;
    if (!GetStringTypeW(CT_CTYPE3, &c, 1, &types))
        return 0;
    return types;
}

// The Brahmic scripts from Devanagari to Malayalam share one layout, with
// the virama at 0x4D of each 128-character block; Sinhala, Myanmar and
// Khmer have theirs elsewhere.
BOOL JoinsNextLetter(WCHAR c)
{
    if (c >= 0x0900 && c < 0x0D80 && (c & 0x7F) == 0x4D)
        return TRUE;
    return c == 0x0DCA || c == 0x1039 || c == 0x17D2 || c == ZeroWidthJoiner;
}

BOOL LeansOnPrevious(WCHAR c)
{
    if (IS_LOW_SURROGATE(c) || c == ZeroWidthJoiner || c == ZeroWidthNonJoiner)
        return TRUE;
    return (CharacterTypes(c) & LeaningTypes) != 0;
}

} // namespace

BOOL CharacterBoundaryAt(const WCHAR *text, int length, int index)
{
    if (index <= 0 || index >= length)
        return TRUE;
    WCHAR before = text[index - 1];
    if (IS_HIGH_SURROGATE(before) || JoinsNextLetter(before))
        return FALSE;
    return !LeansOnPrevious(text[index]);
}

int CharacterBoundaryAtOrBefore(const WCHAR *text, int length, int index)
{
    if (index > length)
        index = length;
    while (index > 0 && !CharacterBoundaryAt(text, length, index))
        index--;
    return index;
}

void CutAtBoundary(WCHAR *text, int length)
{
    int whole = lstrlenW(text);
    if (length < whole)
        text[CharacterBoundaryAtOrBefore(text, whole, length)] = 0;
}

void CopyWithin(WCHAR *text, int chars, const WCHAR *source)
{
    if (chars <= 0)
        return;
    int length = lstrlenW(source);
    int kept = length < chars ? length : CharacterBoundaryAtOrBefore(source, length, chars - 1);
    CopyMemory(text, source, (SIZE_T)kept * sizeof(WCHAR));
    text[kept] = 0;
}
