// Cuts at the characters a reader sees: the boundaries of Unicode's
// extended grapheme clusters, found with the rules of its text segmentation
// annex from each code point's property. The properties come from the
// Unicode Character Database (graphemetable.inc, made by
// tools/grapheme-table.py), never from the platform's character types,
// which differ between the handheld and the desktop and know nothing of
// code points outside the BMP.
#include "textcut.h"

namespace {

#include "graphemetable.inc"

const int RunCount = sizeof(GraphemeRuns) / sizeof(GraphemeRuns[0]);

// The property of a code point: that of the last run starting at or before
// it (the first run starts at U+0000).
int PropertyOf(DWORD c)
{
    int low = 0, high = RunCount - 1;
    while (low < high) {
        int middle = (low + high + 1) / 2;
        if ((GraphemeRuns[middle] >> GraphemePropertyBits) <= c)
            low = middle;
        else
            high = middle - 1;
    }
    return (int)(GraphemeRuns[low] & ((1 << GraphemePropertyBits) - 1));
}

DWORD JoinSurrogates(WCHAR high, WCHAR low)
{
    return 0x10000 + (((DWORD)high - 0xD800) << 10) + ((DWORD)low - 0xDC00);
}

// The property of the code point that ends before text[*at]; *at moves to
// where it starts. A surrogate without its partner stands for itself.
int PropertyBefore(const WCHAR *text, int *at)
{
    int end = *at;
    if (end >= 2 && IS_LOW_SURROGATE(text[end - 1]) && IS_HIGH_SURROGATE(text[end - 2])) {
        *at = end - 2;
        return PropertyOf(JoinSurrogates(text[end - 2], text[end - 1]));
    }
    *at = end - 1;
    return PropertyOf(text[end - 1]);
}

int PropertyAt(const WCHAR *text, int length, int index)
{
    if (index + 1 < length && IS_HIGH_SURROGATE(text[index]) && IS_LOW_SURROGATE(text[index + 1]))
        return PropertyOf(JoinSurrogates(text[index], text[index + 1]));
    return PropertyOf(text[index]);
}

BOOL IsControl(int property)
{
    return property == BreakControl || property == BreakCR || property == BreakLF;
}

BOOL StartsHangulSyllable(int property)
{
    return property == BreakL || property == BreakV || property == BreakLV || property == BreakLVT;
}

// The rules that look at the two code points beside the cut only: a line
// end stays whole and stands alone; Hangul jamo make one syllable; marks,
// joiners and spacing marks lean on what comes before them, and a
// prepended mark on what follows it.
BOOL PairAllowsCut(int before, int after)
{
    if (before == BreakCR && after == BreakLF)
        return FALSE;
    if (IsControl(before) || IsControl(after))
        return TRUE;
    if (before == BreakL && StartsHangulSyllable(after))
        return FALSE;
    if ((before == BreakLV || before == BreakV) && (after == BreakV || after == BreakT))
        return FALSE;
    if ((before == BreakLVT || before == BreakT) && after == BreakT)
        return FALSE;
    if (after == BreakExtend || after == BreakZWJ || after == BreakSpacingMark)
        return FALSE;
    return before != BreakPrepend;
}

// TRUE when the text before `index` ends with a pictograph, any marks, and
// a zero-width joiner: the pictograph after it joins the sequence.
BOOL EndsWithJoinedPictograph(const WCHAR *text, int index)
{
    int at = index;
    if (PropertyBefore(text, &at) != BreakZWJ)
        return FALSE;
    int property = BreakExtend;
    while (at > 0 && property == BreakExtend)
        property = PropertyBefore(text, &at);
    return property == BreakPictographic;
}

// Regional indicators pair up into flags from the first of a row: a cut
// before one is inside a flag after an odd number of them.
BOOL EndsInsideFlag(const WCHAR *text, int index)
{
    int at = index, count = 0;
    while (at > 0 && PropertyBefore(text, &at) == BreakRegionalIndicator)
        count++;
    return count % 2 == 1;
}

} // namespace

BOOL CharacterBoundaryAt(const WCHAR *text, int length, int index)
{
    if (index <= 0 || index >= length)
        return TRUE;
    if (IS_HIGH_SURROGATE(text[index - 1]) && IS_LOW_SURROGATE(text[index]))
        return FALSE;
    int at = index;
    int before = PropertyBefore(text, &at), after = PropertyAt(text, length, index);
    if (!PairAllowsCut(before, after))
        return FALSE;
    if (after == BreakPictographic && EndsWithJoinedPictograph(text, index))
        return FALSE;
    return !(after == BreakRegionalIndicator && EndsInsideFlag(text, index));
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
