// Every locale the platform enumerates, read from its own data (nobody here
// wrote it): the item's locale reads are answered for the locale under
// test. Each locale is laid out and fitted on 240-, 320- and 480-pixel
// strips (screens other than the first three: on their own width, such as
// 400, 640 and 800 px turned) with two settings (short date with the day on
// the right; long date with seconds) at a late-evening time on a long-named
// day; nothing may stand outside the strip or its slot, no separator may
// carry a picture quote or a character its face lacks, no cut may split
// a character, and no character of the day, the date or the markers may be
// drawn as a box.
// The profiles give the resolutions (96, 128, 192 dpi), the faces and the
// screens.
#include "testlib.h"
#include "iat.h"
#include "settings.h"
#include "module.h"
#include "fonts.h"
#include "layout.h"
#include "fitgroup.h"
#include "fitline.h"
#include "timeformat.h"
#include "phone.h"
#include "textcut.h"
#include <wchar.h>
#include <string.h>
#include <algorithm>
#include <map>
#include <vector>

// Wednesday, 25 September 2024, 21:41:07.
static const SYSTEMTIME Evening = {2024, 9, 3, 25, 21, 41, 7, 0};

struct WalkSetting {
    const char *Name;
    DWORD ShortDate;
    DWORD Arrangement;
    DWORD Seconds;
};
static const WalkSetting Settings[] = {
    {"short date, day right", 1, 2, 0},
    {"long date, seconds", 0, 0, 1},
};
static const WalkSetting WorkedExample = {"worked example", 0, 0, 0};
static const int Widths[] = {240, 320, 480};

static struct {
    WCHAR Locale[LOCALE_NAME_MAX_LENGTH];
    const WalkSetting *Setting;
    int Width;
    HWND Window;
    HDC Dc;
    HDC InkDc;                // a white-on-black bitmap where drawn texts are found
    DWORD *InkBits;
    int Columns[1000];        // inked pixels per column of the last text found
    int Shrunk;               // cases whose time group had to give way
    int Cut;                  // texts of the day/date line that were cut
    WCHAR Names[1000][LOCALE_NAME_MAX_LENGTH];
    int Count;
    int Widths[ARRAYSIZE(::Widths)];  // the strips walked: the fixed ones, or the screen's width
    int WidthCount;
} Walk;

static const WCHAR *Named(LCID locale)
{
    return locale == LOCALE_USER_DEFAULT ? Walk.Locale : NULL;
}

static int WINAPI WalkGetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int chars)
{
    return GetLocaleInfoEx(Named(locale), type, data, chars);
}

static int WINAPI WalkGetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME *time, LPCWSTR picture, LPWSTR data,
                                     int chars)
{
    return GetDateFormatEx(Named(locale), flags, time, picture, data, chars, NULL);
}

static int WINAPI WalkGetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME *time, LPCWSTR picture, LPWSTR data,
                                     int chars)
{
    return GetTimeFormatEx(Named(locale), flags, time, picture, data, chars);
}

static BOOL CALLBACK CollectLocale(LPWSTR name, DWORD, LPARAM)
{
    if (Walk.Count < (int)ARRAYSIZE(Walk.Names) && name[0])
        lstrcpynW(Walk.Names[Walk.Count++], name, LOCALE_NAME_MAX_LENGTH);
    return TRUE;
}

// What a failed check saw, formatted only when it fails.
static const char *Describe(const char *format, ...)
{
    static char text[600];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}

#define case_ok(condition, ...)                                                                        \
    do {                                                                                               \
        BOOL held_ = (condition);                                                                      \
        ok(held_, "%ls, %s, %d px: %s", Walk.Locale, Walk.Setting->Name, Walk.Width,                   \
           held_ ? "" : Describe(__VA_ARGS__));                                                        \
    } while (0)

// ---- Characters ------------------------------------------------------------

// A cut of `whole` after `kept` characters splits what a reader sees as one
// character (the cut's boundaries are checked against Unicode's own test
// in text_cut.cpp).
static BOOL CutSplitsCharacter(const WCHAR *whole, int kept)
{
    return !CharacterBoundaryAt(whole, lstrlenW(whole), kept);
}

static int Width(HFONT font, const WCHAR *text)
{
    HGDIOBJ previous = SelectObject(Walk.Dc, font);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(Walk.Dc, text, lstrlenW(text), &size);
    SelectObject(Walk.Dc, previous);
    return size.cx;
}

static BOOL FaceDrawsAll(HFONT font, const WCHAR *text)
{
    WORD glyphs[16];
    int length = lstrlenW(text);
    HGDIOBJ previous = SelectObject(Walk.Dc, font);
    DWORD done = length <= 16 ? GetGlyphIndicesW(Walk.Dc, text, length, glyphs, GGI_MARK_NONEXISTING_GLYPHS) : GDI_ERROR;
    SelectObject(Walk.Dc, previous);
    for (int i = 0; done != GDI_ERROR && i < length; i++)
        if (glyphs[i] == 0xFFFF)
            return FALSE;
    return done != GDI_ERROR;
}

// ---- Glyphs --------------------------------------------------------------

