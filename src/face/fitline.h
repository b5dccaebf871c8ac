// The day/date line fitted into the strip. A date too wide for its slot
// falls back to the short date, and only a short date still too wide is cut;
// a day name or operator text too wide is cut. Cuts end at a character
// boundary and carry an ellipsis where the reader sees the cut. Every text
// is measured as the platform draws it.
#pragma once
#include <windows.h>
#include "timeformat.h"

// Where the line stands: between Left and Right (the strip without its
// side margins), with Gap kept between the day slot and the date when both
// stand on the line.
struct DayDateBox {
    int Left;
    int Right;
    int Gap;
};

// The line as it is drawn. Each text is drawn from its side of the line
// (the date alone from the middle), moved in by its inset (ink that leans
// out of the side it is drawn from, as joined Arabic may), and clipped to
// its slot.
struct DayDateLine {
    WCHAR DaySlot[DAY_DATE_CHARS];
    WCHAR Date[DAY_DATE_CHARS];
    DWORD Arrangement;
    int DaySlotWidth;   // from the day's side of the line; 0 for a date alone
    int DateSlotWidth;  // from the date's side of the line; the whole line for a date alone
    int DayInset;
    int DateInset;
};

// Chooses among the composed `texts` and cuts them to fit `box` in `font`.
// The same texts, box and font as last time give the same line without
// measuring again. FALSE when a measure failed: the line is then not to be
// drawn, and the next call measures again.
BOOL FitDayDateLine(HFONT font, const DayDateBox *box, const DayDateTexts *texts, DayDateLine *line);
// Forgets the last fit (the fonts were rebuilt).
void ForgetDayDateFit();
