// Fitting the time group into the strip. Long designators (bem's
// "uluchelo", Tamil's eight letters), a separator with words in it and
// seconds can make the group wider than a 240-pixel strip; it then gives
// way in a fixed order, each step measured with real fonts. No text
// shrinks below the readable floor (6 points): a text at the floor keeps
// it, and the steps go on taking the room from the hour and minute. Nothing
// of this runs for a group that fits, and an ordinary paint finds the fit
// made.
#include "fitgroup.h"
#include "fonts.h"
#include "portable.h"
#include <string.h>

TimeGroupFitRecord TimeGroupFit;

namespace {

// What gives way, in order: the seconds and markers shrink first, then the
// whole group with them.
const int DetailSteps[] = {80, 65};
const int GroupSteps[] = {90, 80, 70, 60, 50, 40, 30, 20};

BOOL SameFonts(const TimeGroupFonts &a, const TimeGroupFonts &b)
{
    return a.HourMinute == b.HourMinute && a.Seconds == b.Seconds && a.Marker == b.Marker;
}

BOOL FitCurrent(int width)
{
    const TimeGroupFitRecord &fit = TimeGroupFit;
    TimeGroupFonts fonts = ClockTimeGroupFonts();
    return fit.Width == width && memcmp(&fit.Basis, &ClockLayout, sizeof(ClockLayout)) == 0 &&
           SameFonts(fit.BasisFonts, fonts);
}

// A height scaled down, but not below the readable floor (both negative:
// character heights); a height already below the floor stays as it is.
int FlooredHeight(int height, int percent)
{
    int floor = ReadableFloorHeight();
    int scaled = ScaleRounded(height, percent, 100);
    if (height < 0 && scaled > floor)
        return height > floor ? height : floor;
    return scaled != 0 ? scaled : (height < 0 ? -1 : 1);
}

// `font` at `percent` of its height, no smaller than can be read; NULL at
// 100 % (the font itself is used) or when it cannot be made.
HFONT ScaledFont(HFONT font, int percent)
{
    LOGFONTW logfont;
    if (percent >= 100 || font == NULL || GetObjectW(font, sizeof(logfont), &logfont) != sizeof(logfont))
        return NULL;
    logfont.lfHeight = FlooredHeight(logfont.lfHeight, percent);
    return CreateFontIndirectW(&logfont);
}

void DeleteOwnFonts(TimeGroupFonts *own)
{
    if (own->HourMinute)
        DeleteObject(own->HourMinute);
    if (own->Seconds)
        DeleteObject(own->Seconds);
    if (own->Marker)
        DeleteObject(own->Marker);
    *own = TimeGroupFonts();
}

// Makes the smaller fonts of one step; FALSE when one could not be made.
BOOL MakeStepFonts(int detail, int group, TimeGroupFonts *own, TimeGroupFonts *fonts)
{
    const TimeGroupFonts clock = TimeGroupFit.BasisFonts;
    int detailOfGroup = detail * group / 100;
    own->HourMinute = ScaledFont(clock.HourMinute, group);
    own->Seconds = ScaledFont(clock.Seconds, detailOfGroup);
    own->Marker = ScaledFont(clock.Marker, detailOfGroup);
    fonts->HourMinute = own->HourMinute ? own->HourMinute : clock.HourMinute;
    fonts->Seconds = own->Seconds ? own->Seconds : clock.Seconds;
    fonts->Marker = own->Marker ? own->Marker : clock.Marker;
    return (group >= 100 || own->HourMinute) && (detailOfGroup >= 100 || (own->Seconds && own->Marker));
}

enum StepResult { StepTooWide, StepKept, StepFailed };

// One step, kept when the group fits with it (or it is the last).
StepResult TryStep(HDC dc, int detail, int group, int width)
{
    TimeGroupFitRecord &fit = TimeGroupFit;
    TimeGroupFonts own = {}, fonts = {};
    ClockLayoutRecord placed = fit.Basis;
    if (!MakeStepFonts(detail, group, &own, &fonts) || !PlaceTimeGroup(dc, &fonts, &placed)) {
        DeleteOwnFonts(&own);
        return StepFailed;
    }
    BOOL fits = placed.TimeWidth <= width;
    // The last step is kept whether it fits or not.
    BOOL last = detail == DetailSteps[ARRAYSIZE(DetailSteps) - 1] && group == GroupSteps[ARRAYSIZE(GroupSteps) - 1];
    if (!fits && !last) {
        DeleteOwnFonts(&own);
        return StepTooWide;
    }
    fit.Placed = placed;
    fit.Fonts = fonts;
    fit.Own = own;
    fit.DetailPercent = detail;
    fit.GroupPercent = group;
    return StepKept;
}

// FALSE when a step could not be measured.
BOOL ShrinkUntilFits(int width)
{
    HDC dc = GetDC(NULL);
    if (dc == NULL)
        return FALSE;
    StepResult result = StepTooWide;
    for (size_t i = 0; i < ARRAYSIZE(DetailSteps); i++)
        if (result == StepTooWide)
            result = TryStep(dc, DetailSteps[i], 100, width);
    for (size_t i = 0; i < ARRAYSIZE(GroupSteps); i++)
        if (result == StepTooWide)
            result = TryStep(dc, DetailSteps[ARRAYSIZE(DetailSteps) - 1], GroupSteps[i], width);
    ReleaseDC(NULL, dc);
    return result == StepKept;
}

BOOL SamePlaces(const TimeGroupFitRecord &a, const TimeGroupFitRecord &b)
{
    return memcmp(&a.Placed, &b.Placed, sizeof(a.Placed)) == 0 && a.Offset == b.Offset &&
           a.DetailPercent == b.DetailPercent && a.GroupPercent == b.GroupPercent;
}

} // namespace

BOOL FitTimeGroup(int width, BOOL *changed)
{
    *changed = FALSE;
    if (FitCurrent(width))
        return TRUE;
    TimeGroupFitRecord &fit = TimeGroupFit;
    TimeGroupFitRecord before = fit;
    DeleteOwnFonts(&fit.Own);
    fit.Basis = ClockLayout;
    fit.BasisFonts = ClockTimeGroupFonts();
    fit.Width = width;
    fit.Placed = ClockLayout;
    fit.Fonts = fit.BasisFonts;
    fit.DetailPercent = fit.GroupPercent = 100;
    if (ClockLayout.TimeWidth > width && !ShrinkUntilFits(width)) {
        ReleaseTimeGroupFit();
        return FALSE;
    }
    fit.Offset = (width - fit.Placed.TimeWidth) / 2;
    *changed = fit.Own.HourMinute || fit.Own.Seconds || fit.Own.Marker || !SamePlaces(before, fit);
    return TRUE;
}

int FittedBellLeft(int width)
{
    if (FitCurrent(width))
        return TimeGroupFit.Placed.BellLeft + TimeGroupFit.Offset;
    return ClockLayout.BellLeft + (width - ClockLayout.TimeWidth) / 2;
}

void ReleaseTimeGroupFit()
{
    DeleteOwnFonts(&TimeGroupFit.Own);
    TimeGroupFit = TimeGroupFitRecord();
}
