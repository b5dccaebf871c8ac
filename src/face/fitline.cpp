// Fitting the day/date line. Some locales' long dates run to fifty
// characters (kde, bez, dav), wider than any strip; drawn as they are, they
// were clipped at both ends. The line is measured only when its texts,
// its box or its font change, so an ordinary paint measures nothing.
//
// A text is measured by drawing it into a scratch bitmap and finding its
// ink: the platform may shape a script as it draws and not as it measures
// (under Wine, ExtTextOutW joins Arabic letters and reorders Sinhala
// vowel signs while GetTextExtent* adds up single glyphs), and only the
// drawn text says where it ends.
#include "fitline.h"
#include "textcut.h"
#include "paint.h"
#include <string.h>

namespace {

const WCHAR Ellipsis[] = L"\x2026";
// The right-to-left mark after the ellipsis keeps it in the run of the
// right-to-left text it ends, beside the cut; alone, it would take the
// line's left-to-right direction and stand at the far end of that text.
const WCHAR RightToLeftEllipsis[] = L"\x2026\x200F";
// Room for the characters kept before the longer ellipsis.
const int MaxKept = DAY_DATE_CHARS - 3;

// A text whose ink reaches the edge of the scratch bitmap is wider than
// any slot.
const int Overflow = 0x7FFF;

// GDI leaves the top byte of the pixels it draws 0.
const DWORD InkBytes = 0x00FFFFFF;

// The bitmap a fit draws its texts into, white on black; made for one fit.
// Margin columns on either side of the line catch ink that leaves it.
struct InkScratch {
    HDC DC;
    HBITMAP Bitmap;
    HGDIOBJ PreviousBitmap;
    HGDIOBJ PreviousFont;
    DWORD *Bits;
    int Width;
    int Height;
    int Margin;
};

// Where a text's ink lies when drawn from an anchor.
struct DrawnExtent {
    int Width;   // from the anchor to the farthest ink, with any ink on the far side of it
    int Inset;   // how far the ink leans out of the side of the anchor the text starts from
};

// A text measured during the fit under way, with the alignment it was
// drawn with. The fit asks for the same text again as it shares the line
// out (its width, its slot, its inset): each is drawn once.
struct DrawnMeasure {
    UINT Align;
    WCHAR Text[DAY_DATE_CHARS];
    DrawnExtent Extent;
};
const int RememberedMeasures = 4;

struct DayDateFitRecord {
    BOOL Valid;
    BOOL MeasureFailed;     // a measure of the fit under way failed
    DayDateTexts Composed;
    DayDateBox Box;
    HFONT Font;
    DayDateLine Fitted;
    InkScratch Scratch;
    DrawnMeasure Measured[RememberedMeasures];
    int MeasuredCount;      // measures made in the fit under way
};
DayDateFitRecord DayDateFit;

// ---- The scratch bitmap ----------------------------------------------------

void CloseScratch()
{
    InkScratch &s = DayDateFit.Scratch;
    if (s.PreviousBitmap)
        SelectObject(s.DC, s.PreviousBitmap);
    if (s.PreviousFont)
        SelectObject(s.DC, s.PreviousFont);
    if (s.Bitmap)
        DeleteObject(s.Bitmap);
    if (s.DC)
        DeleteDC(s.DC);
    s = InkScratch();
}

// The scratch's DC with the font selected, and its margin: a line height.
// FALSE when it could not be made.
BOOL OpenScratch(HFONT font)
{
    InkScratch &s = DayDateFit.Scratch;
    TEXTMETRICW metrics;
    s.DC = CreateCompatibleDC(NULL);
    if (s.DC == NULL || (s.PreviousFont = SelectObject(s.DC, font)) == NULL || !GetTextMetricsW(s.DC, &metrics))
        return FALSE;
    s.Height = metrics.tmHeight;
    s.Margin = metrics.tmHeight;
    return TRUE;
}

// The scratch's bitmap: as high as the font's cells and as wide as a line
// `width` pixels wide with its margins. FALSE when it could not be made.
BOOL GiveScratchBitmap(int width)
{
    InkScratch &s = DayDateFit.Scratch;
    s.Width = (width > 0 ? width : 0) + 2 * s.Margin;
    void *bits = NULL;
    s.Bitmap = MakeDibSection32(s.Width, s.Height, &bits);
    s.Bits = (DWORD *)bits;
    if (s.Bitmap == NULL || (s.PreviousBitmap = SelectObject(s.DC, s.Bitmap)) == NULL)
        return FALSE;
    SetBkMode(s.DC, TRANSPARENT);
    SetTextColor(s.DC, RGB(255, 255, 255));
    return TRUE;
}

// The first and last columns of the scratch that hold ink; FALSE when none
// does.
BOOL FindInk(const InkScratch &s, int *first, int *last)
{
    *first = s.Width;
    *last = -1;
    for (int row = 0; row < s.Height; row++) {
        const DWORD *pixel = s.Bits + (SIZE_T)row * (SIZE_T)s.Width;
        for (int column = 0; column < s.Width; column++)
            if (pixel[column] & InkBytes) {
                if (column < *first)
                    *first = column;
                if (column > *last)
                    *last = column;
            }
    }
    return *last >= 0;
}

int AnchorFor(const InkScratch &s, UINT align)
{
    if (align == TA_LEFT)
        return s.Margin;
    return align == TA_RIGHT ? s.Width - s.Margin : s.Width / 2;
}

// ---- Measures --------------------------------------------------------------

// The extent of `text` drawn with `align` (TA_LEFT, TA_RIGHT or TA_CENTER);
// a centred text takes twice its wider half and no inset.
DrawnExtent DrawAndFindInk(UINT align, const WCHAR *text)
{
    InkScratch &s = DayDateFit.Scratch;
    DrawnExtent extent = {0, 0};
    int length = lstrlenW(text);
    if (length == 0)
        return extent;
    int anchor = AnchorFor(s, align);
    ZeroMemory(s.Bits, (SIZE_T)s.Width * (SIZE_T)s.Height * 4);
    SetTextAlign(s.DC, align | TA_TOP);
    int first, last;
    if (!ExtTextOutW(s.DC, anchor, 0, 0, NULL, text, (UINT)length, NULL)) {
        DayDateFit.MeasureFailed = TRUE;
    } else if (FindInk(s, &first, &last)) {
        int before = first < anchor ? anchor - first : 0, after = last >= anchor ? last + 1 - anchor : 0;
        extent.Width = align == TA_CENTER ? 2 * (before > after ? before : after) : before + after;
        extent.Inset = align == TA_LEFT ? before : align == TA_RIGHT ? after : 0;
        if (first == 0 || last == s.Width - 1)
            extent.Width = Overflow;
    }
    return extent;
}

const DrawnMeasure *FindMeasure(UINT align, const WCHAR *text)
{
    const DayDateFitRecord &fit = DayDateFit;
    int count = fit.MeasuredCount < RememberedMeasures ? fit.MeasuredCount : RememberedMeasures;
    for (int i = 0; i < count; i++)
        if (fit.Measured[i].Align == align && lstrcmpW(fit.Measured[i].Text, text) == 0)
            return &fit.Measured[i];
    return NULL;
}

// The oldest of the remembered measures gives way.
void RememberMeasure(UINT align, const WCHAR *text, DrawnExtent extent)
{
    DayDateFitRecord &fit = DayDateFit;
    if (lstrlenW(text) >= DAY_DATE_CHARS)
        return;
    DrawnMeasure &measure = fit.Measured[fit.MeasuredCount % RememberedMeasures];
    measure.Align = align;
    lstrcpyW(measure.Text, text);
    measure.Extent = extent;
    fit.MeasuredCount++;
}

// The extent of `text` drawn with `align`, drawn once in a fit.
DrawnExtent MeasureDrawn(UINT align, const WCHAR *text)
{
    const DrawnMeasure *known = FindMeasure(align, text);
    if (known)
        return known->Extent;
    DrawnExtent extent = DrawAndFindInk(align, text);
    if (!DayDateFit.MeasureFailed)
        RememberMeasure(align, text, extent);
    return extent;
}

int DrawnWidth(UINT align, const WCHAR *text)
{
    return MeasureDrawn(align, text).Width;
}

// Letters of the right-to-left scripts beyond the BMP (Adlam, Hanifi Rohingya,
// ...) lie in these two blocks of planes; the platform's types see only
// their surrogate halves.
BOOL RightToLeftBeyondBmp(const WCHAR *text, int index)
{
    if (index < 1 || !IS_LOW_SURROGATE(text[index]) || !IS_HIGH_SURROGATE(text[index - 1]))
        return FALSE;
    DWORD c = 0x10000 + (((DWORD)text[index - 1] - 0xD800) << 10) + ((DWORD)text[index] - 0xDC00);
    return (c >= 0x10800 && c < 0x11000) || (c >= 0x1E800 && c < 0x1F000);
}

// Whether the text before `end` ends reading right to left: the last
// character with a direction of its own (a letter; not a digit, space or
// mark) decides, as the platform's types tell it.
BOOL EndsRightToLeft(const WCHAR *text, int end)
{
    for (int i = end - 1; i >= 0; i--) {
        WORD type = 0;
        if (RightToLeftBeyondBmp(text, i) || (GetStringTypeW(CT_CTYPE2, text + i, 1, &type) && type == C2_RIGHTTOLEFT))
            return TRUE;
        if (type == C2_LEFTTORIGHT)
            return FALSE;
    }
    return FALSE;
}

// The first `kept` characters of `text` and the ellipsis, into `cut` (of
// DAY_DATE_CHARS); `kept` is at most MaxKept.
void WriteCut(const WCHAR *text, int kept, WCHAR *cut)
{
    CopyMemory(cut, text, (SIZE_T)kept * sizeof(WCHAR));
    lstrcpyW(cut + kept, EndsRightToLeft(text, kept) ? RightToLeftEllipsis : Ellipsis);
}

// The longest cut of `text` (of `length` characters) that ends at a
// character boundary and takes no more than `width`; 0 when no character
// can be kept. A longer cut is taken to draw no narrower than a shorter.
int LongestCutWithin(UINT align, const WCHAR *text, int length, int width)
{
    WCHAR cut[DAY_DATE_CHARS];
    int best = 0, low = 1, high = length - 1 < MaxKept ? length - 1 : MaxKept;
    while (low <= high) {
        int middle = (low + high) / 2;
        int kept = CharacterBoundaryAtOrBefore(text, length, middle);
        if (kept > 0)
            WriteCut(text, kept, cut);
        if (kept == 0 || DrawnWidth(align, cut) <= width) {
            best = kept > best ? kept : best;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return best;
}

// Cuts `text` (of DAY_DATE_CHARS) so that it and the ellipsis take no more
// than `width` drawn with `align`. A text that fits is left whole; where not
// even the ellipsis fits, nothing is left.
void CutToWidth(UINT align, WCHAR *text, int width)
{
    if (DrawnWidth(align, text) <= width)
        return;
    int kept = LongestCutWithin(align, text, lstrlenW(text), width);
    if (kept > 0) {
        WCHAR cut[DAY_DATE_CHARS];
        WriteCut(text, kept, cut);
        lstrcpyW(text, cut);
    } else {
        lstrcpyW(text, DrawnWidth(align, Ellipsis) <= width ? Ellipsis : L"");
    }
}

// ---- The rule ----------------------------------------------------------------

BOOL Centred(DWORD arrangement)
{
    return arrangement != 0 && arrangement != 2;
}

UINT DayAlign(DWORD arrangement)
{
    return arrangement == 2 ? TA_RIGHT : TA_LEFT;
}

UINT DateAlign(DWORD arrangement)
{
    return arrangement == 2 ? TA_LEFT : TA_RIGHT;
}

// A date that does not fit `room` gives way to the short date first, when
// that is narrower.
void FallBackToShortDate(UINT align, const WCHAR *shortDate, WCHAR *date, int room)
{
    int width = DrawnWidth(align, date);
    if (width > room && shortDate[0] != 0 && DrawnWidth(align, shortDate) < width)
        lstrcpyW(date, shortDate);
}

// Two texts side by side: a text no wider than half the room keeps its
// width and the other gets the rest; two wider texts get half each.
void ShareLine(DayDateLine *line, int room)
{
    UINT dayAlign = DayAlign(line->Arrangement), dateAlign = DateAlign(line->Arrangement);
    int day = DrawnWidth(dayAlign, line->DaySlot), date = DrawnWidth(dateAlign, line->Date);
    int half = room / 2, daySlot = room - date;
    if (day + date > room) {
        daySlot = half;
        if (day <= half)
            daySlot = day;
        else if (date <= half)
            daySlot = room - date;
        CutToWidth(dayAlign, line->DaySlot, daySlot);
        CutToWidth(dateAlign, line->Date, room - daySlot);
    }
    line->DaySlotWidth = daySlot;
    line->DateSlotWidth = room - daySlot;
    line->DayInset = MeasureDrawn(dayAlign, line->DaySlot).Inset;
    line->DateInset = MeasureDrawn(dateAlign, line->Date).Inset;
}

void Fit(const DayDateTexts *texts, const DayDateBox *box, DayDateLine *line)
{
    int width = box->Right - box->Left;
    if (Centred(line->Arrangement)) {
        FallBackToShortDate(TA_CENTER, texts->ShortDate, line->Date, width);
        CutToWidth(TA_CENTER, line->Date, width);
        return;
    }
    int room = line->DaySlot[0] && line->Date[0] ? width - box->Gap : width;
    int day = DrawnWidth(DayAlign(line->Arrangement), line->DaySlot);
    FallBackToShortDate(DateAlign(line->Arrangement), texts->ShortDate, line->Date, room - day);
    ShareLine(line, room);
}

// The composed texts as they are, each with the whole line for its slot.
void StartLine(const DayDateTexts *texts, const DayDateBox *box, DayDateLine *line)
{
    lstrcpyW(line->DaySlot, texts->DaySlot);
    lstrcpyW(line->Date, texts->Date);
    line->Arrangement = texts->Arrangement;
    line->DaySlotWidth = Centred(texts->Arrangement) ? 0 : box->Right - box->Left;
    line->DateSlotWidth = box->Right - box->Left;
    line->DayInset = 0;
    line->DateInset = 0;
}

// Letters, digits and signs below the combining marks draw one glyph after
// another, as they are measured; other scripts may be shaped as they draw.
BOOL DrawsAsMeasured(const WCHAR *text)
{
    for (; *text != 0; text++)
        if (*text >= 0x0300)
            return FALSE;
    return TRUE;
}

// A centred date of such characters whose measured width leaves the
// scratch's margin free on either side fits whole without being drawn to
// be measured: its ink cannot reach the line's ends. The ordinary date of
// most locales fits so, and the first paint is spared the scratch bitmap.
BOOL ClearlyFitsWhole(const DayDateBox *box, const DayDateLine *line)
{
    const InkScratch &s = DayDateFit.Scratch;
    SIZE size = {0, 0};
    return Centred(line->Arrangement) && DrawsAsMeasured(line->Date) &&
           GetTextExtentExPointW(s.DC, line->Date, lstrlenW(line->Date), 0, NULL, NULL, &size) &&
           size.cx + 2 * s.Margin <= box->Right - box->Left;
}

// ---- The memory ----------------------------------------------------------------

BOOL SameTexts(const DayDateTexts &a, const DayDateTexts &b)
{
    return lstrcmpW(a.DaySlot, b.DaySlot) == 0 && lstrcmpW(a.Date, b.Date) == 0 &&
           lstrcmpW(a.ShortDate, b.ShortDate) == 0 && a.Arrangement == b.Arrangement;
}

BOOL FitCurrent(HFONT font, const DayDateBox *box, const DayDateTexts *texts)
{
    const DayDateFitRecord &fit = DayDateFit;
    return fit.Valid && fit.Box.Left == box->Left && fit.Box.Right == box->Right && fit.Box.Gap == box->Gap &&
           fit.Font == font && SameTexts(fit.Composed, *texts);
}

void Remember(HFONT font, const DayDateBox *box, const DayDateTexts *texts, const DayDateLine *line)
{
    DayDateFitRecord &fit = DayDateFit;
    fit.Composed = *texts;
    fit.Box = *box;
    fit.Font = font;
    fit.Fitted = *line;
    fit.Valid = TRUE;
}

} // namespace

BOOL FitDayDateLine(HFONT font, const DayDateBox *box, const DayDateTexts *texts, DayDateLine *line)
{
    DayDateFitRecord &fit = DayDateFit;
    if (FitCurrent(font, box, texts)) {
        *line = fit.Fitted;
        return TRUE;
    }
    StartLine(texts, box, line);
    fit.MeasuredCount = 0;
    fit.MeasureFailed = !OpenScratch(font);
    if (!fit.MeasureFailed && !ClearlyFitsWhole(box, line)) {
        fit.MeasureFailed = !GiveScratchBitmap(box->Right - box->Left);
        if (!fit.MeasureFailed)
            Fit(texts, box, line);
    }
    CloseScratch();
    if (fit.MeasureFailed) {
        ForgetDayDateFit();
        return FALSE;
    }
    Remember(font, box, texts, line);
    return TRUE;
}

void ForgetDayDateFit()
{
    DayDateFit = DayDateFitRecord();
}