// The faces the line's texts and the markers are drawn from: bold Tahoma,
// then the faces the device links behind it (FontLink\SystemLink), from
// the first of which that has one the platform draws a character Tahoma
// lacks. A character none of them has is drawn as a box. Wine keys the
// links by the face's full name, "Tahoma Bold" (and rewrites the value for
// "Tahoma" with its own list whenever a process's code page differs from
// the last one's).
static struct {
    HFONT Faces[64];
    int Count;
    std::map<DWORD, BOOL> Drawn;   // code point: whether some face has it
} Glyphs;

static void AddFace(const WCHAR *name)
{
    LOGFONTW lf = {};
    lf.lfHeight = -12;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, name, LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ previous = SelectObject(Walk.Dc, font);
    WCHAR got[LF_FACESIZE] = L"";
    GetTextFaceW(Walk.Dc, LF_FACESIZE, got);
    SelectObject(Walk.Dc, previous);
    ok(lstrcmpiW(got, name) == 0, "the device has no face \"%ls\" (Wine gave \"%ls\")\n", name, got);
    Glyphs.Faces[Glyphs.Count++] = font;
}

static void OpenLinkedFaces()
{
    AddFace(L"Tahoma");
    static WCHAR links[8192];
    DWORD size = sizeof(links);
    LSTATUS read = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                                L"Tahoma Bold", RRF_RT_REG_MULTI_SZ, NULL, links, &size);
    ok(read == ERROR_SUCCESS, "no faces linked behind Tahoma: %ld\n", read);
    for (const WCHAR *entry = links; read == ERROR_SUCCESS && *entry && Glyphs.Count < (int)ARRAYSIZE(Glyphs.Faces);
         entry += lstrlenW(entry) + 1) {
        const WCHAR *face = wcschr(entry, L',');
        if (face)
            AddFace(face + 1);
    }
}

static DWORD BigEndian(const BYTE *bytes, int count)
{
    DWORD value = 0;
    for (int i = 0; i < count; i++)
        value = value << 8 | bytes[i];
    return value;
}

// Whether the selected face's own character map (its format-12 table)
// has a code point beyond the BMP, which GDI's glyph calls cannot ask for.
static BOOL SelectedFaceMapsSupplementary(DWORD c)
{
    const DWORD cmapTag = 'c' | 'm' << 8 | 'a' << 16 | 'p' << 24;
    DWORD size = GetFontData(Walk.Dc, cmapTag, 0, NULL, 0);
    if (size == GDI_ERROR || size < 4)
        return FALSE;
    std::vector<BYTE> cmap(size);
    GetFontData(Walk.Dc, cmapTag, 0, cmap.data(), size);
    for (DWORD t = 0, tables = BigEndian(&cmap[2], 2); t < tables && 12 + 8 * t <= size; t++) {
        const BYTE *record = &cmap[4 + 8 * t];
        DWORD offset = BigEndian(record + 4, 4);
        if (BigEndian(record, 2) != 3 || BigEndian(record + 2, 2) != 10 || offset + 16 > size ||
            BigEndian(&cmap[offset], 2) != 12)
            continue;
        for (DWORD g = 0, groups = BigEndian(&cmap[offset + 12], 4); g < groups && offset + 28 + 12 * g <= size; g++) {
            const BYTE *group = &cmap[offset + 16 + 12 * g];
            if (c >= BigEndian(group, 4) && c <= BigEndian(group + 4, 4))
                return TRUE;
        }
    }
    return FALSE;
}

