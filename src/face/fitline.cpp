// Fitting the day/date line. Some locales' long dates run to fifty
// characters (kde, bez, dav), wider than any strip; drawn as they are, they
// were clipped at both ends. The line is measured only when its texts,
// its width or its font change, so an ordinary paint measures nothing.
#include "fitline.h"
#include "textcut.h"
#include <string.h>

namespace {

const WCHAR Ellipsis[] = L"\x2026";

struct DayDateFitRecord {
    BOOL Valid;
    BOOL MeasureFailed;     // a measure of the fit under way failed
    DayDateTexts Composed;
    DayDateTexts Fitted;
    int Left;
    int Right;
    int Gap;
    HFONT Font;
};
DayDateFitRecord DayDateFit;

int TextWidth(HDC dc, const WCHAR *text)
{
    SIZE size = {0, 0};
    int length = lstrlenW(text);
    if (length > 0 && !GetTextExtentPoint32W(dc, text, length, &size)) {
        DayDateFit.MeasureFailed = TRUE;
        size.cx = 0;
    }
    return size.cx;
}

// Cuts `text` (of DAY_DATE_CHARS) so that it and the ellipsis fit `width`;
// the cut ends at a character boundary. A text that fits is left whole.
void CutToWidth(HDC dc, WCHAR *text, int width)
{
    int length = lstrlenW(text);
    int ends[DAY_DATE_CHARS];
    SIZE size = {0, 0};
    if (length == 0)
        return;
    if (!GetTextExtentExPointW(dc, text, length, 0, NULL, ends, &size)) {
        DayDateFit.MeasureFailed = TRUE;
        return;
    }
    if (size.cx <= width)
        return;
    int room = width - TextWidth(dc, Ellipsis);
    int kept = length - 1;
    while (kept > 0 && (ends[kept - 1] > room || !CharacterBoundaryAt(text, length, kept)))
        kept--;
    if (kept == 0 && room < 0) {
        text[0] = 0;
        return;
    }
    lstrcpyW(text + kept, Ellipsis);
}

BOOL Centred(DWORD arrangement)
{
    return arrangement != 0 && arrangement != 2;
}

// A date that does not fit gives way to the short date first.
void FallBackToShortDate(HDC dc, const SYSTEMTIME *time, WCHAR *date, int room)
{
    if (TextWidth(dc, date) <= room)
        return;
    WCHAR shortDate[DAY_DATE_CHARS];
    if (!FormatShortDate(time, shortDate))
        DayDateFit.MeasureFailed = TRUE;
    else if (shortDate[0] != 0 && TextWidth(dc, shortDate) < TextWidth(dc, date))
        lstrcpyW(date, shortDate);
}

// Two texts side by side: a text no wider than half the room keeps its
// width and the other gets the rest; two wider texts get half each.
void ShareLine(HDC dc, DayDateTexts *texts, int room)
{
    int day = TextWidth(dc, texts->DaySlot), date = TextWidth(dc, texts->Date);
    if (day + date <= room)
        return;
    int half = room / 2, daySlot = half;
    if (day <= half)
        daySlot = day;
    else if (date <= half)
        daySlot = room - date;
    CutToWidth(dc, texts->DaySlot, daySlot);
    CutToWidth(dc, texts->Date, room - daySlot);
}

void Fit(HDC dc, int left, int right, int gap, const SYSTEMTIME *time, DayDateTexts *texts)
{
    int line = right - left;
    if (Centred(texts->Arrangement)) {
        FallBackToShortDate(dc, time, texts->Date, line);
        CutToWidth(dc, texts->Date, line);
        return;
    }
    int room = texts->DaySlot[0] && texts->Date[0] ? line - gap : line;
    FallBackToShortDate(dc, time, texts->Date, room - TextWidth(dc, texts->DaySlot));
    ShareLine(dc, texts, room);
}

BOOL SameTexts(const DayDateTexts &a, const DayDateTexts &b)
{
    return lstrcmpW(a.DaySlot, b.DaySlot) == 0 && lstrcmpW(a.Date, b.Date) == 0 && a.Arrangement == b.Arrangement;
}

BOOL FitCurrent(HFONT font, int left, int right, int gap, const DayDateTexts *texts)
{
    const DayDateFitRecord &fit = DayDateFit;
    return fit.Valid && fit.Left == left && fit.Right == right && fit.Gap == gap &&
           fit.Font == font && SameTexts(fit.Composed, *texts);
}

} // namespace

BOOL FitDayDateLine(HDC dc, HFONT font, int left, int right, int gap, const SYSTEMTIME *time,
                    DayDateTexts *texts)
{
    DayDateFitRecord &fit = DayDateFit;
    if (!FitCurrent(font, left, right, gap, texts)) {
        DayDateTexts composed = *texts;
        fit.MeasureFailed = FALSE;
        Fit(dc, left, right, gap, time, texts);
        if (fit.MeasureFailed) {
            ForgetDayDateFit();
            return FALSE;
        }
        fit.Composed = composed;
        fit.Fitted = *texts;
        fit.Left = left;
        fit.Right = right;
        fit.Gap = gap;
        fit.Font = font;
        fit.Valid = TRUE;
    }
    *texts = fit.Fitted;
    return TRUE;
}

void ForgetDayDateFit()
{
    DayDateFit = DayDateFitRecord();
}
