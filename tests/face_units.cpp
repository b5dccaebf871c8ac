// Fonts, private digits and layout of the clock face, with the item's code
// linked into this program and the device's real screen and fonts.
#include "testlib.h"
#include "settings.h"
#include "fonts.h"
#include "layout.h"
#include "timeformat.h"
#include "paint.h"
#include "itemstate.h"
#include "iat.h"

static int Dpi;

static void UseSizes(DWORD hour, DWORD seconds, DWORD marker)
{
    ClockSettings.HourMinFontSize = hour;
    ClockSettings.SecondFontSize = seconds;
    ClockSettings.TimeMarkerFontSize = marker;
}

static LOGFONTW FontOf(HFONT font)
{
    LOGFONTW logfont = {};
    ok(font != NULL, "font not created\n");
    if (font)
        GetObjectW(font, sizeof(logfont), &logfont);
    return logfont;
}

static BOOL PrivateFontFileExists()
{
    return GetFileAttributesW(L"C:\\Program Files\\Quartzel\\QZL.ttf") != INVALID_FILE_ATTRIBUTES;
}

static void test_resolution()
{
    HDC screen = GetDC(NULL);
    int y = GetDeviceCaps(screen, LOGPIXELSY), x = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    ok_int(ScreenLogPixelsY(), y);
    ok_int(ScreenLogPixelsX(), x);
    Dpi = y;
    ok(Dpi == 96 || Dpi == 128 || Dpi == 192, "profile resolution %d\n", Dpi);
    // Y(75), Y(11), Y(6), Y(3), X(10) and the bell width at each resolution.
    const int scaled[][7] = {{96, 75, 11, 6, 3, 10, 11}, {128, 100, 15, 8, 4, 13, 15}, {192, 150, 22, 12, 6, 20, 20}};
    for (const auto &e : scaled) {
        if (e[0] != Dpi)
            continue;
        ok_int(DeviceY(75), e[1]);
        ok_int(DeviceY(11), e[2]);
        ok_int(DeviceY(6), e[3]);
        ok_int(DeviceY(3), e[4]);
        ok_int(DeviceX(10), e[5]);
        ok_int(BellWidth(Dpi), e[6]);
    }
}

static void test_probe()
{
    BOOL fontFile = PrivateFontFileExists();
    InstallAndProbePrivateFont();
    ok_wstr(FontProbe.ProgramFilesPath, L"C:\\Program Files");
    ok_int(FontProbe.TahomaFound, 1);
    ok_int(FontProbe.PrivateFontAdded, fontFile);
    ok_int(FontProbe.PrivateFaceFound, fontFile);
    ok_int(FontProbe.FontLevel, fontFile ? 3 : 1);
}

static const WCHAR ForeignFont[] = L"C:\\windows\\Fonts\\marlett.ttf";
static int(WINAPI *RealAddFontResourceW)(LPCWSTR);

static int WINAPI AddForeignFontResourceW(LPCWSTR)
{
    return RealAddFontResourceW(ForeignFont);
}

// A QZL.ttf of another face (here the device's Marlett) is added, but the
// platform lists no face of the private name: the time keeps the system
// face. Run before the real QZL.ttf is added to this process.
static void test_foreign_private_file()
{
    void *add = NULL;
    HMODULE self = GetModuleHandleW(NULL);
    ok(ReplaceImport(self, NULL, "AddFontResourceW", (void *)AddForeignFontResourceW, &add) > 0,
       "AddFontResourceW\n");
    RealAddFontResourceW = (decltype(RealAddFontResourceW))add;
    FontProbe = FontProbeRecord();
    InstallAndProbePrivateFont();
    BuildClockFonts();
    ok_int(FontProbe.PrivateFontAdded, 1);
    ok_int(FontProbe.PrivateFaceFound, 0);
    ok_int(FontProbe.FontLevel, 1);
    LOGFONTW hour = FontOf(ClockFonts.HourMinuteFont);
    ok_wstr(hour.lfFaceName, L"Tahoma");
    ReplaceImport(self, NULL, "AddFontResourceW", add, NULL);
    RemoveFontResourceW(ForeignFont);
    FontProbe = FontProbeRecord();
}

// ---- The probe's rules, with the device's fonts replaced --------------

static struct {
    const WCHAR *Faces[3];
    int FontAdded;            // what AddFontResourceW answers
    WCHAR AddedPath[MAX_PATH];
    int EveryFamilyListed;    // enumerations without a face name
    int PrivateListed;        // enumerations of the private face's name
} Probe;

// Like the platform, a name lists the faces of that name in any letter
// case, spelt as the font spells it; no name lists them all.
static int WINAPI FakeEnumFontFamiliesW(HDC, LPCWSTR family, FONTENUMPROCW proc, LPARAM parameter)
{
    int result = 1;
    Probe.EveryFamilyListed += family == NULL;
    Probe.PrivateListed += family != NULL && lstrcmpiW(family, L"QZL") == 0;
    for (const WCHAR *face : Probe.Faces) {
        if (face == NULL || (family != NULL && lstrcmpiW(face, family) != 0))
            continue;
        ENUMLOGFONTW font = {};
        NEWTEXTMETRICW metrics = {};
        lstrcpynW(font.elfLogFont.lfFaceName, face, LF_FACESIZE);
        result = proc(&font.elfLogFont, (TEXTMETRICW *)&metrics, TRUETYPE_FONTTYPE, parameter);
        if (result == 0)
            break;
    }
    return result;
}

