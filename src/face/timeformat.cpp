// The locale's time and date conventions: 24-hour and leading-zero choice,
// the AM/PM markers as the time format writes them, and the day and date
// texts of the day/date line.
#include "timeformat.h"
#include "itemstate.h"
#include "textcut.h"
#include "settings.h"
#include "phone.h"
#include <wchar.h>

TimeFormatInfoRecord TimeFormatInfo;

namespace {

// The designators are read into 9 characters: the first 8 are kept.
const int DesignatorChars = 9;
// The long date picture only has to be searched for "ddd".
const int LongDatePictureChars = 80;

// A locale call that does not fit the caller's buffer fails and leaves
// nothing usable; such a result is fetched whole into a buffer of its own
// size and then cut to the caller's buffer.
typedef int (*LocaleFetch)(const void *request, WCHAR *buffer, int chars);

// FALSE (and an empty text) when the value could not be fetched.
BOOL FetchWithin(LocaleFetch fetch, const void *request, WCHAR *text, int chars)
{
    text[0] = 0;
    if (fetch(request, text, chars) > 0)
        return TRUE;
    text[0] = 0;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    int needed = fetch(request, NULL, 0);
    if (needed <= 0)
        return FALSE;
    WCHAR *whole = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, needed * sizeof(WCHAR));
    if (whole == NULL)
        return FALSE;
    BOOL fetched = fetch(request, whole, needed) > 0;
    if (fetched)
        CopyWithin(text, chars, whole);
    HeapFree(GetProcessHeap(), 0, whole);
    return fetched;
}

int FetchLocaleInfo(const void *request, WCHAR *buffer, int chars)
{
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, *(const LCTYPE *)request, buffer, chars);
}

struct DateRequest {
    DWORD Flags;
    const SYSTEMTIME *Time;
    const WCHAR *Picture;
};

int FetchDate(const void *request, WCHAR *buffer, int chars)
{
    const DateRequest *date = (const DateRequest *)request;
    return GetDateFormatW(LOCALE_USER_DEFAULT, date->Flags, date->Time, date->Picture, buffer, chars);
}

struct TimeRequest {
    const SYSTEMTIME *Time;
    const WCHAR *Picture;
};

int FetchTime(const void *request, WCHAR *buffer, int chars)
{
    const TimeRequest *time = (const TimeRequest *)request;
    return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, time->Time, time->Picture, buffer, chars);
}

BOOL FormatDate(const SYSTEMTIME *time, DWORD flags, const WCHAR *picture, WCHAR *text)
{
    DateRequest request = {flags, time, picture};
    return FetchWithin(FetchDate, &request, text, DAY_DATE_CHARS);
}

// Appends one character while the marker has room for it (9 characters);
// what does not fit is dropped.
void AppendMarkerChar(WCHAR *marker, WCHAR c)
{
    int length = lstrlenW(marker);
    if (c == 0 || length >= MARKER_CHARS - 1)
        return;
    marker[length] = c;
    marker[length + 1] = 0;
}

void AppendMarkerText(WCHAR *marker, const WCHAR *text)
{
    for (; *text; text++)
        AppendMarkerChar(marker, *text);
}

BOOL EndsMarkerWalk(WCHAR c)
{
    return c == L' ' || c == L'H' || c == L'h' || c == L'm' || c == L's';
}

BOOL StoreIfDifferent(WCHAR *stored, const WCHAR *derived)
{
    if (wcscmp(stored, derived) == 0)
        return FALSE;
    lstrcpyW(stored, derived);
    return TRUE;
}

// Day name for the day slot: only when the arrangement has a slot for it
// and the operator text does not take its place.
BOOL DayNameWanted()
{
    return ClockSettings.CenterDayDate != 1 && !ClockSettings.ShowOpName;
}

} // namespace

BOOL ReadLocaleText(LCTYPE type, WCHAR *text, int chars)
{
    return FetchWithin(FetchLocaleInfo, &type, text, chars);
}

BOOL FormatTimeField(const SYSTEMTIME *time, const WCHAR *picture, WCHAR *text, int chars)
{
    TimeRequest request = {time, picture};
    return FetchWithin(FetchTime, &request, text, chars);
}

