// Text cut to a fixed buffer. A cut can break only a surrogate pair, and
// then it leaves the pair's high half at the end, which is dropped.
#pragma once
#include <windows.h>

// Drops a lone high surrogate at the end of `text`.
void DropTrailingHalfCharacter(WCHAR *text);
// Copies `source` into `text` (of `chars`) as far as it fits, without
// leaving half of a surrogate pair at the end.
void CopyWithin(WCHAR *text, int chars, const WCHAR *source);
