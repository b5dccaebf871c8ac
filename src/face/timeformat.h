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
    DWORD Known;        // read whole at least once; the face is not laid out before
};
extern TimeFormatInfoRecord TimeFormatInfo;

// Updates TimeFormatInfo from the user locale; TRUE when something changed
// (which also means the layout must be recomputed, reported in *relayout).
BOOL RefreshTimeFormat(BOOL *relayout);

// The markers that the "t" specifiers of `format` produce, with the
// locale's designators put in; `am` and `pm` hold MARKER_CHARS characters.
// FALSE when a designator could not be read (the markers are then not the
// locale's).
BOOL ExtractMarkers(const WCHAR *format, WCHAR *am, WCHAR *pm);

// GetLocaleInfoW of the user locale into `chars` characters; a longer
// value is cut to fit (chars - 1 characters and the terminator). FALSE
// (and an empty text) when the read failed.
BOOL ReadLocaleText(LCTYPE type, WCHAR *text, int chars);
// GetTimeFormatW of the user locale with `picture`, cut to fit like
// ReadLocaleText; empty (and FALSE) on failure.
BOOL FormatTimeField(const SYSTEMTIME *time, const WCHAR *picture, WCHAR *text, int chars);

// The separator between hour and minute as the time format means it: the
// locale's LOCALE_STIME with its quoted literals unquoted (fr-CA writes
// " 'h' "), cut at a character boundary to `chars` characters with the
// terminator. FALSE when the locale could not be read.
BOOL ReadTimeSeparator(WCHAR *text, int chars);

// Picture for the hour field: "HH", "H", "hh" or "h".
const WCHAR *HourPicture();

struct DayDateTexts {
    WCHAR DaySlot[DAY_DATE_CHARS];   // day name or operator text, may be empty
    WCHAR Date[DAY_DATE_CHARS];
    WCHAR ShortDate[DAY_DATE_CHARS]; // what a long date too wide gives way to; empty with the short date shown
    DWORD Arrangement;               // CenterDayDate, or 1 for a long date that names the day
};
// Every text the day/date line may show. The long date picture is read
// each time: a long date that names the day centres this line alone,
// without changing CenterDayDate. FALSE when a text could not be read (it
// is then empty).
BOOL ComposeDayDate(const SYSTEMTIME *localTime, DayDateTexts *texts);