static BOOL SelectedFaceHas(DWORD c)
{
    if (c >= 0x10000)
        return SelectedFaceMapsSupplementary(c);
    WCHAR unit = (WCHAR)c;
    WORD glyph = 0xFFFF;
    return GetGlyphIndicesW(Walk.Dc, &unit, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyph != 0xFFFF;
}

static BOOL Drawn(DWORD c)
{
    std::map<DWORD, BOOL>::iterator known = Glyphs.Drawn.find(c);
    if (known != Glyphs.Drawn.end())
        return known->second;
    BOOL found = FALSE;
    for (int i = 0; i < Glyphs.Count && !found; i++) {
        HGDIOBJ previous = SelectObject(Walk.Dc, Glyphs.Faces[i]);
        found = SelectedFaceHas(c);
        SelectObject(Walk.Dc, previous);
    }
    return Glyphs.Drawn[c] = found;
}

// Joiners, direction marks and other format characters show no glyph.
static BOOL Invisible(DWORD c)
{
    return c == 0x061C || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

// The first character of `text` that is drawn as a box, 0 when none is.
static DWORD FirstBox(const WCHAR *text)
{
    for (int i = 0; text[i]; i++) {
        DWORD c = text[i];
        if (IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        }
        if (!Invisible(c) && !Drawn(c))
            return c;
    }
    return 0;
}

static void CheckGlyphs(const char *what, const WCHAR *text)
{
    DWORD box = FirstBox(text);
    case_ok(box == 0, "%s \"%ls\" draws U+%04lX as a box\n", what, text, box);
}

// ---- The time group ------------------------------------------------------

static void CheckInside(const char *what, int left, int right)
{
    case_ok(left >= 0 && right <= Walk.Width, "%s from %d to %d\n", what, left, right);
}

static void CheckSeparator(const TimeGroupFitRecord &fit, int xo)
{
    WCHAR separator[4];
    ReadTimeSeparator(separator, 4);
    case_ok(wcschr(separator, L'\'') == NULL, "separator \"%ls\" with a picture quote\n", separator);
    if (FontProbe.FontLevel >= 2)
        MapToPrivateDigits(separator);
    HFONT face = fit.Placed.SeparatorInMarkerFace ? fit.Fonts.Marker : fit.Fonts.HourMinute;
    case_ok(FaceDrawsAll(face, separator), "separator \"%ls\" has characters its face lacks\n", separator);
    int w = Width(face, separator);
    CheckInside("separator", xo + fit.Placed.SeparatorCenter - w / 2, xo + fit.Placed.SeparatorCenter + (w + 1) / 2);
}

static void CheckTimeGroup()
{
    BOOL changed;
    case_ok(FitTimeGroup(Walk.Width, &changed), "time group could not be fitted\n");
    const TimeGroupFitRecord &fit = TimeGroupFit;
    int xo = fit.Offset;
    Walk.Shrunk += fit.DetailPercent < 100;
    CheckInside("time group", xo, xo + fit.Placed.TimeWidth);
    WCHAR hour[4], minute[4], seconds[4];
    FormatTimeField(&Evening, HourPicture(), hour, 4);
    FormatTimeField(&Evening, L"mm", minute, 4);
    FormatTimeField(&Evening, L"ss", seconds, 4);
    if (FontProbe.FontLevel >= 2) {
        MapToPrivateDigits(hour);
        MapToPrivateDigits(minute);
        MapToPrivateDigits(seconds);
    }
    CheckInside("hour", xo + fit.Placed.HourRight - Width(fit.Fonts.HourMinute, hour), xo + fit.Placed.HourRight);
    CheckInside("minute", xo + fit.Placed.MinuteRight - Width(fit.Fonts.HourMinute, minute), xo + fit.Placed.MinuteRight);
    if (ClockSettings.ShowSeconds)
        CheckInside("seconds", xo + fit.Placed.SecondsRight - Width(fit.Fonts.Seconds, seconds),
                    xo + fit.Placed.SecondsRight);
    int marker = Width(fit.Fonts.Marker, TimeFormatInfo.PmMarker);
    int am = Width(fit.Fonts.Marker, TimeFormatInfo.AmMarker);
    marker = am > marker ? am : marker;
    CheckInside("marker", xo + fit.Placed.MarkerRight - marker, xo + fit.Placed.MarkerRight);
    CheckInside("bell", xo + fit.Placed.BellLeft, xo + fit.Placed.BellLeft + BellWidth(ClockLayout.DpiX));
    CheckSeparator(fit, xo);
}

// A marker made of the full designator is that designator, or a cut of it
// that keeps its characters whole.
static void CheckMarker(const WCHAR *marker, LCTYPE designatorType)
{
    WCHAR designator[64] = L"";
    GetLocaleInfoEx(Walk.Locale, designatorType, designator, ARRAYSIZE(designator));
    int kept = lstrlenW(marker);
    if (kept == 0 || wcsncmp(marker, designator, kept) != 0)
        return;
    case_ok(!CutSplitsCharacter(designator, kept), "marker \"%ls\" cut inside a character of \"%ls\"\n", marker,
            designator);
}

// ---- The day/date line ---------------------------------------------------

// ---- Ink, found in a bitmap wider than any strip --------------------------

static const int InkWidth = 1000, InkHeight = 32, InkLeft = 100;

static void MakeInkSurface()
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), InkWidth, -InkHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = NULL;
    Walk.InkDc = CreateCompatibleDC(NULL);
    SelectObject(Walk.InkDc, CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0));
    Walk.InkBits = (DWORD *)bits;
    SetBkMode(Walk.InkDc, TRANSPARENT);
    SetTextColor(Walk.InkDc, RGB(255, 255, 255));
}

struct Ink {
    int Left, Right;   // strip columns of the first and past the last inked one; Left > Right for none
};

// Where `text` in `font` leaves ink when drawn from strip column `x` with
// `align`, unclipped.
static Ink InkOf(HFONT font, UINT align, int x, const WCHAR *text)
{
    memset(Walk.InkBits, 0, InkWidth * InkHeight * 4);
    HGDIOBJ previous = SelectObject(Walk.InkDc, font);
    SetTextAlign(Walk.InkDc, align | TA_TOP);
    ExtTextOutW(Walk.InkDc, InkLeft + x, 0, 0, NULL, text, lstrlenW(text), NULL);
    SelectObject(Walk.InkDc, previous);
    Ink ink = {InkWidth, -InkLeft};
    memset(Walk.Columns, 0, sizeof(Walk.Columns));
    for (int row = 0; row < InkHeight; row++)
        for (int column = 0; column < InkWidth; column++)
            if (Walk.InkBits[row * InkWidth + column] & 0xFFFFFF) {
                Walk.Columns[column]++;
                ink.Left = std::min(ink.Left, column - InkLeft);
                ink.Right = std::max(ink.Right, column + 1 - InkLeft);
            }
    return ink;
}

static BOOL Inked(const Ink &ink)
{
    return ink.Left < ink.Right;
}

// ---- The day/date line ---------------------------------------------------

static DayDateBox LineBox(int width)
{
    int margin = ClockLayout.DayDateSideMargin;
    return {margin, width - margin, margin};
}