static int WINAPI FakeAddFontResourceW(LPCWSTR path)
{
    lstrcpynW(Probe.AddedPath, path, MAX_PATH);
    return Probe.FontAdded;
}

// The probe and the first font build, with `faces` the families the
// platform lists.
static void ProbeWith(int added, const WCHAR *tahoma, const WCHAR *privateFace)
{
    Probe.FontAdded = added;
    Probe.Faces[0] = tahoma;
    Probe.Faces[1] = privateFace;
    Probe.AddedPath[0] = 0;
    FontProbe = FontProbeRecord();
    InstallAndProbePrivateFont();
    BuildClockFonts();
}

// Tahoma is matched in any letter case, the private face exactly as the
// platform lists it; the private face only counts when this library added
// its file (a file of another face lists none), and it is listed only
// then. Without it, the time is drawn in the markers' face at normal
// weight.
static void test_probe_rules()
{
    FontProbeRecord saved = FontProbe;
    void *enumerate = NULL, *add = NULL;
    HMODULE self = GetModuleHandleW(NULL);
    ok(ReplaceImport(self, NULL, "EnumFontFamiliesW", (void *)FakeEnumFontFamiliesW, &enumerate) > 0,
       "EnumFontFamiliesW\n");
    ok(ReplaceImport(self, NULL, "AddFontResourceW", (void *)FakeAddFontResourceW, &add) > 0, "AddFontResourceW\n");
    static const struct {
        int Added;
        const WCHAR *Tahoma, *Private;
        DWORD Level;
        const WCHAR *HourFace;
        LONG HourWeight;
        int PrivateListed;
    } rows[] = {
        {1, L"TAHOMA", L"qzl", 1, L"Tahoma", FW_NORMAL, 1},
        {1, NULL, L"QZL", 2, L"QZL", FW_MEDIUM, 1},
        {1, L"Tahoma", L"QZL", 3, L"QZL", FW_MEDIUM, 1},
        {1, L"Tahoma Bold", L"QZL ", 0, NULL, FW_NORMAL, 1},
        // The file added is of another face.
        {1, L"Tahoma", NULL, 1, L"Tahoma", FW_NORMAL, 1},
        // Listed, but the file was not added by this library.
        {0, NULL, L"QZL", 0, NULL, FW_NORMAL, 0},
        {0, L"tahoma", L"QZL", 1, L"Tahoma", FW_NORMAL, 0},
    };
    for (const auto &r : rows) {
        Probe.PrivateListed = 0;
        ProbeWith(r.Added, r.Tahoma, r.Private);
        LOGFONTW hour = FontOf(ClockFonts.HourMinuteFont);
        ok(FontProbe.FontLevel == r.Level && FontProbe.PrivateFontAdded == (DWORD)r.Added &&
               Probe.PrivateListed == r.PrivateListed,
           "%ls and %ls listed: level %lu, added %lu, private name listed %d times\n", r.Tahoma, r.Private,
           FontProbe.FontLevel, FontProbe.PrivateFontAdded, Probe.PrivateListed);
        ok((r.HourFace == NULL || lstrcmpW(hour.lfFaceName, r.HourFace) == 0) && hour.lfWeight == r.HourWeight,
           "%ls and %ls listed: hour in \"%ls\" at %ld\n", r.Tahoma, r.Private, hour.lfFaceName, hour.lfWeight);
    }
    ok_wstr(Probe.AddedPath, L"C:\\Program Files\\Quartzel\\QZL.ttf");
    // The faces were asked for by name, never every family.
    ok_int(Probe.EveryFamilyListed, 0);

    ReplaceImport(self, NULL, "EnumFontFamiliesW", enumerate, NULL);
    ReplaceImport(self, NULL, "AddFontResourceW", add, NULL);
    FontProbe = saved;
    BuildClockFonts();
}

struct PointHeights {
    int Dpi;
    int Zero[3];       // hour, seconds, marker with no sizes stored
    int Default[3];    // 38, 26 and 9 points
    int Largest;       // 99 points
};
static const PointHeights Heights[] = {
    {96, {-51, -35, -12}, {-51, -35, -12}, -132},
    {128, {-68, -47, -16}, {-68, -46, -16}, -176},
    {192, {-102, -70, -24}, {-101, -69, -24}, -264},
};

