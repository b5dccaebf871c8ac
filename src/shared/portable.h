// Two small routines of the desktop's kernel that the handheld does not
// export, written out so that both builds share one behaviour.
#pragma once
#include <windows.h>

// value * numerator / denominator, computed in 64 bits and rounded half
// away from zero; -1 when the denominator is 0 or the result does not fit
// an int.
int ScaleRounded(int value, int numerator, int denominator);

// Copies at most capacity - 1 characters of `source` and always ends the
// copy with a terminator (nothing is written when capacity is 0).
WCHAR *CopyText(WCHAR *target, const WCHAR *source, int capacity);