static void FitLine(const DayDateBox &box, const DayDateTexts &texts, DayDateLine *line)
{
    ok(FitDayDateLine(ClockFonts.DayDateFont, &box, &texts, line), "the line could not be fitted\n");
}

// The length of `drawn` without the ellipsis it ends with (and the
// right-to-left mark after it); -1 when it has none.
static int KeptBeforeEllipsis(const WCHAR *drawn)
{
    int length = lstrlenW(drawn);
    if (length > 0 && drawn[length - 1] == 0x200F)
        length--;
    return length > 0 && drawn[length - 1] == 0x2026 ? length - 1 : -1;
}

// A text of the line is the composed one, the short date (for a date), or
// a cut of either that ends with an ellipsis at a character boundary.
static void CheckLineText(const char *what, const WCHAR *drawn, const WCHAR *composed, const WCHAR *shortDate)
{
    if (lstrcmpW(drawn, composed) == 0 || (shortDate && lstrcmpW(drawn, shortDate) == 0))
        return;
    Walk.Cut++;
    int kept = KeptBeforeEllipsis(drawn);
    case_ok(kept >= 0, "%s \"%ls\" changed without an ellipsis\n", what, drawn);
    const WCHAR *whole = shortDate && wcsncmp(drawn, shortDate, kept) == 0 ? shortDate : composed;
    case_ok(kept < 0 || wcsncmp(drawn, whole, kept) == 0, "%s \"%ls\" is no cut of \"%ls\"\n", what, drawn, whole);
    case_ok(!CutSplitsCharacter(whole, kept), "%s \"%ls\" cut inside a character\n", what, drawn);
}

// The ink of the line as the paint draws it, unclipped: inside the line,
// and in two columns a side margin apart.
static void CheckLineInk(const DayDateBox &box, const DayDateLine &line)
{
    HFONT font = ClockFonts.DayDateFont;
    if (line.Arrangement != 0 && line.Arrangement != 2) {
        Ink date = InkOf(font, TA_CENTER, Walk.Width / 2, line.Date);
        case_ok(!Inked(date) || (date.Left >= box.Left && date.Right <= box.Right),
                "date \"%ls\" inked from %d to %d\n", line.Date, date.Left, date.Right);
        return;
    }
    BOOL dayLeft = line.Arrangement == 0;
    Ink day = InkOf(font, dayLeft ? TA_LEFT : TA_RIGHT, dayLeft ? box.Left + line.DayInset : box.Right - line.DayInset,
                    line.DaySlot);
    Ink date = InkOf(font, dayLeft ? TA_RIGHT : TA_LEFT,
                     dayLeft ? box.Right - line.DateInset : box.Left + line.DateInset, line.Date);
    const Ink &left = dayLeft ? day : date, &right = dayLeft ? date : day;
    BOOL apart = !Inked(left) || !Inked(right) || left.Right + box.Gap <= right.Left;
    case_ok(apart && (!Inked(left) || left.Left >= box.Left) && (!Inked(right) || right.Right <= box.Right),
            "day \"%ls\" inked from %d to %d, date \"%ls\" from %d to %d\n", line.DaySlot, day.Left, day.Right,
            line.Date, date.Left, date.Right);
}

static void CheckDayDateLine()
{
    DayDateTexts composed;
    ComposeDayDate(&Evening, &composed);
    DayDateBox box = LineBox(Walk.Width);
    DayDateLine line;
    FitLine(box, composed, &line);
    CheckLineText("day", line.DaySlot, composed.DaySlot, NULL);
    CheckLineText("date", line.Date, composed.Date, composed.ShortDate);
    CheckGlyphs("day", line.DaySlot);
    CheckGlyphs("date", line.Date);
    CheckLineInk(box, line);
}

static void WalkLocale()
{
    for (const WalkSetting &setting : Settings) {
        Walk.Setting = &setting;
        ClockSettings.ShowShortDate = setting.ShortDate;
        ClockSettings.CenterDayDate = setting.Arrangement;
        ClockSettings.ShowSeconds = setting.Seconds;
        BOOL relayout;
        RefreshTimeFormat(&relayout);
        LayOutFace();
        for (int i = 0; i < Walk.WidthCount; i++) {
            Walk.Width = Walk.Widths[i];
            CheckTimeGroup();
            CheckDayDateLine();
        }
        if (wcsstr(TimeFormatInfo.TimeFormat, L"tt")) {
            CheckMarker(TimeFormatInfo.AmMarker, LOCALE_S1159);
            CheckMarker(TimeFormatInfo.PmMarker, LOCALE_S2359);
            CheckGlyphs("AM marker", TimeFormatInfo.AmMarker);
            CheckGlyphs("PM marker", TimeFormatInfo.PmMarker);
        }
    }
}

// ---- Worked examples -----------------------------------------------------

static void UseLocale(const WCHAR *name, DWORD shortDate, DWORD arrangement, DWORD seconds)
{
    lstrcpyW(Walk.Locale, name);
    ClockSettings.ShowShortDate = shortDate;
    ClockSettings.CenterDayDate = arrangement;
    ClockSettings.ShowSeconds = seconds;
    BOOL relayout;
    RefreshTimeFormat(&relayout);
    LayOutFace();
}