static void test_font_heights()
{
    const PointHeights *e = NULL;
    for (const PointHeights &heights : Heights)
        if (heights.Dpi == Dpi)
            e = &heights;
    // Zero sizes fall back to the 96-dpi pixel sizes, scaled.
    UseSizes(0, 0, 0);
    ClockFontHeights heights = ComputeClockFontHeights();
    ok_int(heights.Hour, e->Zero[0]);
    ok_int(heights.Seconds, e->Zero[1]);
    ok_int(heights.Marker, e->Zero[2]);

    UseSizes(38, 26, 9);
    heights = ComputeClockFontHeights();
    ok_int(heights.Hour, e->Default[0]);
    ok_int(heights.Seconds, e->Default[1]);
    ok_int(heights.Marker, e->Default[2]);
    // The day/date line takes the system font's whole points: the device's
    // 8 points, and 10.99 points as 10.
    struct { int Dpi, Eight, Ten; } const dayDate[] = {{96, -11, -13}, {128, -14, -18}, {192, -21, -27}};
    for (const auto &d : dayDate) {
        if (d.Dpi != Dpi)
            continue;
        ok_int(heights.DayDate, d.Eight);
        const WCHAR *appearance = L"ControlPanel\\Appearance";
        DWORD saved = GetRegDword(HKEY_CURRENT_USER, appearance, L"FontSize", 800);
        SetRegDword(HKEY_CURRENT_USER, appearance, L"FontSize", 1099);
        ok_int(ComputeClockFontHeights().DayDate, d.Ten);
        SetRegDword(HKEY_CURRENT_USER, appearance, L"FontSize", saved);
    }

    // Seconds and markers never outgrow the hour digits.
    UseSizes(20, 30, 40);
    heights = ComputeClockFontHeights();
    ok_int(heights.Seconds, heights.Hour);
    ok_int(heights.Marker, heights.Hour);

    // The options' largest size is honoured; anything beyond it from the
    // registry is taken as that size.
    UseSizes(99, 99, 99);
    heights = ComputeClockFontHeights();
    ok_int(heights.Hour, e->Largest);
    UseSizes(0xFFFFFFFF, 100000, 0x80000000);
    heights = ComputeClockFontHeights();
    ok_int(heights.Hour, e->Largest);
    ok_int(heights.Seconds, e->Largest);
    ok_int(heights.Marker, e->Largest);
}

static void test_build_fonts()
{
    ClockSettings.ClearTypeDayDateEnabled = 1;
    ClockSettings.ClearTypeTimeEnabled = 0;
    ClockSettings.SingleTMLine = 0;
    UseSizes(38, 26, 9);
    BuildClockFonts();
    ClockFontHeights heights = ComputeClockFontHeights();
    LOGFONTW dayDate = FontOf(ClockFonts.DayDateFont);
    LOGFONTW marker = FontOf(ClockFonts.TimeMarkerFont);
    LOGFONTW hour = FontOf(ClockFonts.HourMinuteFont);
    LOGFONTW seconds = FontOf(ClockFonts.SecondsFont);
    ok_wstr(dayDate.lfFaceName, L"Tahoma");
    ok_int(dayDate.lfWeight, FW_BOLD);
    ok_int(dayDate.lfQuality, 6);
    ok_int(dayDate.lfCharSet, DEFAULT_CHARSET);
    ok_int(dayDate.lfHeight, heights.DayDate);
    ok_wstr(marker.lfFaceName, L"Tahoma");
    ok_int(marker.lfWeight, FW_BOLD);
    ok_int(marker.lfQuality, 0);
    ok_int(marker.lfHeight, heights.Marker);
    BOOL privateFace = FontProbe.FontLevel >= 2;
    ok_wstr(hour.lfFaceName, privateFace ? L"QZL" : L"Tahoma");
    ok_int(hour.lfWeight, privateFace ? FW_MEDIUM : FW_NORMAL);
    ok_int(hour.lfHeight, heights.Hour);
    ok_wstr(seconds.lfFaceName, hour.lfFaceName);
    ok_int(seconds.lfWeight, hour.lfWeight);
    ok_int(seconds.lfHeight, heights.Seconds);
    ok_int(dayDate.lfWidth, 0);
    ok_int(hour.lfWidth, 0);
    // 9 points is well below 40 % of 38: two marker lines stay possible.
    ok_int(ClockSettings.SingleTMLine, 0);

    // 15-point markers still stack beside 38-point digits at every
    // resolution (20 of 51, 27 of 68, 40 of 101 pixels); 16 points only fit
    // one line.
    UseSizes(38, 26, 15);
    BuildClockFonts();
    ok_int(ClockSettings.SingleTMLine, 0);
    UseSizes(38, 26, 16);
    BuildClockFonts();
    ok_int(ClockSettings.SingleTMLine, 1);
    // The rule only ever sets the flag.
    UseSizes(38, 26, 9);
    BuildClockFonts();
    ok_int(ClockSettings.SingleTMLine, 1);
    ClockSettings.SingleTMLine = 0;
    // 40 % is rounded to the nearest pixel: 9-point markers beside 22-point
    // digits still stack (12 of 29, 16 of 39, 24 of 59 pixels, against 11.6,
    // 15.6 and 23.6).
    UseSizes(22, 22, 9);
    BuildClockFonts();
    ok_int(ClockSettings.SingleTMLine, 0);

    // Absurd sizes build usable fonts.
    UseSizes(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    BuildClockFonts();
    ok_int(FontOf(ClockFonts.HourMinuteFont).lfHeight, Dpi == 96 ? -132 : Dpi == 128 ? -176 : -264);
}

static void test_mapping()
{
    WCHAR text[100];
    lstrcpyW(text, L"12:05");
    MapToPrivateDigits(text);
    const WCHAR time[] = {0x2FE1, 0x2FE2, 0x2FEA, 0x2FE0, 0x2FE5, 0};
    ok_wstr(text, time);
    lstrcpyW(text, L"a.m.");
    MapToPrivateDigits(text);
    const WCHAR marker[] = {'a', 0x2FEB, 'm', 0x2FEB, 0};
    ok_wstr(text, marker);
    lstrcpyW(text, L"09/8 x");
    MapToPrivateDigits(text);
    const WCHAR mixed[] = {0x2FE0, 0x2FE9, '/', 0x2FE8, ' ', 'x', 0};
    ok_wstr(text, mixed);

    // Beyond 59 characters the text is cut, and nothing past the input's
    // own terminator is written.
    for (int i = 0; i < 80; i++)
        text[i] = L'7';
    text[80] = 0;
    for (int i = 81; i < 100; i++)
        text[i] = L'#';
    MapToPrivateDigits(text);
    ok_int(lstrlenW(text), 59);
    ok_int(text[58], 0x2FE7);
    ok_int(text[81], L'#');
    ok_int(text[99], L'#');
}

static HWND CreateItemLikeWindow(HWND *parent)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FaceUnitsWindow";
    RegisterClassW(&wc);
    *parent = CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP, 0, 0, 240, 320, NULL, NULL, wc.hInstance,
                              NULL);
    return CreateWindowExW(0, wc.lpszClassName, L"item", WS_CHILD, 0, 0, 240, 60, *parent, NULL, wc.hInstance,
                           NULL);
}

