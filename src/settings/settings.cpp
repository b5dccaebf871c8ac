#include "settings.h"
#include <stddef.h>

ClockSettingsRecord ClockSettings;
DWORD Selectability;

namespace {

enum LoadRule {
    NoRule,
    ColourRule,   // above 0xFFFFFF becomes 0xFFFFFF
    BorderRule,   // above 500 becomes 500
};

struct DwordSetting {
    const WCHAR *Name;
    size_t Offset;
    DWORD Default;
    LoadRule Rule;
};

#define SETTING(name, def, rule) {L## #name, offsetof(ClockSettingsRecord, name), def, rule}

// In load order. The per-element colours are a group of their own: they
// are read only while the colour scheme uses them.
const DwordSetting LeadingSettings[] = {
    SETTING(AlarmIconEnabled, 1, NoRule),
    SETTING(AlphaDayDate, 0x66000000, NoRule),
    SETTING(AlphaReserved, 0xA0B0C0, NoRule),
    SETTING(AlphaTime, 0x2D000000, NoRule),
    SETTING(AlphaTransparent, 0, NoRule),
    SETTING(CenterDayDate, 1, NoRule),
    SETTING(ClearTypeDayDateEnabled, 0, NoRule),
    SETTING(ClearTypeTimeEnabled, 0, NoRule),
    SETTING(HideTimeInSleep, 0, NoRule),
    SETTING(OverrideARGB, 0, NoRule),
    SETTING(HourMinFontSize, 38, NoRule),
    SETTING(SecondFontSize, 26, NoRule),
    SETTING(TimeMarkerFontSize, 9, NoRule),
    SETTING(ShowDayDate, 1, NoRule),
    SETTING(ShowOpName, 0, NoRule),
    SETTING(ShowSeconds, 1, NoRule),
    SETTING(ShowShortDate, 0, NoRule),
    SETTING(ShowTimeMarkers, 1, NoRule),
    SETTING(SingleTMLine, 0, NoRule),
    SETTING(TapAndHoldEnabled, 0, NoRule),
    SETTING(TextColorEnabled, 0, NoRule),
};

const DwordSetting ElementColours[] = {
    SETTING(ColorExAlarm, 0xFFFFFF, ColourRule),
    SETTING(ColorExDate, 0xFFFFFF, ColourRule),
    SETTING(ColorExDay, 0xFFFFFF, ColourRule),
    SETTING(ColorExHour, 0xFFFFFF, ColourRule),
    SETTING(ColorExMinute, 0xFFFFFF, ColourRule),
    SETTING(ColorExSecond, 0xFFFFFF, ColourRule),
    SETTING(ColorExTMarker, 0xFFFFFF, ColourRule),
    SETTING(ColorExTSeparator, 0xFFFFFF, ColourRule),
};

const DwordSetting TrailingSettings[] = {
    SETTING(TextColorHighlight, 0xFFFFFF, ColourRule),
    SETTING(TextColorDefault, 0xFFFFFF, ColourRule),
    SETTING(VerticalBorderHeight, 0, BorderRule),
};

#undef SETTING

DWORD ApplyLoadRule(LoadRule rule, DWORD value)
{
    switch (rule) {
    case ColourRule: return value > 0xFFFFFF ? 0xFFFFFF : value;
    case BorderRule: return value > 500 ? 500 : value;
    default: return value;
    }
}

DWORD *SettingField(const DwordSetting &setting)
{
    return (DWORD *)((BYTE *)&ClockSettings + setting.Offset);
}

// What a query's result says of the stored value: there (or not there, or
// of the wrong size: the default then stands for it), or unknown, because
// the query itself failed.
BOOL QueryAnswered(LONG rc)
{
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || rc == ERROR_MORE_DATA;
}

// A value counts only when it is exactly four bytes: anything larger fails
// the query, anything smaller would leave part of the field stale. Without
// a key every setting takes its default. FALSE when the query failed.
BOOL LoadDwordSetting(HKEY key, const DwordSetting &setting)
{
    DWORD value = 0, size = sizeof(value);
    LONG rc = key ? RegQueryValueExW(key, setting.Name, NULL, NULL, (BYTE *)&value, &size) : ERROR_FILE_NOT_FOUND;
    if (rc != ERROR_SUCCESS || size != sizeof(value))
        value = setting.Default;
    *SettingField(setting) = ApplyLoadRule(setting.Rule, value);
    return QueryAnswered(rc);
}

BOOL LoadDwordSettings(HKEY key, const DwordSetting *settings, size_t count)
{
    BOOL answered = TRUE;
    for (size_t i = 0; i < count; i++)
        answered &= LoadDwordSetting(key, settings[i]);
    return answered;
}

BOOL SchemeUsesElementColours()
{
    return ClockSettings.TextColorEnabled == 2 || ClockSettings.TextColorEnabled == 3;
}

// Only string data is taken; the last character of the buffer is always a
// terminator, so at most 259 characters survive.
BOOL LoadFileOnAction(HKEY key)
{
    WCHAR *path = ClockSettings.FileOnAction;
    DWORD type = 0, size = sizeof(ClockSettings.FileOnAction);
    LONG rc = key ? RegQueryValueExW(key, L"FileOnAction", NULL, &type, (BYTE *)path, &size) : ERROR_FILE_NOT_FOUND;
    ClockSettings.FileOnActionExpands = rc == ERROR_SUCCESS && type == REG_EXPAND_SZ;
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        lstrcpyW(path, CLOCK_PROGRAM);
        return QueryAnswered(rc);
    }
    size_t chars = size / sizeof(WCHAR);
    path[chars < FILE_ON_ACTION_CHARS ? chars : FILE_ON_ACTION_CHARS - 1] = 0;
    path[FILE_ON_ACTION_CHARS - 1] = 0;
    return TRUE;
}