// Separators and markers as the locales' data gives them: unquoted, and
// cut to 8 characters only where a character ends (the AM designators of
// as, kn and ne are 9 long: the cut keeps the virama with its letter and
// leaves the last letter out; their PM designators fit whole).
static void test_separators_and_markers()
{
    static const struct {
        const WCHAR *Locale;
        const WCHAR *Separator;
        const WCHAR *Am;
        const WCHAR *Pm;
    } examples[] = {
        {L"fr-CA", L" h ", L"", L""},
        {L"oc", L"h", L"", L""},
        {L"en-US", L":", L"AM", L"PM"},
        {L"bem-ZM", L":", L"uluchelo", L"akasuba"},
        {L"as-IN", L".", L"\x09AA\x09C2\x09F0\x09CD\x09AC\x09BE\x09B9\x09CD", L"\x0985\x09AA\x09F0\x09BE\x09B9\x09CD\x09A8"},
        {L"kn-IN", L":", L"\x0CAA\x0CC2\x0CB0\x0CCD\x0CB5\x0CBE\x0CB9\x0CCD", L"\x0C85\x0CAA\x0CB0\x0CBE\x0CB9\x0CCD\x0CA8"},
        {L"ne-IN", L":", L"\x092A\x0942\x0930\x094D\x0935\x093E\x0939\x094D", L"\x0905\x092A\x0930\x093E\x0939\x094D\x0928"},
    };
    for (const auto &e : examples) {
        UseLocale(e.Locale, 1, 2, 0);
        WCHAR separator[4];
        ReadTimeSeparator(separator, 4);
        ok(lstrcmpW(separator, e.Separator) == 0, "%ls: separator \"%ls\"\n", e.Locale, separator);
        ok(lstrcmpW(TimeFormatInfo.AmMarker, e.Am) == 0, "%ls: AM marker \"%ls\"\n", e.Locale, TimeFormatInfo.AmMarker);
        ok(lstrcmpW(TimeFormatInfo.PmMarker, e.Pm) == 0, "%ls: PM marker \"%ls\"\n", e.Locale, TimeFormatInfo.PmMarker);
    }
}

// What gives way, in order, on the profile's 240-pixel-equivalent strip
// (240 at 96 dpi, 320 at 128, 480 at 192) or a part of it: en-US and de-DE
// fit as they are. With the private face's wider digits, bem's "uluchelo"
// beside the seconds needs the seconds and markers smaller; with Tahoma's
// digits bem fits. Kannada's designators, measured in the face linked
// behind Tahoma, need the seconds and markers smaller with either face; on
// four fifths of the strip they need those at their smallest and the whole
// group smaller too.
static void test_what_gives_way()
{
    static const struct {
        const WCHAR *Locale;
        int StripPercent;
        BOOL DetailsShrink[2];       // with Tahoma's digits, with the private face's
        BOOL GroupShrinks[2];
    } examples[] = {
        {L"en-US", 100, {FALSE, FALSE}, {FALSE, FALSE}},
        {L"de-DE", 100, {FALSE, FALSE}, {FALSE, FALSE}},
        {L"bem-ZM", 100, {FALSE, TRUE}, {FALSE, FALSE}},
        {L"kn-IN", 100, {TRUE, TRUE}, {FALSE, FALSE}},
        {L"kn-IN", 80, {TRUE, TRUE}, {TRUE, TRUE}},
    };
    int face = FontProbe.FontLevel >= 2;
    for (const auto &example : examples) {
        struct {
            const WCHAR *Locale;
            BOOL DetailsShrink, GroupShrinks;
        } e = {example.Locale, example.DetailsShrink[face], example.GroupShrinks[face]};
        int width = 240 * ClockLayout.DpiX / 96 * example.StripPercent / 100;
        UseLocale(e.Locale, 0, 0, 1);
        BOOL changed;
        ok(FitTimeGroup(width, &changed), "%ls: time group could not be fitted\n", e.Locale);
        const TimeGroupFitRecord &fit = TimeGroupFit;
        ok((fit.DetailPercent < 100) == e.DetailsShrink, "%ls: seconds and markers at %d %%\n", e.Locale,
           fit.DetailPercent);
        ok((fit.GroupPercent < 100) == e.GroupShrinks, "%ls: group at %d %%\n", e.Locale, fit.GroupPercent);
        if (e.GroupShrinks)
            ok_int(fit.DetailPercent, 65);
        if (!e.DetailsShrink)
            ok(memcmp(&fit.Placed, &ClockLayout, sizeof(ClockLayout)) == 0 &&
                   fit.Offset == (width - ClockLayout.TimeWidth) / 2,
               "%ls: a group that fits stands where the layout puts it\n", e.Locale);
        ok(fit.Offset >= 0 && fit.Offset + fit.Placed.TimeWidth <= width, "%ls: %d + %d in %d px\n", e.Locale,
           fit.Offset, fit.Placed.TimeWidth, width);
    }
}

