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

// ---- The stored values -------------------------------------------------

// Names and data of the values a key holds, read in one pass when the key
// holds few of them: a query per setting costs a round trip to the
// registry each (some thirty in all), a pass one per stored value. A key
// that holds many values, or a long name or long data, is queried by name.
const DWORD FewValues = 12;
const DWORD StoredNameChars = 32;
const DWORD StoredDataBytes = FILE_ON_ACTION_CHARS * sizeof(WCHAR);

struct StoredValue {
    WCHAR Name[StoredNameChars];
    DWORD Type;
    DWORD Size;
    BYTE Data[StoredDataBytes];
};

struct StoredValues {
    HKEY Key;       // NULL: no key, every setting takes its default
    int Count;      // -1: the key is queried by name
    StoredValue Values[FewValues];
};

struct KeyShape {
    DWORD Values, LongestName, LongestData;
    FILETIME Written;
};

BOOL ReadKeyShape(HKEY key, KeyShape *shape)
{
    return RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, &shape->Values, &shape->LongestName,
                            &shape->LongestData, NULL, &shape->Written) == ERROR_SUCCESS;
}

BOOL SameShape(const KeyShape &a, const KeyShape &b)
{
    return a.Values == b.Values && CompareFileTime(&a.Written, &b.Written) == 0;
}

// Every value of a key that holds few, or FALSE (the key is then queried by
// name): the key is too large, a call failed, or a writer changed the key
// while it was read.
BOOL ReadFewValues(HKEY key, StoredValues *stored)
{
    KeyShape before, after;
    if (!ReadKeyShape(key, &before) || before.Values > FewValues || before.LongestName >= StoredNameChars ||
        before.LongestData > StoredDataBytes)
        return FALSE;
    for (DWORD i = 0; i < before.Values; i++) {
        StoredValue &value = stored->Values[i];
        DWORD nameChars = StoredNameChars;
        value.Size = StoredDataBytes;
        if (RegEnumValueW(key, i, value.Name, &nameChars, NULL, &value.Type, value.Data, &value.Size) != ERROR_SUCCESS)
            return FALSE;
    }
    if (before.Values > 0 && (!ReadKeyShape(key, &after) || !SameShape(before, after)))
        return FALSE;
    stored->Count = (int)before.Values;
    return TRUE;
}

void ReadStoredValues(HKEY key, StoredValues *stored)
{
    stored->Key = key;
    stored->Count = -1;
    if (key)
        ReadFewValues(key, stored);
}

// Value names compare as the registry compares them; setting names are
// ASCII.
BOOL SameValueName(const WCHAR *a, const WCHAR *b)
{
    for (;; a++, b++) {
        WCHAR x = (*a >= L'a' && *a <= L'z') ? (WCHAR)(*a - 32) : *a;
        WCHAR y = (*b >= L'a' && *b <= L'z') ? (WCHAR)(*b - 32) : *b;
        if (x != y)
            return FALSE;
        if (x == 0)
            return TRUE;
    }
}

// A query with RegQueryValueExW's answers, from whichever source holds the
// values.
LONG QueryStoredValue(const StoredValues &stored, const WCHAR *name, DWORD *type, BYTE *data, DWORD *size)
{
    if (stored.Key == NULL)
        return ERROR_FILE_NOT_FOUND;
    if (stored.Count < 0)
        return RegQueryValueExW(stored.Key, name, NULL, type, data, size);
    for (int i = 0; i < stored.Count; i++) {
        const StoredValue &value = stored.Values[i];
        if (!SameValueName(value.Name, name))
            continue;
        if (type)
            *type = value.Type;
        BOOL fits = value.Size <= *size;
        if (fits)
            CopyMemory(data, value.Data, value.Size);
        *size = value.Size;
        return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
    }
    return ERROR_FILE_NOT_FOUND;
}

// ---- Loading -------------------------------------------------------------

// A value counts only when it is exactly four bytes: anything larger fails
// the query, anything smaller would leave part of the field stale. Without
// a key every setting takes its default. FALSE when the query failed.
BOOL LoadDwordSetting(const StoredValues &stored, const DwordSetting &setting)
{
    DWORD value = 0, size = sizeof(value);
    LONG rc = QueryStoredValue(stored, setting.Name, NULL, (BYTE *)&value, &size);
    if (rc != ERROR_SUCCESS || size != sizeof(value))
        value = setting.Default;
    *SettingField(setting) = ApplyLoadRule(setting.Rule, value);
    return QueryAnswered(rc);
}

BOOL LoadDwordSettings(const StoredValues &stored, const DwordSetting *settings, size_t count)
{
    BOOL answered = TRUE;
    for (size_t i = 0; i < count; i++)
        answered &= LoadDwordSetting(stored, settings[i]);
    return answered;
}

BOOL SchemeUsesElementColours()
{
    return ClockSettings.TextColorEnabled == 2 || ClockSettings.TextColorEnabled == 3;
}

// Only string data is taken; the last character of the buffer is always a
// terminator, so at most 259 characters survive.
BOOL LoadFileOnAction(const StoredValues &stored)
{
    WCHAR *path = ClockSettings.FileOnAction;
    DWORD type = 0, size = sizeof(ClockSettings.FileOnAction);
    LONG rc = QueryStoredValue(stored, L"FileOnAction", &type, (BYTE *)path, &size);
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

} // namespace

BOOL LoadSettings(HKEY key)
{
    // About 7 KiB: on the stack, for the length of one load.
    StoredValues stored;
    ReadStoredValues(key, &stored);
    BOOL answered = LoadDwordSettings(stored, LeadingSettings, ARRAYSIZE(LeadingSettings));
    if (SchemeUsesElementColours())
        answered &= LoadDwordSettings(stored, ElementColours, ARRAYSIZE(ElementColours));
    answered &= LoadDwordSettings(stored, TrailingSettings, ARRAYSIZE(TrailingSettings));
    answered &= LoadFileOnAction(stored);
    return answered;
}

HKEY OpenSettingsKey(RegistryAccess access, LONG *error)
{
    return OpenRegistryKey(HKEY_CURRENT_USER, SETTINGS_KEY, access, error);
}

// The key is opened, read and closed within the load: held open, it could
// not be deleted by anyone (the handheld refuses to delete a key that an
// application has open) while the Today screen runs.
BOOL LoadSettingsAtAttach()
{
    LONG error = ERROR_SUCCESS;
    HKEY key = OpenSettingsKey(RegistryRead, &error);
    BOOL answered = LoadSettings(key);
    if (key != NULL)
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
LONG QueryReloadMarker(HKEY key)
{
    return RegQueryValueExW(key, RELOAD_MARKER, NULL, NULL, NULL, NULL);
}

void DeleteReloadMarker(HKEY key)
{
    RegDeleteValueW(key, RELOAD_MARKER);
}