// What this device's real fonts measure, for the record: the layout itself
// is checked below against measures the test chooses.
static void test_real_measures()
{
    UseSizes(38, 26, 9);
    ClockSettings.ShowDayDate = 1;
    ClockSettings.VerticalBorderHeight = 0;
    BuildClockFonts();
    ProbeDpiX();
    ok_int(ClockLayout.DpiX, Dpi);
    ClockLayout.DigitHeight = MeasureDigitHeight();
    int line = MeasureLineHeight();
    int content = ComputeContentHeight();
    printf("dpi %d, FontLevel %lu: digit height %d, line height %d, content height %d\n", Dpi, FontProbe.FontLevel,
           ClockLayout.DigitHeight, line, content);
    ok(ClockLayout.DigitHeight > 0 && ClockLayout.DigitHeight < MulDiv(38, Dpi, 72), "digit height %d\n",
       ClockLayout.DigitHeight);
    ok(line > 0 && content > ClockLayout.DigitHeight + line, "line %d, content %d\n", line, content);
}

// Measures the layout sees: nine digits 180 px wide in the hour font
// (two digits: 40), 126 in the seconds font (28), a 13 px separator,
// markers "AM" 17 x 11 and "PM" 15 x 10; digit height 50 - 9 - 4 = 37 and
// a day/date line 13 high.
static SIZE FakeExtent(HDC dc, const WCHAR *text, int length)
{
    SIZE size = {13, 20};
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    if (length == 9)
        size.cx = font == (HGDIOBJ)ClockFonts.SecondsFont ? 126 : 180;
    else if (length == 2 && text[0] == L'A')
        size = {17, 11};
    else if (length == 2 && text[0] == L'P')
        size = {15, 10};
    return size;
}

static BOOL WINAPI FakeGetTextExtentExPointW(HDC dc, LPCWSTR text, int length, int, LPINT fit, LPINT, LPSIZE size)
{
    *size = FakeExtent(dc, text, length);
    if (fit)
        *fit = length;
    return TRUE;
}

// How often the day/date font was measured.
static int DayDateMeasures;

static BOOL WINAPI FakeGetTextMetricsW(HDC dc, LPTEXTMETRICW metrics)
{
    *metrics = TEXTMETRICW();
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    if (font == (HGDIOBJ)ClockFonts.HourMinuteFont) {
        metrics->tmHeight = 50;
        metrics->tmDescent = 9;
        metrics->tmInternalLeading = 4;
    } else if (font == (HGDIOBJ)ClockFonts.DayDateFont) {
        metrics->tmHeight = 13;
        DayDateMeasures++;
    }
    return TRUE;
}

struct WorkedLayout {
    int Dpi;
    // Seconds and markers shown, day/date line on, no border.
    int BellLeft, MarkerRight, TimeWidth, Content, BellTop;
    // Only the bell in the column, no day/date line, border 4.
    int BareBellLeft, BareMarkerRight, BareTimeWidth, BareContent, BareBellTop, BareDayDateTop;
    int BottomMargin, DayDateGap, UpperMarkerRise, SideMargin;
};

// Worked by hand from the layout rules with the measures above: hour right
// 40, separator centre 40 + 6, minute right 13 + 80 = 93, seconds right
// 93 + 28 + 40/14 = 123, marker column from 123 + 40/8 = 128 (93 + 40/9 = 97
// without seconds).
static const WorkedLayout Worked[] = {
    {96, 131, 145, 145, 63, 21, 97, 103, 114, 47, 9, 7, 6, 5, 16, 10},
    {128, 129, 145, 145, 67, 23, 97, 105, 120, 50, 10, 8, 8, 7, 18, 13},
    {192, 128, 147, 167, 76, 27, 97, 107, 127, 57, 12, 10, 12, 10, 21, 20},
};

static void LayOutWith(DWORD seconds, DWORD markers, DWORD dayDate, DWORD border)
{
    ClockSettings.ShowSeconds = seconds;
    ClockSettings.ShowTimeMarkers = markers;
    ClockSettings.ShowDayDate = dayDate;
    ClockSettings.VerticalBorderHeight = border;
    ClockSettings.AlarmIconEnabled = 1;
    ClockLayout.DigitHeight = MeasureDigitHeight();
    LayOutFace();
    ClockLayout.ContentHeight = ComputeContentHeight();
}

