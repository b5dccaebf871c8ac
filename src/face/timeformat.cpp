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
// A marker is put together in full (or well past its 9 characters) before
// it is cut, so that the cut can see which character follows it.
const int MarkerDraftChars = 32;
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

// Appends one character while the draft has room for it; what does not
// fit is dropped.
void AppendMarkerChar(WCHAR *marker, WCHAR c)
{
    int length = lstrlenW(marker);
    if (c == 0 || length >= MarkerDraftChars - 1)
        return;
    marker[length] = c;
    marker[length + 1] = 0;
}

void AppendMarkerText(WCHAR *marker, const WCHAR *text)
{
    for (; *text; text++)
        AppendMarkerChar(marker, *text);
}

// The one-letter form of a designator: its first character as a reader
// sees it, with its marks (or both halves of a surrogate pair).
void AppendFirstCharacter(WCHAR *marker, const WCHAR *designator)
{
    int length = lstrlenW(designator);
    int end = 1;
    while (end < length && !CharacterBoundaryAt(designator, length, end))
        end++;
    for (int i = 0; i < end && i < length; i++)
        AppendMarkerChar(marker, designator[i]);
}

// A picture's literal text as the formatter reads it: a quote opens or
// closes a literal and is not itself shown; two quotes in a row stand for
// one quote character.
void UnquotePicture(const WCHAR *picture, WCHAR *text, int chars)
{
    int length = 0;
    for (const WCHAR *p = picture; *p && length < chars - 1; p++) {
        if (*p == L'\'' && p[1] == L'\'') {
            text[length++] = L'\'';
            p++;
        } else if (*p != L'\'') {
            text[length++] = *p;
        }
    }
    text[length] = 0;
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

BOOL ExtractMarkers(const WCHAR *format, WCHAR *outAm, WCHAR *outPm)
{
    WCHAR am[MarkerDraftChars] = {}, pm[MarkerDraftChars] = {};
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
            AppendFirstCharacter(am, amDesignator);
            AppendFirstCharacter(pm, pmDesignator);
        }
    }
    CopyWithin(outAm, MARKER_CHARS, am);
    CopyWithin(outPm, MARKER_CHARS, pm);
    return read;
}

BOOL ReadTimeSeparator(WCHAR *text, int chars)
{
    WCHAR picture[TIME_FORMAT_CHARS], literal[TIME_FORMAT_CHARS];
    BOOL read = ReadLocaleText(LOCALE_STIME, picture, TIME_FORMAT_CHARS);
    UnquotePicture(picture, literal, TIME_FORMAT_CHARS);
    CopyWithin(text, chars, literal);
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
    texts->ShortDate[0] = 0;
    texts->Arrangement = ClockSettings.CenterDayDate;
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
            // Only this line is centred: the setting stays the user's, so
            // that a locale whose long date does not name the day gets the
            // chosen arrangement back.
            texts->Arrangement = 1;
        } else if (DayNameWanted()) {
            composed &= FormatDate(localTime, 0, L"dddd", texts->DaySlot);
        }
        composed &= FormatDate(localTime, DATE_LONGDATE, NULL, texts->Date);
        composed &= FormatDate(localTime, DATE_SHORTDATE, NULL, texts->ShortDate);
    }
    if (ClockSettings.ShowOpName)
        CopyWithin(texts->DaySlot, DAY_DATE_CHARS, OperatorText);
    return composed;
}
