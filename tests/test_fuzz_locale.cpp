// Random locale data (time formats, designators, separators and date
// pictures up to 200 characters) through the refresh query, layout and
// paint. The locale reads of the item's code are answered by a stand-in
// with the platform's buffer rules; a buffer that is too small gets a
// failure and unterminated garbage, as the platform may leave it. The
// locale's own short and long date are the random pictures too: the
// platform's date formatter is handed them in their place, so every
// picture is formatted for real into the item's buffers.
// QZL_FUZZ_CASES sets the number of cases (full run: 1,000).
#include "testlib.h"
#include "fakehost.h"
#include "iat.h"
#include "today-standins.h"
#include "settings.h"
#include "module.h"
#include "itemwindow.h"
#include "timeformat.h"
#include <stdlib.h>

struct FakeLocaleRecord {
    WCHAR TimeFormat[256];
    WCHAR Am[256];
    WCHAR Pm[256];
    WCHAR Separator[256];
    WCHAR LongDate[256];
    WCHAR ShortDate[256];
    int Reads;
    int DatePictures;         // short or long dates formatted with a random picture
    int TimeFields;           // time fields formatted
};
static FakeLocaleRecord FakeLocale;
static int (WINAPI *RealGetLocaleInfoW)(LCID, LCTYPE, LPWSTR, int);
static int (WINAPI *RealGetDateFormatW)(LCID, DWORD, const SYSTEMTIME *, LPCWSTR, LPWSTR, int);
static int (WINAPI *RealGetTimeFormatW)(LCID, DWORD, const SYSTEMTIME *, LPCWSTR, LPWSTR, int);

static const WCHAR *FakeValue(LCTYPE type)
{
    switch (type & ~LOCALE_NOUSEROVERRIDE) {
    case LOCALE_STIMEFORMAT: return FakeLocale.TimeFormat;
    case LOCALE_S1159: return FakeLocale.Am;
    case LOCALE_S2359: return FakeLocale.Pm;
    case LOCALE_STIME: return FakeLocale.Separator;
    case LOCALE_SLONGDATE: return FakeLocale.LongDate;
    case LOCALE_SSHORTDATE: return FakeLocale.ShortDate;
    }
    return NULL;
}

static int WINAPI FakeGetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int chars)
{
    const WCHAR *value = FakeValue(type);
    if (value == NULL)
        return RealGetLocaleInfoW(locale, type, data, chars);
    FakeLocale.Reads++;
    int needed = lstrlenW(value) + 1;
    if (chars == 0)
        return needed;
    if (chars < needed) {
        for (int i = 0; i < chars; i++)
            data[i] = L'#';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    lstrcpyW(data, value);
    return needed;
}

static const WCHAR *LocaleDatePicture(DWORD flags)
{
    if (flags & DATE_LONGDATE)
        return FakeLocale.LongDate;
    if (flags & DATE_SHORTDATE)
        return FakeLocale.ShortDate;
    return NULL;
}

static int WINAPI FakeGetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME *time, LPCWSTR picture, LPWSTR data,
                                     int chars)
{
    const WCHAR *own = picture == NULL ? LocaleDatePicture(flags) : NULL;
    if (own == NULL)
        return RealGetDateFormatW(locale, flags, time, picture, data, chars);
    FakeLocale.DatePictures++;
    return RealGetDateFormatW(locale, flags & ~(DATE_SHORTDATE | DATE_LONGDATE), time, own, data, chars);
}

static int WINAPI FakeGetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME *time, LPCWSTR picture, LPWSTR data,
                                     int chars)
{
    FakeLocale.TimeFields++;
    return RealGetTimeFormatW(locale, flags, time, picture ? picture : FakeLocale.TimeFormat, data, chars);
}

static unsigned long long RandomState = 0x10CA1E5EEDull;

static DWORD Random()
{
    return NextRandom(&RandomState);
}

static void RandomText(WCHAR *text, const WCHAR *alphabet, int longest)
{
    int length = Random() % 3 == 0 ? (int)(Random() % (longest + 1)) : (int)(Random() % 16);
    int letters = lstrlenW(alphabet);
    for (int i = 0; i < length; i++)
        text[i] = alphabet[Random() % letters];
    text[length] = 0;
}

static void RandomLocale()
{
    RandomText(FakeLocale.TimeFormat, L"tthHms':. xAP\"", 200);
    RandomText(FakeLocale.Am, L"AMam.vorn", 20);
    RandomText(FakeLocale.Pm, L"PMpm.nach", 20);
    RandomText(FakeLocale.Separator, L":.h ", 6);
    RandomText(FakeLocale.LongDate, L"dMy,' tHg", 200);
    RandomText(FakeLocale.ShortDate, L"dMy/.-", 40);
}