static void test_worked_layout()
{
    const WorkedLayout *e = NULL;
    for (const WorkedLayout &worked : Worked)
        if (worked.Dpi == Dpi)
            e = &worked;
    UseSizes(38, 26, 9);
    ProbeDpiX();
    lstrcpyW(TimeFormatInfo.AmMarker, L"AM");
    lstrcpyW(TimeFormatInfo.PmMarker, L"PM");
    void *extent = NULL, *metrics = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "GetTextExtentExPointW", (void *)FakeGetTextExtentExPointW,
                     &extent) > 0,
       "GetTextExtentExPointW\n");
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "GetTextMetricsW", (void *)FakeGetTextMetricsW, &metrics) > 0,
       "GetTextMetricsW\n");
    // The build measures the day/date line; the layout and the content
    // height take its figure without measuring it again.
    DayDateMeasures = 0;
    BuildClockFonts();
    ok_int(DayDateMeasures, 1);

    LayOutWith(1, 1, 1, 0);
    ok_int(ClockLayout.DigitHeight, 37);
    ok_int(ClockLayout.HourRight, 40);
    ok_int(ClockLayout.SeparatorCenter, 46);
    ok_int(ClockLayout.MinuteRight, 93);
    ok_int(ClockLayout.SecondsRight, 123);
    ok_int(ClockLayout.BellLeft, e->BellLeft);
    ok_int(ClockLayout.MarkerRight, e->MarkerRight);
    ok_int(ClockLayout.TimeWidth, e->TimeWidth);
    ok_int(ClockLayout.ContentHeight, e->Content);
    ok_int(ClockLayout.BellTop, e->BellTop);
    ok_int(ClockLayout.DayDateTop, e->BareDayDateTop - 4);
    ok_int(ClockLayout.BottomMargin, e->BottomMargin);
    ok_int(ClockLayout.DayDateGap, e->DayDateGap);
    ok_int(ClockLayout.UpperMarkerRise, e->UpperMarkerRise);
    ok_int(ClockLayout.DayDateSideMargin, e->SideMargin);

    LayOutWith(0, 0, 0, 4);
    ok_int(ClockLayout.BellLeft, e->BareBellLeft);
    ok_int(ClockLayout.MarkerRight, e->BareMarkerRight);
    ok_int(ClockLayout.TimeWidth, e->BareTimeWidth);
    ok_int(ClockLayout.ContentHeight, e->BareContent);
    ok_int(ClockLayout.BellTop, e->BareBellTop);
    ok_int(ClockLayout.DayDateTop, e->BareDayDateTop);
    ok_int(DayDateMeasures, 1);

    ReplaceImport(GetModuleHandleW(NULL), NULL, "GetTextExtentExPointW", extent, NULL);
    ReplaceImport(GetModuleHandleW(NULL), NULL, "GetTextMetricsW", metrics, NULL);
    ClockSettings.VerticalBorderHeight = 0;
    ClockSettings.ShowSeconds = 1;
    ClockSettings.ShowTimeMarkers = 1;
}

static void test_marker_column()
{
    const int k = 100;
    ClockSettings.AlarmIconEnabled = 1;
    // Markers off, bell on: the markers' anchor is centred in the bell column.
    PlaceMarkerColumn(k, 0, 11);
    ok_int(ClockLayout.BellLeft, k);
    ok_int(ClockLayout.MarkerRight, k + 6);
    ok_int(ClockLayout.TimeWidth, k + 17);
    // Wider markers: the bell is centred under them.
    PlaceMarkerColumn(k, 18, 11);
    ok_int(ClockLayout.BellLeft, k + 4);
    ok_int(ClockLayout.MarkerRight, k + 18);
    ok_int(ClockLayout.TimeWidth, k + 18);
    PlaceMarkerColumn(k, 15, 15);
    ok_int(ClockLayout.BellLeft, k);
    ok_int(ClockLayout.MarkerRight, k + 15);
    ok_int(ClockLayout.TimeWidth, k + 15);
    // Neither markers nor bell: the group ends with the digits.
    ClockSettings.AlarmIconEnabled = 0;
    ClockLayout.BellLeft = 77;
    ClockLayout.MinuteRight = 90;
    ClockLayout.SecondsRight = 95;
    ClockSettings.ShowSeconds = 0;
    PlaceMarkerColumn(k, 0, 11);
    ok_int(ClockLayout.TimeWidth, 90);
    ok_int(ClockLayout.MarkerRight, k);
    ok_int(ClockLayout.BellLeft, 77);
    ClockSettings.ShowSeconds = 1;
    PlaceMarkerColumn(k, 0, 11);
    ok_int(ClockLayout.TimeWidth, 95);
    ClockSettings.AlarmIconEnabled = 1;
    // Without seconds the column starts a ninth of a digit after the
    // minutes: 90 + 45/9 (the worked layout's digit of 40 gives 4 for a
    // ninth and a tenth alike).
    ClockSettings.ShowSeconds = 0;
    ok_int(PlaceSeconds(NULL, 45), 95);
    ClockSettings.ShowSeconds = 1;
}

