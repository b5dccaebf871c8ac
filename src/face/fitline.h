// The day/date line fitted into the strip. A date too wide for its slot
// falls back to the short date, and only a short date still too wide is cut;
// a day name or operator text too wide is cut. Cuts end at a character
// boundary and carry an ellipsis.
#pragma once
#include <windows.h>
#include "timeformat.h"

// Fits `texts`, composed for `time`, between `left` and `right` (the line
// without its side margins) in `font`, which the DC holds; `gap` is kept
// between the day slot and the date when both stand on the line. The same
// texts, line and font as last time are fitted without measuring again.
// FALSE when a measure failed: the texts are then not to be drawn, and the
// next call measures again.
BOOL FitDayDateLine(HDC dc, HFONT font, int left, int right, int gap, const SYSTEMTIME *time,
                    DayDateTexts *texts);
// Forgets the last fit (the fonts were rebuilt).
void ForgetDayDateFit();
