// The time group fitted into the strip. A group that fits stands where the
// layout puts it, centred; one wider than the strip gives way step by step:
// first the seconds and the markers shrink (to 80 %, then 65 % of their
// size), then the whole group shrinks with them (in steps of a tenth, to
// 20 %), until it fits. No text shrinks below the readable floor (6
// points): one that reaches it stays there while the rest shrinks on. The
// bell keeps its size; the item keeps its height and the digits their
// baseline.
#pragma once
#include <windows.h>
#include "layout.h"

struct TimeGroupFitRecord {
    ClockLayoutRecord Basis;     // ClockLayout as it was when last fitted
    TimeGroupFonts BasisFonts;   // the clock's fonts then
    int Width;                   // the strip width fitted to; 0 before the first fit
    ClockLayoutRecord Placed;    // the places the group is drawn at, from its left edge
    TimeGroupFonts Fonts;        // the fonts it is drawn with
    TimeGroupFonts Own;          // the smaller fonts made for it, NULL where none
    int Offset;                  // the group's left edge in the strip
    int DetailPercent;           // seconds and markers, in % of their size
    int GroupPercent;            // the whole group, in % of its size
};
extern TimeGroupFitRecord TimeGroupFit;

// Fits the group to a strip `width` pixels wide unless it already is for
// the present layout and fonts; `changed` tells whether its places or fonts
// changed. FALSE when a measure failed or a smaller font could not be made:
// nothing is fitted then, and the next call tries again.
BOOL FitTimeGroup(int width, BOOL *changed);
// The bell's left edge in a strip `width` wide, as the group is drawn.
int FittedBellLeft(int width);
// Deletes the smaller fonts and forgets the fit.
void ReleaseTimeGroupFit();