static void test_item_rect()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FaceRectWindow";
    RegisterClassW(&wc);
    HWND outer = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 300, 320, NULL, NULL, NULL, NULL);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 240, 320, outer, NULL, NULL, NULL);
    HWND item = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 10, 240, 57, parent, NULL, NULL, NULL);
    RECT rect;
    ItemRect(item, &rect);
    ok(rect.left == 0 && rect.top == 0 && rect.right == 240 && rect.bottom == 57, "rect %ld,%ld,%ld,%ld\n",
       rect.left, rect.top, rect.right, rect.bottom);
    SetWindowPos(item, NULL, 8, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ItemRect(item, &rect);
    ok_int(rect.right, 232);
    // A narrower grandparent limits the width.
    SetWindowPos(item, NULL, 0, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(outer, NULL, 0, 0, 200, 320, SWP_NOMOVE | SWP_NOZORDER);
    ItemRect(item, &rect);
    ok_int(rect.right, 200);
    DestroyWindow(outer);
    // The profiles' screens: the three turned ones are landscape.
    static const struct {
        int Width, Height;
        DWORD Landscape;
    } screens[] = {{240, 320, 0}, {320, 320, 0}, {480, 640, 0}, {240, 240, 0}, {240, 400, 0},
                   {480, 480, 0}, {480, 800, 0}, {640, 480, 1}, {400, 240, 1}, {800, 480, 1}};
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN), known = 0;
    for (const auto &e : screens) {
        if (e.Width != cx || e.Height != cy)
            continue;
        ok_int(ProbeLandscape(), e.Landscape);
        known++;
    }
    ok(known == 1, "a %dx%d screen is no profile's\n", cx, cy);
}

// The bell's outline at each resolution, as the face's drawings give it:
// (x, y) pixels from the outline's origin.
static const POINT Bell96[] = {{5, 0}, {4, 1}, {3, 1}, {2, 2}, {2, 6}, {0, 8}, {5, 8}, {5, 9}, {4, 10},
                               {5, 11}, {6, 10}, {5, 9}, {5, 8}, {10, 8}, {8, 6}, {8, 2}, {7, 1}, {6, 1}};
static const POINT Bell128[] = {{0, 9}, {3, 6}, {3, 4}, {4, 1}, {7, 0}, {10, 1}, {11, 4}, {11, 6},
                                {14, 9}, {7, 9}, {7, 11}, {8, 12}, {7, 13}, {6, 12}, {7, 11}, {7, 9}};
static const POINT Bell192[] = {{9, 0}, {9, 2}, {6, 2}, {3, 5}, {2, 8}, {2, 12}, {0, 17}, {9, 17},
                                {9, 19}, {8, 20}, {8, 21}, {9, 22}, {10, 22}, {11, 21}, {11, 20}, {10, 19},
                                {10, 17}, {19, 17}, {17, 12}, {17, 8}, {16, 5}, {13, 2}, {10, 2}, {10, 0}};

struct InkBitmap {
    HDC Dc;
    HBITMAP Bitmap;
    HGDIOBJ PreviousBitmap, PreviousBrush;
    DWORD *Bits;
};

static const int InkSide = 40;

static void CreateInkBitmap(InkBitmap *ink)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = InkSide;
    info.bmiHeader.biHeight = -InkSide;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    ink->Dc = CreateCompatibleDC(NULL);
    ink->Bitmap = CreateDIBSection(ink->Dc, &info, DIB_RGB_COLORS, (void **)&ink->Bits, NULL, 0);
    ink->PreviousBitmap = SelectObject(ink->Dc, ink->Bitmap);
    ink->PreviousBrush = SelectObject(ink->Dc, GetStockObject(BLACK_BRUSH));
    PatBlt(ink->Dc, 0, 0, InkSide, InkSide, WHITENESS);
}

static void DeleteInkBitmap(InkBitmap *ink)
{
    SelectObject(ink->Dc, ink->PreviousBrush);
    SelectObject(ink->Dc, ink->PreviousBitmap);
    DeleteObject(ink->Bitmap);
    DeleteDC(ink->Dc);
}

// The bell is drawn pixel for pixel as its outline says, moved to the
// origin given, at each resolution, and not at all at any other.
static void test_bell_outline()
{
    struct { int Dpi; const POINT *Points; int Count; } bells[] = {
        {96, Bell96, ARRAYSIZE(Bell96)}, {128, Bell128, ARRAYSIZE(Bell128)}, {192, Bell192, ARRAYSIZE(Bell192)},
        {120, NULL, 0}};
    int saved = ClockLayout.DpiX;
    for (const auto &bell : bells) {
        InkBitmap drawn, expected;
        CreateInkBitmap(&drawn);
        CreateInkBitmap(&expected);
        ClockLayout.DpiX = bell.Dpi;
        DrawBellOutline(drawn.Dc, 5, 7);
        POINT moved[24];
        for (int i = 0; i < bell.Count; i++)
            moved[i] = {bell.Points[i].x + 5, bell.Points[i].y + 7};
        if (bell.Count > 0)
            Polygon(expected.Dc, moved, bell.Count);
        GdiFlush();
        int differ = 0, inked = 0;
        for (int i = 0; i < InkSide * InkSide; i++) {
            differ += (drawn.Bits[i] & 0xFFFFFF) != (expected.Bits[i] & 0xFFFFFF);
            inked += (drawn.Bits[i] & 0xFFFFFF) == 0;
        }
        ok(differ == 0, "%d dpi: %d pixels differ from the outline", bell.Dpi, differ);
        ok(bell.Count > 0 ? inked > 0 : inked == 0, "%d dpi: %d pixels inked", bell.Dpi, inked);
        DeleteInkBitmap(&drawn);
        DeleteInkBitmap(&expected);
    }
    ClockLayout.DpiX = saved;
}