// The largest hour and seconds with the default markers (9 points) on the
// profile's 240-pixel-equivalent strip: the group shrinks to 40 % (50 %
// with Tahoma's narrower digits at 96 dpi), where the markers would be
// about a quarter of their size, 3 pixels at 96 dpi. They stay at the
// readable floor, 6 points: 8 pixels at 96 dpi, 11 at 128 and 16 at 192.
static void test_readable_floor()
{
    static const struct {
        int Dpi;
        int MarkerHeight;
        int GroupPercent[2];    // with Tahoma's digits, with the private face's
    } floors[] = {{96, -8, {50, 40}}, {128, -11, {40, 40}}, {192, -16, {40, 40}}};
    ClockSettings.HourMinFontSize = 99;
    ClockSettings.SecondFontSize = 99;
    ClockSettings.TimeMarkerFontSize = 9;
    BuildClockFonts();
    UseLocale(L"en-US", 0, 0, 1);
    BOOL changed;
    ok(FitTimeGroup(240 * ClockLayout.DpiX / 96, &changed), "time group could not be fitted\n");
    LOGFONTW marker = {}, seconds = {};
    GetObjectW(TimeGroupFit.Fonts.Marker, sizeof(marker), &marker);
    GetObjectW(TimeGroupFit.Fonts.Seconds, sizeof(seconds), &seconds);
    for (const auto &f : floors)
        if (f.Dpi == ScreenLogPixelsY()) {
            ok_int(marker.lfHeight, f.MarkerHeight);
            ok_int(TimeGroupFit.GroupPercent, f.GroupPercent[FontProbe.FontLevel >= 2]);
        }
    ok(seconds.lfHeight < marker.lfHeight, "seconds %ld, markers %ld\n", seconds.lfHeight, marker.lfHeight);
    ClockSettings.HourMinFontSize = 38;
    ClockSettings.SecondFontSize = 26;
    BuildClockFonts();
    UseLocale(L"en-US", 0, 0, 0);
}

// kde's fifty-character long date falls back to its short date; after it,
// ms-BN's long date, which does not name the day, gets the day name and
// the chosen arrangement back.
static void test_long_dates()
{
    int width = 240 * ClockLayout.DpiX / 96;
    static const struct {
        const WCHAR *Locale;
        const WCHAR *Day;
        const WCHAR *Date;
        DWORD Arrangement;
    } examples[] = {
        {L"kde-TZ", L"", L"2024-09-25", 1},
        {L"ms-BN", L"Rabu", L"25 September 2024", 0},
        {L"kde-TZ", L"", L"2024-09-25", 1},
    };
    for (const auto &e : examples) {
        UseLocale(e.Locale, 0, 0, 0);
        DayDateTexts texts;
        ComposeDayDate(&Evening, &texts);
        DayDateLine line;
        FitLine(LineBox(width), texts, &line);
        ok(lstrcmpW(line.DaySlot, e.Day) == 0, "%ls: day \"%ls\"\n", e.Locale, line.DaySlot);
        ok(lstrcmpW(line.Date, e.Date) == 0, "%ls: date \"%ls\"\n", e.Locale, line.Date);
        ok_int(line.Arrangement, e.Arrangement);
        ok_int(ClockSettings.CenterDayDate, 0);
    }
}

// An operator name too long for the day slot is cut with an ellipsis and
// leaves the date whole.
static void test_long_operator_name()
{
    int width = 240 * ClockLayout.DpiX / 96;
    UseLocale(L"en-US", 1, 0, 0);
    ClockSettings.ShowOpName = 1;
    lstrcpyW(OperatorText, L"Marrowfen Mobile Telecommunications of the Northern Isles");
    DayDateTexts texts;
    ComposeDayDate(&Evening, &texts);
    DayDateBox box = LineBox(width);
    DayDateLine line;
    FitLine(box, texts, &line);
    int kept = KeptBeforeEllipsis(line.DaySlot);
    ok(kept > 0 && wcsncmp(line.DaySlot, OperatorText, kept) == 0, "operator \"%ls\"\n", line.DaySlot);
    ok_wstr(line.Date, L"9/25/2024");
    Walk.Width = width;
    CheckLineInk(box, line);
    ClockSettings.ShowOpName = 0;
    OperatorText[0] = 0;
}

// ---- What the fit is given -------------------------------------------------

static int FitDraws;
static decltype(&ExtTextOutW) RealExtTextOutW;

static BOOL WINAPI CountingExtTextOutW(HDC dc, int x, int y, UINT options, const RECT *rect, LPCWSTR text, UINT length,
                                       const INT *dx)
{
    FitDraws++;
    return RealExtTextOutW(dc, x, y, options, rect, text, length, dx);
}

