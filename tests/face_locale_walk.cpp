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
static const int Widths[] = {240, 320, 480};

static struct {
    WCHAR Locale[LOCALE_NAME_MAX_LENGTH];
    const WalkSetting *Setting;
    int Width;
    HWND Window;
    HDC Dc;
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

// A text of the line is the composed one, the short date (for a date), or
// a cut of either that ends with an ellipsis at a character boundary.
static void CheckLineText(const char *what, const WCHAR *drawn, const WCHAR *composed, const WCHAR *shortDate)
{
    if (lstrcmpW(drawn, composed) == 0 || (shortDate && lstrcmpW(drawn, shortDate) == 0))
        return;
    Walk.Cut++;
    int length = lstrlenW(drawn);
    case_ok(length > 0 && drawn[length - 1] == 0x2026, "%s \"%ls\" changed without an ellipsis\n", what, drawn);
    const WCHAR *whole = shortDate && wcsncmp(drawn, shortDate, length - 1) == 0 ? shortDate : composed;
    case_ok(wcsncmp(drawn, whole, length - 1) == 0, "%s \"%ls\" is no cut of \"%ls\"\n", what, drawn, whole);
    case_ok(!CutSplitsCharacter(whole, length - 1), "%s \"%ls\" cut inside a character\n", what, drawn);
}

static void CheckDayDateLine()
{
    DayDateTexts composed, drawn;
    ComposeDayDate(&Evening, &composed);
    drawn = composed;
    int margin = ClockLayout.DayDateSideMargin, left = margin, right = Walk.Width - margin;
    HGDIOBJ previous = SelectObject(Walk.Dc, ClockFonts.DayDateFont);
    FitDayDateLine(Walk.Dc, ClockFonts.DayDateFont, left, right, margin, &Evening, &drawn);
    SelectObject(Walk.Dc, previous);
    WCHAR shortDate[DAY_DATE_CHARS];
    GetDateFormatEx(Walk.Locale, DATE_SHORTDATE, &Evening, NULL, shortDate, DAY_DATE_CHARS, NULL);
    CheckLineText("day", drawn.DaySlot, composed.DaySlot, NULL);
    CheckLineText("date", drawn.Date, composed.Date, shortDate);
    CheckGlyphs("day", drawn.DaySlot);
    CheckGlyphs("date", drawn.Date);
    int day = Width(ClockFonts.DayDateFont, drawn.DaySlot), date = Width(ClockFonts.DayDateFont, drawn.Date);
    if (drawn.Arrangement == 2)
        case_ok(day + margin + date <= right - left, "day \"%ls\" (%d px) and date \"%ls\" (%d px) overlap\n",
                drawn.DaySlot, day, drawn.Date, date);
    else
        case_ok(date <= right - left, "date \"%ls\" %d px wide\n", drawn.Date, date);
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
        LayOutFace(Walk.Window);
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
    LayOutFace(Walk.Window);
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

// kde's fifty-character long date falls back to its short date; after it,
// ms-BN's long date, which does not name the day, gets the day name and
// the chosen arrangement back.
static void test_long_dates()
{
    int width = 240 * ClockLayout.DpiX / 96, margin = ClockLayout.DayDateSideMargin;
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
        HGDIOBJ previous = SelectObject(Walk.Dc, ClockFonts.DayDateFont);
        FitDayDateLine(Walk.Dc, ClockFonts.DayDateFont, margin, width - margin, margin, &Evening, &texts);
        SelectObject(Walk.Dc, previous);
        ok(lstrcmpW(texts.DaySlot, e.Day) == 0, "%ls: day \"%ls\"\n", e.Locale, texts.DaySlot);
        ok(lstrcmpW(texts.Date, e.Date) == 0, "%ls: date \"%ls\"\n", e.Locale, texts.Date);
        ok_int(texts.Arrangement, e.Arrangement);
        ok_int(ClockSettings.CenterDayDate, 0);
    }
}

// An operator name too long for the day slot is cut with an ellipsis and
// leaves the date whole.
static void test_long_operator_name()
{
    int width = 240 * ClockLayout.DpiX / 96, margin = ClockLayout.DayDateSideMargin;
    UseLocale(L"en-US", 1, 0, 0);
    ClockSettings.ShowOpName = 1;
    lstrcpyW(OperatorText, L"Marrowfen Mobile Telecommunications of the Northern Isles");
    DayDateTexts texts;
    ComposeDayDate(&Evening, &texts);
    HGDIOBJ previous = SelectObject(Walk.Dc, ClockFonts.DayDateFont);
    FitDayDateLine(Walk.Dc, ClockFonts.DayDateFont, margin, width - margin, margin, &Evening, &texts);
    int day = Width(ClockFonts.DayDateFont, texts.DaySlot), date = Width(ClockFonts.DayDateFont, texts.Date);
    SelectObject(Walk.Dc, previous);
    int length = lstrlenW(texts.DaySlot);
    ok(length > 1 && texts.DaySlot[length - 1] == 0x2026 && wcsncmp(texts.DaySlot, OperatorText, length - 1) == 0,
       "operator \"%ls\"\n", texts.DaySlot);
    ok_wstr(texts.Date, L"9/25/2024");
    ok(day + margin + date <= width - 2 * margin, "%d + %d + %d in %d px\n", day, margin, date, width - 2 * margin);
    ClockSettings.ShowOpName = 0;
    OperatorText[0] = 0;
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
    ChooseWidths();
    OpenLinkedFaces();
    ClockLayout.DigitHeight = MeasureDigitHeight(Walk.Window);
    run_test(test_separators_and_markers);
    run_test(test_what_gives_way);
    run_test(test_long_dates);
    run_test(test_long_operator_name);
    run_test(test_every_locale);
    for (int i = 0; i < Glyphs.Count; i++)
        DeleteObject(Glyphs.Faces[i]);
    DeleteDC(Walk.Dc);
    DestroyWindow(Walk.Window);
    ReleaseTimeGroupFit();
    ModuleDetach();
    return TestSummary();
}