// The stored words are opacity and grey chosen apart; the cells hold them
// premultiplied. The key is matched on its colour bytes.
static void test_cell_alpha()
{
    ClockSettings.AlphaReserved = 0xFFA0B0C0;
    ClockSettings.AlphaTime = 0x2D808080;
    ClockSettings.AlphaDayDate = 0x66C0C0C0;
    ClockSettings.AlphaTransparent = 0x80FF4020;
    // Three rows of two, bottom row first; the band starts at row 2.
    DWORD bits[6] = {0xA0B0C0, 0, 0xA0B0C0, 0xFFA0B0C0, 0xA0B0C0, 0xA0B0C1};
    ApplyCellAlpha(bits, 2, 3, 2);
    ok_int(bits[0], 0x2D171717);
    ok_int(bits[1], 0x80802010);
    ok_int(bits[2], 0x2D171717);
    ok_int(bits[3], 0x2D171717);
    ok_int(bits[4], 0x664D4D4D);
    ok_int(bits[5], 0x80802010);
    ok_int(PremultipliedCellWord(0xFFFFFFFF), 0xFFFFFFFF);
    ok_int(PremultipliedCellWord(0x00FFFFFF), 0);
    ClockSettings.AlphaReserved = 0xA0B0C0;
    ClockSettings.AlphaTime = 0x2D000000;
    ClockSettings.AlphaDayDate = 0x66000000;
    ClockSettings.AlphaTransparent = 0;
}

// No measure may divide by zero, and an unsupported resolution gives the
// item no height.
static void test_bad_input()
{
    ClockSettings.ShowDayDate = 1;
    ClockLayout.DigitHeight = 0;
    ok_int(ContentHeightFor(0, 13), DeviceY(11) + 13);
    ClockLayout.DigitHeight = -5;
    PlaceVerticalMetrics(13);
    ok_int(ClockLayout.BellTop, DeviceY(7) + 13);

    ClockSettings.VerticalBorderHeight = 40;
    int saved = ClockLayout.DpiX;
    const int unsupported[] = {120, 0, -1, 144};
    for (int dpi : unsupported) {
        ClockLayout.DpiX = dpi;
        ClockSettings.VerticalBorderHeight = 40;
        ok_int(ComputeContentHeight(), 0);
        ok_int(ClockSettings.VerticalBorderHeight, 0);
        ok_int(BellWidth(dpi), 0);
    }
    ClockLayout.DpiX = saved;

    // A window without fonts measures zeros and lays out without faults.
    DeleteClockFonts();
    ClockLayout.DigitHeight = MeasureDigitHeight();
    LayOutFace();
    ok(ComputeContentHeight() >= 0, "content height\n");
    BuildClockFonts();
}

static int BitBlts;
typedef BOOL(WINAPI *BitBltFunction)(HDC, int, int, int, int, HDC, int, int, DWORD);
static BitBltFunction RealBitBlt;

// This program's own import is replaced, so the real function is called
// through the address the table held before.
static BOOL WINAPI CountingBitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop)
{
    BitBlts++;
    return RealBitBlt(dest, x, y, w, h, source, sx, sy, rop);
}

static LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        return PaintItem(window);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Without a content height, at a resolution the face has no outlines for,
// or with a layout not (yet) measured, paint draws nothing but still
// validates the window.
static void test_nothing_drawn()
{
    void *original = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "BitBlt", (void *)CountingBitBlt, &original) > 0, "BitBlt\n");
    RealBitBlt = (BitBltFunction)original;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintingProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"FacePaintingWindow";
    RegisterClassW(&wc);
    // The host class registered with a hidden pair of windows made and
    // gone: without one, the visible host made below never had its child
    // painted under Wine.
    HWND hidden;
    CreateItemLikeWindow(&hidden);
    DestroyWindow(hidden);
    HWND parent = CreateWindowExW(0, L"FaceUnitsWindow", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, NULL, NULL,
                                  NULL, NULL);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"item", WS_CHILD | WS_VISIBLE, 0, 0, 240, 60, parent, NULL,
                                  wc.hInstance, NULL);
    int saved = ClockLayout.DpiX;
    ok(LayOutFace(), "laid out\n");
    const int cases[][3] = {{120, 50, 1}, {0, 50, 1}, {saved, 0, 1}, {saved, 50, 0}};
    for (const auto &c : cases) {
        ClockLayout.DpiX = c[0];
        ClockLayout.ContentHeight = c[1];
        ClockLayout.Known = c[2];
        BitBlts = 0;
        InvalidateRect(window, NULL, FALSE);
        UpdateWindow(window);
        RECT update;
        ok(BitBlts == 0 && !GetUpdateRect(window, &update, FALSE), "dpi %d, height %d: %d BitBlts\n", c[0], c[1],
           BitBlts);
    }
    // The same window at a supported resolution is drawn, in one copy to
    // the screen after the cached background's.
    ClockLayout.DpiX = saved;
    ClockLayout.ContentHeight = 50;
    ClockLayout.Known = 1;
    BitBlts = 0;
    InvalidateRect(window, NULL, FALSE);
    UpdateWindow(window);
    ok_int(BitBlts, 2);
    DestroyWindow(parent);
    ok(FaceSurfaces.Compose.DC != NULL && FaceSurfaces.Cells.Bitmap != NULL, "no surfaces kept after a paint\n");
    ReleaseFaceSurfaces();
    const FaceSurface *surfaces[] = {&FaceSurfaces.Cells, &FaceSurfaces.Normal, &FaceSurfaces.Selected,
                                     &FaceSurfaces.Compose};
    for (const FaceSurface *surface : surfaces)
        ok(surface->DC == NULL && surface->Bitmap == NULL && surface->Previous == NULL, "surface left\n");
    ok(FaceSurfaces.CellBits == NULL && FaceSurfaces.Width == 0, "cell pixels left\n");
}

