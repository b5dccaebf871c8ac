// Text cut to a fixed buffer or a width. A cut ends only where a reader
// sees one character end: at a boundary of Unicode's extended grapheme
// clusters, so never inside a surrogate pair, between a base and its marks,
// vowel signs, skin tone or variation selector, inside a flag, a Hangul
// syllable spelt in jamo or an emoji sequence joined by a zero-width joiner,
// or after a prepended mark.
#pragma once
#include <windows.h>

// TRUE when a cut before text[index] keeps every character whole; the
// start and the end (index == length) always are.
BOOL CharacterBoundaryAt(const WCHAR *text, int length, int index);
// The last boundary at or before `index` (0 when there is none).
int CharacterBoundaryAtOrBefore(const WCHAR *text, int length, int index);

// Copies `source` into `text` (of `chars`) as far as it fits, cut at a
// character boundary.
void CopyWithin(WCHAR *text, int chars, const WCHAR *source);
// Cuts `text` (of `chars`) in place at the last boundary at or before
// `length` characters.
void CutAtBoundary(WCHAR *text, int length);