BOOL RefreshTimeFormat(BOOL *relayout)
{
    BOOL changed = FALSE;
    WCHAR format[TIME_FORMAT_CHARS];
    *relayout = FALSE;
    // A read that failed says nothing about the locale: everything is read
    // before anything is stored, what is known stays, and the next refresh
    // reads again.
    WCHAR am[MARKER_CHARS], pm[MARKER_CHARS];
    if (!ReadLocaleText(LOCALE_STIMEFORMAT, format, TIME_FORMAT_CHARS) ||
        (ClockSettings.ShowTimeMarkers && !ExtractMarkers(format, am, pm)))
        return FALSE;
    TimeFormatInfo.Is24Hour = wcschr(format, L'H') != NULL;
    TimeFormatInfo.HourNoLeadingZero = wcsstr(format, L"hh") == NULL && wcsstr(format, L"HH") == NULL;
    if (StoreIfDifferent(TimeFormatInfo.TimeFormat, format))
        changed = TRUE;
    if (ClockSettings.ShowTimeMarkers) {
        if (StoreIfDifferent(TimeFormatInfo.AmMarker, am))
            changed = TRUE;
        if (StoreIfDifferent(TimeFormatInfo.PmMarker, pm))
            changed = TRUE;
    }
    TimeFormatInfo.MarkersPresent = TimeFormatInfo.AmMarker[0] != 0 || TimeFormatInfo.PmMarker[0] != 0;
    TimeFormatInfo.Known = 1;
    if (changed)
        ItemState.BackgroundDirty = 1;
    *relayout = changed;
    return changed;
}

BOOL ExtractMarkers(const WCHAR *format, WCHAR *am, WCHAR *pm)
{
    am[0] = pm[0] = 0;
    WCHAR amDesignator[DesignatorChars], pmDesignator[DesignatorChars];
    // An empty designator is a locale's answer too (the terminator alone);
    // only a failed read is reported.
    BOOL read = ReadLocaleText(LOCALE_S1159, amDesignator, DesignatorChars);
    read &= ReadLocaleText(LOCALE_S2359, pmDesignator, DesignatorChars);
    BOOL started = FALSE, doubled = FALSE;
    for (const WCHAR *p = format; *p; p++) {
        WCHAR c = *p;
        if (!started && c != L't')
            continue;
        started = TRUE;
        if (EndsMarkerWalk(c))
            break;
        if (c != L't') {
            AppendMarkerChar(am, c);
            AppendMarkerChar(pm, c);
        } else if (p[1] == L't') {
            doubled = TRUE;
        } else if (doubled) {
            AppendMarkerText(am, amDesignator);
            AppendMarkerText(pm, pmDesignator);
            doubled = FALSE;
        } else {
            AppendMarkerChar(am, amDesignator[0]);
            AppendMarkerChar(pm, pmDesignator[0]);
        }
    }
    // A full marker drops every later character, so a cut can only have
    // split a surrogate pair at its end.
    DropTrailingHalfCharacter(am);
    DropTrailingHalfCharacter(pm);
    return read;
}

const WCHAR *HourPicture()
{
    if (TimeFormatInfo.Is24Hour)
        return TimeFormatInfo.HourNoLeadingZero ? L"H" : L"HH";
    return TimeFormatInfo.HourNoLeadingZero ? L"h" : L"hh";
}

BOOL ComposeDayDate(const SYSTEMTIME *localTime, DayDateTexts *texts)
{
    texts->DaySlot[0] = 0;
    texts->Date[0] = 0;
    BOOL composed = TRUE;
    if (ClockSettings.ShowShortDate) {
        if (DayNameWanted())
            composed &= FormatDate(localTime, 0, L"dddd", texts->DaySlot);
        composed &= FormatDate(localTime, DATE_SHORTDATE, NULL, texts->Date);
    } else {
        WCHAR picture[LongDatePictureChars];
        composed &= ReadLocaleText(LOCALE_SLONGDATE, picture, LongDatePictureChars);
        if (wcsstr(picture, L"ddd") != NULL) {
            // The long date names the day itself: it stands alone, centred.
            ClockSettings.CenterDayDate = 1;
        } else if (DayNameWanted()) {
            composed &= FormatDate(localTime, 0, L"dddd", texts->DaySlot);
        }
        composed &= FormatDate(localTime, DATE_LONGDATE, NULL, texts->Date);
    }
    if (ClockSettings.ShowOpName)
        CopyWithin(texts->DaySlot, DAY_DATE_CHARS, OperatorText);
    texts->Arrangement = ClockSettings.CenterDayDate;
    return composed;
}