// The cell pixels the window paints with the fonts of private-face level
// `level`.
static void CellsAtLevel(HWND window, DWORD level, DWORD *cells, int count)
{
    FontProbe.FontLevel = level;
    DeleteClockFonts();
    BuildClockFonts();
    ClockLayout.DigitHeight = MeasureDigitHeight();
    LayOutFace();
    ClockLayout.ContentHeight = ComputeContentHeight();
    ItemState.BackgroundDirty = 1;
    InvalidateRect(window, NULL, FALSE);
    UpdateWindow(window);
    if (FaceSurfaces.CellBits && FaceSurfaces.Width * FaceSurfaces.Height == count)
        memcpy(cells, FaceSurfaces.CellBits, count * sizeof(DWORD));
}

// A painting item window of the screen's width and `h` rows over a host
// window, for the face at 38/26/9 points with the day/date line and no
// border.
static HWND OpenPaintingFace(HWND *parent, int *w, int *h)
{
    UseSizes(38, 26, 9);
    ClockSettings.ShowDayDate = 1;
    ClockSettings.VerticalBorderHeight = 0;
    *w = GetSystemMetrics(SM_CXSCREEN);
    *h = 60 * ClockLayout.DpiX / 96;
    *parent = CreateWindowExW(0, L"FaceUnitsWindow", L"host", WS_POPUP | WS_VISIBLE, 0, 0, *w, *h * 2, NULL, NULL,
                              NULL, NULL);
    return CreateWindowExW(0, L"FacePaintingWindow", L"item", WS_CHILD | WS_VISIBLE, 0, 0, *w, *h, *parent, NULL,
                           GetModuleHandleW(NULL), NULL);
}

static void ClosePaintingFace(HWND parent)
{
    DestroyWindow(parent);
    ReleaseFaceSurfaces();
}

// The cut of the digit cells follows the private face alone: at level 2
// (the private face without Tahoma) the cells are the same as at level 3,
// and without the private face (level 1) there is no cut.
static void test_cells_follow_private_face()
{
    if (FontProbe.FontLevel != 3) {
        skip("no private face on this device\n");
        return;
    }
    HWND parent;
    int w, h;
    HWND window = OpenPaintingFace(&parent, &w, &h);
    const int count = w * h;
    DWORD *cells[3];
    for (DWORD *&c : cells)
        c = (DWORD *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(DWORD));
    CellsAtLevel(window, 3, cells[0], count);
    CellsAtLevel(window, 2, cells[1], count);
    CellsAtLevel(window, 1, cells[2], count);
    int sameAt2 = 0, sameAt1 = 0;
    for (int i = 0; i < count; i++) {
        sameAt2 += cells[1][i] == cells[0][i];
        sameAt1 += cells[2][i] == cells[0][i];
    }
    ok_int(sameAt2, count);
    ok(sameAt1 < count, "no cut without the private face: %d of %d cell pixels alike\n", sameAt1, count);
    for (DWORD *c : cells)
        HeapFree(GetProcessHeap(), 0, c);
    ClosePaintingFace(parent);
    FontProbe.FontLevel = 3;
}

// The cell's rounded top-left corner, in the 6 by 6 pixels from the cell's
// box (3, 1 at 96 dpi; 4, 1 at 128; 6, 2 at 192): the pixels its outline
// and its rounding (an ellipse of 5, 7 and 10 pixels) leave transparent.
static void test_cell_corner()
{
    HWND parent;
    int w, h;
    HWND window = OpenPaintingFace(&parent, &w, &h);
    const int count = w * h;
    DWORD *cells = (DWORD *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(DWORD));
    CellsAtLevel(window, FontProbe.FontLevel, cells, count);
    const int dpi = ClockLayout.DpiX, left = dpi == 96 ? 3 : dpi == 128 ? 4 : 6, top = dpi == 192 ? 2 : 1;
    // Rows are stored bottom-up; the bitmap's first pixel lies outside the cell.
    const DWORD outside = cells[(h - 1) * w];
    int transparent = 0;
    for (int y = top; y < top + 6; y++)
        for (int x = left; x < left + 6; x++)
            transparent += cells[(h - 1 - y) * w + x] == outside;
    ok_int(transparent, dpi == 96 ? 11 : dpi == 128 ? 12 : 14);
    HeapFree(GetProcessHeap(), 0, cells);
    ClosePaintingFace(parent);
}

int main()
{
    run_test(test_resolution);
    run_test(test_foreign_private_file);
    run_test(test_probe);
    run_test(test_probe_rules);
    run_test(test_font_heights);
    run_test(test_build_fonts);
    run_test(test_mapping);
    run_test(test_real_measures);
    run_test(test_worked_layout);
    run_test(test_marker_column);
    run_test(test_item_rect);
    run_test(test_bell_outline);
    run_test(test_cell_alpha);
    run_test(test_bad_input);
    run_test(test_nothing_drawn);
    run_test(test_cells_follow_private_face);
    run_test(test_cell_corner);
    DeleteClockFonts();
    RemovePrivateFont();
    return TestSummary();
}