// Each request changes one input of the fit from the one before. A request
// like the last is answered from memory, without drawing a text; any other
// is fitted anew: a new short date shows at once (a long date without the
// day number reads the same on 29 February and 7 March), and a new
// arrangement is not answered with the last one. At an exact half (an odd
// room, the date half of it, rounded down, and a wider day) the day slot
// takes the rest, one pixel more than the date's. A text is drawn once in
// a fit, however often the fit asks for its width: the new short date
// takes three draws (the day, the long date, the short date). A centred
// date of Latin letters that leaves a line height free on either side is
// not drawn to be measured; one that does not, or one of another script,
// is, once.
static void test_fit_inputs()
{
    static const WCHAR Long[] = L"Jumatano, tarehe 25 mwezi wa Septemba mwaka 2024";
    static const WCHAR Greek[] = L"25 \x03a3\x03b5\x03c0\x03c4\x03b5\x03bc\x03b2\x03c1\x03af\x03bf\x03c5 2024";
    enum LineWidth { Strip, ExactHalf, DateAndOneLine };
    static const struct {
        const char *Change;
        const WCHAR *Given;     // NULL: Long
        const WCHAR *ShortDate;
        DWORD Arrangement;
        LineWidth Width;
        int Draws;      // -1: some (what is cut, and so drawn, depends on the screen)
        const WCHAR *Date;
    } requests[] = {
        {"first", NULL, L"2024-09-25", 0, Strip, -1, L"2024-09-25"},
        {"none", NULL, L"2024-09-25", 0, Strip, 0, L"2024-09-25"},
        {"short date", NULL, L"25.09.2024", 0, Strip, 3, L"25.09.2024"},
        {"arrangement", NULL, L"25.09.2024", 2, Strip, -1, L"25.09.2024"},
        {"none again", NULL, L"25.09.2024", 2, Strip, 0, L"25.09.2024"},
        {"exact half", L"25.09.2024", L"", 0, ExactHalf, -1, L"25.09.2024"},
        {"centred", L"25.09.2024", L"", 1, Strip, 0, L"25.09.2024"},
        {"centred, tight", L"25.09.2024", L"", 1, DateAndOneLine, 1, L"25.09.2024"},
        {"centred, Greek", Greek, L"", 1, Strip, 1, Greek},
    };
    void *real = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "ExtTextOutW", (void *)CountingExtTextOutW, &real) > 0,
       "ExtTextOutW\n");
    RealExtTextOutW = (decltype(RealExtTextOutW))real;
    UseLocale(L"en-US", 0, 0, 0);
    ForgetDayDateFit();
    Ink half = InkOf(ClockFonts.DayDateFont, TA_RIGHT, 400, L"25.09.2024");
    int date = std::max(400, half.Right) - half.Left, margin = ClockLayout.DayDateSideMargin;
    int lineHeight = ClockFonts.DayDateLineHeight;
    for (const auto &r : requests) {
        DayDateTexts texts = {L"Wednesday and Thursday", {}, {}, r.Arrangement};
        lstrcpyW(texts.Date, r.Given ? r.Given : Long);
        lstrcpyW(texts.ShortDate, r.ShortDate);
        DayDateBox box = r.Width == ExactHalf        ? DayDateBox{margin, margin + 2 * date + 1 + margin, margin}
                         : r.Width == DateAndOneLine ? DayDateBox{margin, margin + date + lineHeight, margin}
                                                     : LineBox(240 * ClockLayout.DpiX / 96);
        DayDateLine line;
        FitDraws = 0;
        FitLine(box, texts, &line);
        ok(r.Draws < 0 ? FitDraws > 0 : FitDraws == r.Draws, "%s: %d texts drawn to be measured\n", r.Change, FitDraws);
        ok(lstrcmpW(line.Date, r.Date) == 0, "%s: date \"%ls\"\n", r.Change, line.Date);
        ok(line.Arrangement == r.Arrangement, "%s: arrangement %lu\n", r.Change, line.Arrangement);
        if (r.Width == ExactHalf)
            ok(line.DaySlotWidth == date + 1 && line.DateSlotWidth == date, "%s: slots %d and %d for a date of %d\n",
               r.Change, line.DaySlotWidth, line.DateSlotWidth, date);
    }
    ReplaceImport(GetModuleHandleW(NULL), NULL, "ExtTextOutW", real, NULL);
}

// ---- Scripts the platform shapes and reorders as it draws -------------------

// A right-to-left text cut in either slot or alone in the middle ends with
// an ellipsis at its left, beside the cut (and the right-to-left mark):
// the columns at the left end of its ink are the ellipsis's, and those at
// the right end are not. Lone surrogates are no letters: a Latin name cut
// among them keeps its ellipsis at its right, without the mark.
static void test_right_to_left_cuts()
{
    // "Marrowfen Mobile of the Northern Isles", in Arabic.
    static const WCHAR Arabic[] = L"\x0645\x0627\x0631\x0648\x0641\x0646 \x0645\x0648\x0628\x0627\x064a\x0644 "
                                  L"\x0644\x0644\x062c\x0632\x0631 \x0627\x0644\x0634\x0645\x0627\x0644\x064a\x0629";
    // First halves that would make an Adlam letter, were each paired (each
    // two of them read as one, taken whole).
    static const WCHAR LoneHalves[] = L"Isles 0\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B"
                                      L"\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B\xD83B";
    static const struct {
        const WCHAR *Text;
        DWORD Arrangement;
        BOOL InDaySlot;
        BOOL RightToLeft;
    } slots[] = {{Arabic, 0, TRUE, TRUE}, {Arabic, 2, TRUE, TRUE}, {Arabic, 1, FALSE, TRUE},
                 {LoneHalves, 1, FALSE, FALSE}};
    UseLocale(L"en-US", 1, 0, 0);
    HFONT font = ClockFonts.DayDateFont;
    Ink ellipsis = InkOf(font, TA_LEFT, 400, L"\x2026");
    int dots = ellipsis.Right - ellipsis.Left, dotColumns[ARRAYSIZE(Walk.Columns)];
    memcpy(dotColumns, Walk.Columns + InkLeft + ellipsis.Left, dots * sizeof(int));
    for (const auto &slot : slots) {
        DayDateTexts texts = {{}, L"9/25/2024", {}, slot.Arrangement};
        lstrcpyW(slot.InDaySlot ? texts.DaySlot : texts.Date, slot.Text);
        DayDateLine line;
        FitLine(LineBox(120 * ClockLayout.DpiX / 96), texts, &line);
        const WCHAR *cut = slot.InDaySlot ? line.DaySlot : line.Date;
        int length = lstrlenW(cut);
        BOOL marked = length > 0 && cut[length - 1] == 0x200F;
        if (!slot.RightToLeft) {
            ok(KeptBeforeEllipsis(cut) > 5 && !marked, "\"%ls\" cut as right-to-left text\n", cut);
            continue;
        }
        Ink ink = InkOf(font, TA_LEFT, 400, cut);
        BOOL left = memcmp(Walk.Columns + InkLeft + ink.Left, dotColumns, dots * sizeof(int)) == 0;
        BOOL right = memcmp(Walk.Columns + InkLeft + ink.Right - dots, dotColumns, dots * sizeof(int)) == 0;
        ok(KeptBeforeEllipsis(cut) > 0 && marked && left && !right, "arrangement %lu: ellipsis at the left %d, at the right %d\n",
           slot.Arrangement, left, right);
    }
}

