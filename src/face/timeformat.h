// The locale's time and date conventions as the face uses them.
#pragma once
#include <windows.h>

#define TIME_FORMAT_CHARS 60
#define MARKER_CHARS 10
#define DAY_DATE_CHARS 60

struct TimeFormatInfoRecord {
    WCHAR TimeFormat[TIME_FORMAT_CHARS];
    DWORD Is24Hour;
    DWORD HourNoLeadingZero;
    WCHAR AmMarker[MARKER_CHARS];
    WCHAR PmMarker[MARKER_CHARS];
    DWORD MarkersPresent;
};
extern TimeFormatInfoRecord TimeFormatInfo;

// Updates TimeFormatInfo from the user locale; TRUE when something changed
// (which also means the layout must be recomputed, reported in *relayout).
BOOL RefreshTimeFormat(BOOL *relayout);

void ExtractMarkers(const WCHAR *format, WCHAR *am, WCHAR *pm);

// Picture for the hour field: "HH", "H", "hh" or "h".
const WCHAR *HourPicture();

struct DayDateTexts {
    WCHAR DaySlot[DAY_DATE_CHARS];   // day name or operator text, may be empty
    WCHAR Date[DAY_DATE_CHARS];
    DWORD Arrangement;               // CenterDayDate after composing
};
void ComposeDayDate(const SYSTEMTIME *localTime, DayDateTexts *texts);