// A key without values holds no settings: each takes its default, without
// a query for every name (one registry round trip instead of some thirty).
// A key whose count is unknown is read value by value.
BOOL KeyHoldsValues(HKEY key)
{
    DWORD values = 0;
    if (RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        return TRUE;
    return values != 0;
}

} // namespace

BOOL LoadSettings(HKEY key)
{
    if (key && !KeyHoldsValues(key))
        key = NULL;
    BOOL answered = LoadDwordSettings(key, LeadingSettings, ARRAYSIZE(LeadingSettings));
    if (SchemeUsesElementColours())
        answered &= LoadDwordSettings(key, ElementColours, ARRAYSIZE(ElementColours));
    answered &= LoadDwordSettings(key, TrailingSettings, ARRAYSIZE(TrailingSettings));
    answered &= LoadFileOnAction(key);
    return answered;
}

HKEY OpenSettingsKey(RegistryAccess access, LONG *error)
{
    return OpenRegistryKey(HKEY_CURRENT_USER, SETTINGS_KEY, access, error);
}

BOOL LoadSettingsAtAttach()
{
    LONG error = ERROR_SUCCESS;
    HKEY key = OpenSettingsKey(RegistryRead, &error);
    BOOL answered = LoadSettings(key);
    if (key)
        RegCloseKey(key);
    return answered && (key != NULL || error == ERROR_FILE_NOT_FOUND);
}

void ReadSelectability()
{
    HKEY key = OpenRegistryKey(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, RegistryRead);
    if (key == NULL)
        return;
    DWORD value = 0, size = sizeof(value);
    if (RegQueryValueExW(key, L"Selectability", NULL, NULL, (BYTE *)&value, &size) != ERROR_SUCCESS ||
        size != sizeof(value))
        value = 2;
    Selectability = value;
    RegCloseKey(key);
}

void WriteSettingDword(HKEY key, const WCHAR *name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

void WriteSettingString(HKEY key, const WCHAR *name, const WCHAR *value, BOOL expands)
{
    DWORD bytes = (DWORD)(lstrlenW(value) + 1) * sizeof(WCHAR);
    RegSetValueExW(key, name, 0, expands ? REG_EXPAND_SZ : REG_SZ, (const BYTE *)value, bytes);
}

void WriteReloadMarker(HKEY key)
{
    WriteSettingDword(key, RELOAD_MARKER, 0);
}

// Its presence, not its data, is the signal.
BOOL ReloadMarkerPresent(HKEY key)
{
    return RegQueryValueExW(key, RELOAD_MARKER, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

void DeleteReloadMarker(HKEY key)
{
    RegDeleteValueW(key, RELOAD_MARKER);
}
