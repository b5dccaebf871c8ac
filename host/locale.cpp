// The device's locale for one run. A locale named on the command line is
// what the Today item reads as the user's: its formats, day and month
// names, designators and separators all come from the platform's data for
// that name. The item reads them through its GetLocaleInfoW, GetDateFormatW
// and GetTimeFormatW imports for LOCALE_USER_DEFAULT, which
// InstallDeviceLocale redirects here; other locales pass through. The
// host's title band shows the same locale.
#include "todayemu.h"
#include "iat.h"

struct DeviceLocaleState {
    BOOL Set;
    wchar_t Name[LOCALE_NAME_MAX_LENGTH];   // as the platform spells it
};

static DeviceLocaleState DeviceLocale;

// A search of the platform's locales for one name, without regard to case.
struct LocaleSearch {
    const wchar_t *Wanted;
    wchar_t *Found;
};

static BOOL CALLBACK MatchLocale(LPWSTR name, DWORD, LPARAM search)
{
    LocaleSearch *s = (LocaleSearch *)search;
    if (!name[0] || lstrcmpiW(name, s->Wanted) != 0)
        return TRUE;
    lstrcpynW(s->Found, name, LOCALE_NAME_MAX_LENGTH);
    return FALSE;
}

BOOL FindLocaleName(const wchar_t *wanted, wchar_t *found)
{
    found[0] = 0;
    if (!wanted[0] || wcslen(wanted) >= LOCALE_NAME_MAX_LENGTH)
        return FALSE;
    LocaleSearch search = {wanted, found};
    EnumSystemLocalesEx(MatchLocale, LOCALE_ALL, (LPARAM)&search, NULL);
    return found[0] != 0;
}

const wchar_t *DeviceLocaleName(void)
{
    return DeviceLocale.Set ? DeviceLocale.Name : NULL;
}

void SetDeviceLocale(const wchar_t *name)
{
    DeviceLocale.Set = TRUE;
    lstrcpynW(DeviceLocale.Name, name, LOCALE_NAME_MAX_LENGTH);
}

static int WINAPI DeviceGetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int chars)
{
    if (locale != LOCALE_USER_DEFAULT)
        return GetLocaleInfoW(locale, type, data, chars);
    return GetLocaleInfoEx(DeviceLocale.Name, type, data, chars);
}

static int WINAPI DeviceGetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME *time,
                                       LPCWSTR picture, LPWSTR data, int chars)
{
    if (locale != LOCALE_USER_DEFAULT)
        return GetDateFormatW(locale, flags, time, picture, data, chars);
    return GetDateFormatEx(DeviceLocale.Name, flags, time, picture, data, chars, NULL);
}

static int WINAPI DeviceGetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME *time,
                                       LPCWSTR picture, LPWSTR data, int chars)
{
    if (locale != LOCALE_USER_DEFAULT)
        return GetTimeFormatW(locale, flags, time, picture, data, chars);
    return GetTimeFormatEx(DeviceLocale.Name, flags, time, picture, data, chars);
}

BOOL InstallDeviceLocale(HMODULE module)
{
    if (!DeviceLocale.Set)
        return TRUE;
    int replaced = ReplaceImport(module, NULL, "GetLocaleInfoW", (void *)DeviceGetLocaleInfoW, NULL);
    replaced += ReplaceImport(module, NULL, "GetDateFormatW", (void *)DeviceGetDateFormatW, NULL);
    replaced += ReplaceImport(module, NULL, "GetTimeFormatW", (void *)DeviceGetTimeFormatW, NULL);
    return replaced > 0;
}