static void CheckStoredStrings(int index)
{
    ok(TerminatedWithin(TimeFormatInfo.TimeFormat, TIME_FORMAT_CHARS), "case %d: time format", index);
    ok(TerminatedWithin(TimeFormatInfo.AmMarker, MARKER_CHARS), "case %d: AM marker", index);
    ok(TerminatedWithin(TimeFormatInfo.PmMarker, MARKER_CHARS), "case %d: PM marker", index);
    WCHAR am[MARKER_CHARS + 8], pm[MARKER_CHARS + 8];
    for (int i = 0; i < MARKER_CHARS + 8; i++)
        am[i] = pm[i] = L'~';
    ExtractMarkers(FakeLocale.TimeFormat, am, pm);
    ok(TerminatedWithin(am, MARKER_CHARS) && am[MARKER_CHARS] == L'~', "case %d: markers stay in 10 characters",
       index);
    ok(TerminatedWithin(pm, MARKER_CHARS) && pm[MARKER_CHARS] == L'~', "case %d: markers stay in 10 characters",
       index);
}

// The date text is the platform's formatting of the random picture, cut
// to the line's 59 characters.
static void CheckDateText(int index)
{
    static const SYSTEMTIME when = {2024, 12, 6, 28, 23, 59, 58, 0};
    DWORD centre = ClockSettings.CenterDayDate;
    DayDateTexts texts;
    memset(&texts, 0x55, sizeof(texts));
    ComposeDayDate(&when, &texts);
    ClockSettings.CenterDayDate = centre;
    static WCHAR whole[4096];
    const WCHAR *picture = ClockSettings.ShowShortDate ? FakeLocale.ShortDate : FakeLocale.LongDate;
    if (RealGetDateFormatW(LOCALE_USER_DEFAULT, 0, &when, picture, whole, ARRAYSIZE(whole)) <= 0)
        whole[0] = 0;
    whole[DAY_DATE_CHARS - 1] = 0;
    int length = lstrlenW(whole);
    if (length > 0 && IS_HIGH_SURROGATE(whole[length - 1]))
        whole[length - 1] = 0;
    ok(TerminatedWithin(texts.Date, DAY_DATE_CHARS) && lstrcmpW(texts.Date, whole) == 0,
       "case %d: picture \"%ls\" gave \"%.59ls\", expected \"%ls\"", index, picture, texts.Date, whole);
    ok(TerminatedWithin(texts.DaySlot, DAY_DATE_CHARS), "case %d: day slot", index);
}

static void test_random_locales()
{
    int cases = 200;
    if (const char *env = getenv("QZL_FUZZ_CASES"))
        cases = atoi(env);
    HWND host = CreateFakeHost();
    TODAYLISTITEM record = {};
    record.tlit = tlitCustom;
    HWND item = InitializeCustomItem(&record, host);
    DWORD start = GetTickCount();
    for (int i = 0; i < cases; i++) {
        RandomLocale();
        ClockSettings.ShowTimeMarkers = Random() % 4 != 0;
        ClockSettings.ShowShortDate = Random() % 2;
        ClockSettings.CenterDayDate = Random() % 6;
        ClockSettings.ShowDayDate = Random() % 5 != 0;
        ClockSettings.ShowSeconds = Random() % 2;
        SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
        if (i % 7 == 0)
            SendMessageW(item, WM_CREATE, 0, 0);
        SetWindowPos(item, NULL, 0, 40, GetSystemMetrics(SM_CXSCREEN), (int)(record.cyp % 1000),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(item, NULL, FALSE);
        UpdateWindow(item);
        CheckStoredStrings(i);
        CheckDateText(i);
    }
    ok(FakeLocale.Reads > 0, "the item's locale reads went through the stand-in");
    ok(FakeLocale.DatePictures >= cases, "%d of %d cases formatted a random date picture", FakeLocale.DatePictures,
       cases);
    ok(FakeLocale.TimeFields > 0, "no time field formatted");
    printf("%d locale cases in %lu ms\n", cases, GetTickCount() - start);
    DestroyWindow(item);
    DestroyFakeHost();
}

int main()
{
    ReplaceImport(GetModuleHandleW(NULL), "kernel32.dll", "GetLocaleInfoW", (void *)FakeGetLocaleInfoW,
                  (void **)&RealGetLocaleInfoW);
    if (RealGetLocaleInfoW == NULL)
        RealGetLocaleInfoW = GetLocaleInfoW;
    ReplaceImport(GetModuleHandleW(NULL), "kernel32.dll", "GetDateFormatW", (void *)FakeGetDateFormatW,
                  (void **)&RealGetDateFormatW);
    if (RealGetDateFormatW == NULL)
        RealGetDateFormatW = GetDateFormatW;
    ReplaceImport(GetModuleHandleW(NULL), "kernel32.dll", "GetTimeFormatW", (void *)FakeGetTimeFormatW,
                  (void **)&RealGetTimeFormatW);
    if (RealGetTimeFormatW == NULL)
        RealGetTimeFormatW = GetTimeFormatW;
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    ModuleAttach(GetModuleHandleW(NULL));
    run_test(test_random_locales);
    ModuleDetach();
    return TestSummary();
}