// An Arabic long date is measured as drawn, joined: on a line as wide as
// its ink, but narrower than its unjoined glyphs add up to, it stands whole
// and inside the line.
static void test_shaped_date()
{
    UseLocale(L"ar-SA", 0, 1, 0);
    DayDateTexts texts;
    ComposeDayDate(&Evening, &texts);
    HFONT font = ClockFonts.DayDateFont;
    Ink ink = InkOf(font, TA_CENTER, 400, texts.Date);
    int width = 2 * std::max(400 - ink.Left, ink.Right - 400) + 2;
    ok(Width(font, texts.Date) > width, "\"%ls\" adds up to %d px, draws %d px\n", texts.Date, Width(font, texts.Date),
       width);
    DayDateBox box = {10, 10 + width, 4};
    DayDateLine line;
    FitLine(box, texts, &line);
    ok_wstr(line.Date, texts.Date);
    Walk.Width = 20 + width;
    CheckLineInk(box, line);
}

static void test_every_locale()
{
    EnumSystemLocalesEx(CollectLocale, LOCALE_ALL, 0, NULL);
    ok(Walk.Count >= 800, "%d locales enumerated\n", Walk.Count);
    DWORD start = GetTickCount();
    for (int i = 0; i < Walk.Count; i++) {
        lstrcpyW(Walk.Locale, Walk.Names[i]);
        WalkLocale();
    }
    printf("%d locales at %d dpi on %d strips up to %d px wide in %lu ms: %d time groups gave way, %d texts cut\n",
           Walk.Count, ClockLayout.DpiX, Walk.WidthCount, Walk.Widths[Walk.WidthCount - 1], GetTickCount() - start,
           Walk.Shrunk, Walk.Cut);
}

// The devices of the first three screens (240x320, 320x320, 480x640, with
// and without the private face) walk the fixed strips at their resolutions;
// every other screen walks its own width only, the strips being the same.
static void ChooseWidths()
{
    static const SIZE fixedStripScreens[] = {{240, 320}, {320, 320}, {480, 640}};
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    for (const SIZE &screen : fixedStripScreens)
        if (screen.cx == cx && screen.cy == cy) {
            for (int width : Widths)
                Walk.Widths[Walk.WidthCount++] = width;
            return;
        }
    Walk.Widths[Walk.WidthCount++] = cx;
}

int main()
{
    HMODULE self = GetModuleHandleW(NULL);
    ReplaceImport(self, "kernel32.dll", "GetLocaleInfoW", (void *)WalkGetLocaleInfoW, NULL);
    ReplaceImport(self, "kernel32.dll", "GetDateFormatW", (void *)WalkGetDateFormatW, NULL);
    ReplaceImport(self, "kernel32.dll", "GetTimeFormatW", (void *)WalkGetTimeFormatW, NULL);
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    lstrcpyW(Walk.Locale, L"en-US");
    ModuleAttach(self);
    ClockSettings.ShowTimeMarkers = 1;
    ClockSettings.AlarmIconEnabled = 1;
    ClockSettings.ShowDayDate = 1;
    Walk.Window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 240, 100, NULL, NULL, NULL, NULL);
    Walk.Dc = CreateCompatibleDC(NULL);
    Walk.Setting = &WorkedExample;
    MakeInkSurface();
    ChooseWidths();
    OpenLinkedFaces();
    ClockLayout.DigitHeight = MeasureDigitHeight();
    run_test(test_separators_and_markers);
    run_test(test_what_gives_way);
    run_test(test_readable_floor);
    run_test(test_long_dates);
    run_test(test_long_operator_name);
    run_test(test_fit_inputs);
    run_test(test_right_to_left_cuts);
    run_test(test_shaped_date);
    run_test(test_every_locale);
    for (int i = 0; i < Glyphs.Count; i++)
        DeleteObject(Glyphs.Faces[i]);
    DeleteDC(Walk.Dc);
    DeleteDC(Walk.InkDc);
    DestroyWindow(Walk.Window);
    ReleaseTimeGroupFit();
    ModuleDetach();
    return TestSummary();
}
