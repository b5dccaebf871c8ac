// The rest of the handheld around the Today item: every setting is changed
// exactly where the item reads it (registry values, the user locale, the
// display mode, power broadcasts), then the host asks the item to refresh
// as the real Today screen would. Changes made by a session are undone at
// exit unless --keep is given, so that one run cannot leak its device
// state into the next run on the same device.
#include "todayemu.h"

#include <stdio.h>

static const wchar_t AppearanceKey[] = L"ControlPanel\\Appearance";
static const wchar_t PhoneKey[] = L"System\\State\\Phone";
static const wchar_t ClockKeyFormat[] = L"Software\\Microsoft\\Clock\\%d";
static const wchar_t SettingsKey[] = L"SOFTWARE\\Marrowfen\\Quartzel";

// Phone status bits of "System\State\Phone" "Status".
enum {
    PhoneNoSim = 0x2,
    PhoneInvalidSim = 0x4,
    PhoneBlockedSim = 0x8,
    PhoneRadioOff = 0x10,
    PhoneRadioPresent = 0x20,
    PhoneRoaming = 0x200,
    PhoneNoService = 0x200000,
    PhoneSearching = 0x400000,
};

struct PhoneState {
    const wchar_t *Label;
    DWORD Status;
    const wchar_t *OperatorName;
};

static const PhoneState PhoneStates[] = {
    {L"Marrowfen Mobile", PhoneRadioPresent, L"Marrowfen Mobile"},
    {L"Roaming (Fenland Net)", PhoneRadioPresent | PhoneRoaming, L"Fenland Net"},
    {L"Searching", PhoneRadioPresent | PhoneSearching, L""},
    {L"No service", PhoneRadioPresent | PhoneNoService, L""},
    {L"No SIM", PhoneRadioPresent | PhoneNoSim, L""},
    {L"Invalid SIM", PhoneRadioPresent | PhoneInvalidSim, L""},
    {L"Blocked SIM", PhoneRadioPresent | PhoneBlockedSim, L""},
    {L"Phone off", PhoneRadioPresent | PhoneRadioOff, L""},
    {L"No phone", 0, L""},
};
enum { PhoneStateCount = sizeof(PhoneStates) / sizeof(PhoneStates[0]) };

// UI font sizes in hundredths of a point.
static const DWORD FontSizes[] = {700, 800, 900, 1000, 1100, 1200, 1400};
enum { FontSizeCount = sizeof(FontSizes) / sizeof(FontSizes[0]), DefaultFontSize = 800 };

// User locale format sets: the formats a user picks in the regional
// settings. The day and month names stay those of the device's locale.
struct LocaleSet {
    const wchar_t *Label;
    const wchar_t *TimeFormat;
    const wchar_t *Am;
    const wchar_t *Pm;
    const wchar_t *ShortDate;
    const wchar_t *LongDate;
};

static const LocaleSet LocaleSets[] = {
    {L"English (US), 12-hour", L"h:mm:ss tt", L"AM", L"PM", L"M/d/yyyy", L"dddd, MMMM d, yyyy"},
    {L"German, 24-hour", L"HH:mm:ss", L"", L"", L"dd.MM.yyyy", L"dddd, d. MMMM yyyy"},
    {L"24-hour with dots (H.mm)", L"H.mm.ss", L"", L"", L"d.M.yyyy", L"dddd d. MMMM yyyy"},
};
enum { LocaleSetCount = sizeof(LocaleSets) / sizeof(LocaleSets[0]) };

static const LCTYPE LocaleFields[] = {LOCALE_STIMEFORMAT, LOCALE_S1159, LOCALE_S2359,
                                      LOCALE_SSHORTDATE, LOCALE_SLONGDATE};
enum { LocaleFieldCount = sizeof(LocaleFields) / sizeof(LocaleFields[0]) };

// ---------------------------------------------------------------------------
// The undo journal: the first change of each registry value or locale field
// records what was there before.

enum PreviousValue {
    ValueAbsent,      // undo deletes the value
    ValueSaved,       // undo writes `Data` back
    ValueUnreadable,  // too large or unreadable: undo leaves it alone
};

// A registry value, or (Root null) a field of the user locale.
struct RegistryUndo {
    HKEY Root;
    wchar_t Subkey[64];
    wchar_t Value[32];
    LCTYPE Field;
    PreviousValue Previous;
    DWORD Type;
    DWORD Size;
    BYTE Data[520];
};

enum { JournalSize = 48 };

struct DeviceJournalState {
    RegistryUndo Registry[JournalSize];
    int RegistryCount;
    BOOL LocaleSaved;
    BOOL Rotated;
    RegistryUndo Record[JournalSize];   // one read back from the device (UndoRecord)
};

static DeviceJournalState DeviceJournal;

// The journal also stands in the device's registry while the run has
// changes in it, so that a run ended from outside (its process killed, as
// a signal to Wine does) leaves a record: the next run undoes it before it
// changes anything. --keep adds what its changes replaced to the kept
// record, which --undo plays back.
static const wchar_t PendingUndoKey[] = L"Software\\TodayEmu\\Undo";
static const wchar_t KeptUndoKey[] = L"Software\\TodayEmu\\Kept";

static DWORD RootNumber(HKEY root)
{
    return root == HKEY_CURRENT_USER ? 1 : root == HKEY_LOCAL_MACHINE ? 2 : 0;
}

static HKEY RootOfNumber(DWORD number)
{
    return number == 1 ? HKEY_CURRENT_USER : number == 2 ? HKEY_LOCAL_MACHINE : NULL;
}

static BOOL SameTarget(const RegistryUndo *a, const RegistryUndo *b)
{
    return a->Root == b->Root && a->Field == b->Field && lstrcmpiW(a->Subkey, b->Subkey) == 0 &&
           lstrcmpiW(a->Value, b->Value) == 0;
}

// Entry `index` of the record under `recordKey`.
static void WriteUndoEntry(const wchar_t *recordKey, int index, const RegistryUndo *undo)
{
    wchar_t path[64];
    wsprintfW(path, L"%ls\\%d", recordKey, index);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    DWORD numbers[4] = {RootNumber(undo->Root), undo->Field, (DWORD)undo->Previous, undo->Type};
    static const wchar_t *const names[4] = {L"Root", L"Field", L"Previous", L"Type"};
    for (int i = 0; i < 4; ++i)
        RegSetValueExW(key, names[i], 0, REG_DWORD, (const BYTE *)&numbers[i], sizeof(DWORD));
    RegSetValueExW(key, L"Key", 0, REG_SZ, (const BYTE *)undo->Subkey, (lstrlenW(undo->Subkey) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, L"Value", 0, REG_SZ, (const BYTE *)undo->Value, (lstrlenW(undo->Value) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, L"Data", 0, REG_BINARY, undo->Data, undo->Previous == ValueSaved ? undo->Size : 0);
    RegCloseKey(key);
}

static BOOL ReadUndoEntry(HKEY record, int index, RegistryUndo *undo)
{
    wchar_t name[16];
    wsprintfW(name, L"%d", index);
    DWORD numbers[4] = {}, size;
    static const wchar_t *const names[4] = {L"Root", L"Field", L"Previous", L"Type"};
    for (int i = 0; i < 4; ++i) {
        size = sizeof(DWORD);
        if (RegGetValueW(record, name, names[i], RRF_RT_REG_DWORD, NULL, &numbers[i], &size) != ERROR_SUCCESS)
            return FALSE;
    }
    *undo = RegistryUndo();
    undo->Root = RootOfNumber(numbers[0]);
    undo->Field = numbers[1];
    undo->Previous = (PreviousValue)numbers[2];
    undo->Type = numbers[3];
    size = sizeof(undo->Subkey);
    RegGetValueW(record, name, L"Key", RRF_RT_REG_SZ, NULL, undo->Subkey, &size);
    size = sizeof(undo->Value);
    RegGetValueW(record, name, L"Value", RRF_RT_REG_SZ, NULL, undo->Value, &size);
    undo->Size = sizeof(undo->Data);
    if (RegGetValueW(record, name, L"Data", RRF_RT_REG_BINARY, NULL, undo->Data, &undo->Size) != ERROR_SUCCESS)
        undo->Previous = ValueUnreadable;
    return TRUE;
}

// Reads the record under `recordKey` into DeviceJournal.Record; the number
// of entries.
static int ReadUndoRecord(const wchar_t *recordKey)
{
    HKEY record;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, recordKey, 0, KEY_READ, &record) != ERROR_SUCCESS)
        return 0;
    int count = 0;
    while (count < JournalSize && ReadUndoEntry(record, count, &DeviceJournal.Record[count]))
        ++count;
    RegCloseKey(record);
    return count;
}

static BOOL AlreadyJournaled(const RegistryUndo *wanted)
{
    for (int i = 0; i < DeviceJournal.RegistryCount; ++i)
        if (SameTarget(&DeviceJournal.Registry[i], wanted))
            return TRUE;
    return FALSE;
}

// Reads what `undo` names as it is now.
static void SavePrevious(RegistryUndo *undo)
{
    undo->Size = sizeof(undo->Data);
    undo->Previous = ValueAbsent;
    if (!undo->Root) {
        int chars = GetLocaleInfoW(LOCALE_USER_DEFAULT, undo->Field, (wchar_t *)undo->Data,
                                   (int)(sizeof(undo->Data) / sizeof(wchar_t)));
        undo->Previous = chars > 0 ? ValueSaved : ValueUnreadable;
        undo->Size = (DWORD)(chars * sizeof(wchar_t));
        undo->Type = REG_SZ;
        return;
    }
    HKEY key;
    if (RegOpenKeyExW(undo->Root, undo->Subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    LONG result = RegQueryValueExW(key, undo->Value, NULL, &undo->Type, undo->Data, &undo->Size);
    RegCloseKey(key);
    if (result == ERROR_SUCCESS)
        undo->Previous = ValueSaved;
    else if (result != ERROR_FILE_NOT_FOUND)
        undo->Previous = ValueUnreadable;
}

static void Journal(HKEY root, const wchar_t *subkey, const wchar_t *value, LCTYPE field)
{
    RegistryUndo wanted = {};
    wanted.Root = root;
    lstrcpynW(wanted.Subkey, subkey, 64);
    lstrcpynW(wanted.Value, value, 32);
    wanted.Field = field;
    if (AlreadyJournaled(&wanted) || DeviceJournal.RegistryCount >= JournalSize)
        return;
    RegistryUndo *undo = &DeviceJournal.Registry[DeviceJournal.RegistryCount];
    *undo = wanted;
    SavePrevious(undo);
    WriteUndoEntry(PendingUndoKey, DeviceJournal.RegistryCount++, undo);
}

static void JournalRegistryValue(HKEY root, const wchar_t *subkey, const wchar_t *value)
{
    Journal(root, subkey, value, 0);
}

static void UndoRegistryValue(const RegistryUndo *undo)
{
    if (undo->Previous == ValueUnreadable)
        return;
    if (!undo->Root) {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, undo->Field, (const wchar_t *)undo->Data);
        return;
    }
    HKEY key;
    if (RegCreateKeyExW(undo->Root, undo->Subkey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    if (undo->Previous == ValueSaved)
        RegSetValueExW(key, undo->Value, 0, undo->Type, undo->Data, undo->Size);
    else
        RegDeleteValueW(key, undo->Value);
    RegCloseKey(key);
}

// Plays the record under `recordKey` back, last change first, and removes
// it; the number of changes undone.
static int UndoRecord(const wchar_t *recordKey)
{
    int count = ReadUndoRecord(recordKey);
    for (int i = count - 1; i >= 0; --i)
        UndoRegistryValue(&DeviceJournal.Record[i]);
    RegDeleteTreeW(HKEY_CURRENT_USER, recordKey);
    return count;
}

// Adds this run's entries to the kept record, except those of values that
// an earlier kept run changed first (their first value is the one to go
// back to).
static void AddToKeptRecord(void)
{
    int count = ReadUndoRecord(KeptUndoKey);
    for (int i = 0; i < DeviceJournal.RegistryCount && count < JournalSize; ++i) {
        BOOL known = FALSE;
        for (int k = 0; k < count && !known; ++k)
            known = SameTarget(&DeviceJournal.Record[k], &DeviceJournal.Registry[i]);
        if (!known) {
            DeviceJournal.Record[count] = DeviceJournal.Registry[i];
            WriteUndoEntry(KeptUndoKey, count++, &DeviceJournal.Registry[i]);
        }
    }
}

void UndoInterruptedRun(void)
{
    int undone = UndoRecord(PendingUndoKey);
    if (undone)
        ReportError(L"todayemu: undid %d device change(s) left by a run that did not finish\n", undone);
}

int UndoKeptChanges(void)
{
    int undone = UndoRecord(KeptUndoKey);
    ReportError(undone ? L"todayemu: undid %d device change(s) that runs with --keep left\n"
                       : L"todayemu: no device changes kept by --keep to undo\n",
                undone);
    return ExitOk;
}

static BOOL WriteDeviceValue(HKEY root, const wchar_t *subkey, const wchar_t *value, DWORD type,
                             const void *data, DWORD size)
{
    JournalRegistryValue(root, subkey, value);
    HKEY key;
    if (RegCreateKeyExW(root, subkey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS) {
        ReportError(L"todayemu: cannot open %ls for writing\n", subkey);
        return FALSE;
    }
    BOOL ok = RegSetValueExW(key, value, 0, type, (const BYTE *)data, size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

static void WriteDeviceString(HKEY root, const wchar_t *subkey, const wchar_t *value,
                              const wchar_t *text)
{
    // Strings are stored with their terminator.
    WriteDeviceValue(root, subkey, value, REG_SZ, text,
                     (DWORD)((lstrlenW(text) + 1) * sizeof(wchar_t)));
}

static BOOL ReadDeviceValue(HKEY root, const wchar_t *subkey, const wchar_t *value, void *data,
                            DWORD size)
{
    HKEY key;
    if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    DWORD got = size;
    BOOL ok = RegQueryValueExW(key, value, NULL, NULL, (BYTE *)data, &got) == ERROR_SUCCESS &&
              got == size;
    RegCloseKey(key);
    return ok;
}

static void JournalLocale(void)
{
    if (DeviceJournal.LocaleSaved)
        return;
    for (int i = 0; i < LocaleFieldCount; ++i)
        Journal(NULL, L"", L"", LocaleFields[i]);
    DeviceJournal.LocaleSaved = TRUE;
}

static void RestoreRotation(void);

void RestoreDevice(void)
{
    if (Host.Options && Host.Options->Keep) {
        AddToKeptRecord();
        if (DeviceJournal.RegistryCount)
            ReportError(L"todayemu: --keep: the device keeps this run's changes; a run with --undo puts "
                        L"back what kept runs changed\n");
    } else {
        for (int i = DeviceJournal.RegistryCount - 1; i >= 0; --i)
            UndoRegistryValue(&DeviceJournal.Registry[i]);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, PendingUndoKey);
    DeviceJournal.RegistryCount = 0;
    DeviceJournal.LocaleSaved = FALSE;
    RestoreRotation();
}

// ---------------------------------------------------------------------------
// Device settings, each written where the item reads it.

static void RefreshItem(void)
{
    QueryItemRefresh();
    if (Host.ItemWindow)
        InvalidateRect(Host.ItemWindow, NULL, FALSE);
    InvalidateRect(Host.Window, NULL, FALSE);
}

static DWORD CurrentFontSize(void)
{
    DWORD size = 0;
    if (!ReadDeviceValue(HKEY_CURRENT_USER, AppearanceKey, L"FontSize", &size, sizeof(size)))
        return DefaultFontSize;
    return size;
}

static void WriteFontSize(DWORD hundredths)
{
    WriteDeviceValue(HKEY_CURRENT_USER, AppearanceKey, L"FontSize", REG_DWORD, &hundredths,
                     sizeof(hundredths));
}

// A running device tells its windows with the shell's metric-change
// message (lParam 1: the font size in points changed).
static void SetUiFontSize(DWORD hundredths)
{
    WriteFontSize(hundredths);
    if (Host.ItemWindow)
        SendMessageW(Host.ItemWindow, Host.UiMetricMessage, 0, 1);
    RefreshItem();
}

static void StepFontSize(int direction)
{
    DWORD current = CurrentFontSize();
    int index = direction > 0 ? 0 : FontSizeCount - 1;
    for (int i = 0; i < FontSizeCount; ++i)
        if (FontSizes[i] == current)
            index = (i + direction + FontSizeCount) % FontSizeCount;
    SetUiFontSize(FontSizes[index]);
}

static void WriteLocaleSet(int set)
{
    JournalLocale();
    const LocaleSet *ls = &LocaleSets[set];
    const wchar_t *values[LocaleFieldCount] = {ls->TimeFormat, ls->Am, ls->Pm, ls->ShortDate,
                                               ls->LongDate};
    for (int i = 0; i < LocaleFieldCount; ++i)
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LocaleFields[i], values[i]);
}

static int CurrentLocaleSet(void)
{
    wchar_t format[80] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, format, 80);
    for (int i = 0; i < LocaleSetCount; ++i)
        if (lstrcmpW(format, LocaleSets[i].TimeFormat) == 0)
            return i;
    return -1;
}

static void SetLocaleSet(int set)
{
    WriteLocaleSet(set);
    RefreshItem();
}

static void WritePhoneStatus(DWORD status)
{
    WriteDeviceValue(HKEY_LOCAL_MACHINE, PhoneKey, L"Status", REG_DWORD, &status, sizeof(status));
}

static void WriteOperatorName(const wchar_t *name)
{
    WriteDeviceString(HKEY_LOCAL_MACHINE, PhoneKey, L"Current Operator Name", name);
}

static void SetPhoneState(int index)
{
    Host.PhoneChoice = index;
    // The name first: the item hears of a change through the status value.
    WriteOperatorName(PhoneStates[index].OperatorName);
    WritePhoneStatus(PhoneStates[index].Status);
    RefreshItem();
}

static void ClockKey(int alarm, wchar_t *subkey)
{
    wsprintfW(subkey, ClockKeyFormat, alarm);
}

static BOOL AlarmIsOn(int alarm)
{
    wchar_t subkey[40];
    ClockKey(alarm, subkey);
    BYTE flags = 0;
    return ReadDeviceValue(HKEY_LOCAL_MACHINE, subkey, L"AlarmFlags", &flags, 1) && flags != 0;
}

// Writes the parts of an alarm that the request names. The clock's values
// are binary: one byte of flags, one of weekday bits, and the time as two
// bytes, low byte first.
static void WriteAlarm(int alarm, const AlarmRequest *request)
{
    wchar_t subkey[40];
    ClockKey(alarm, subkey);
    BYTE flags = request->On ? 1 : 0;
    WriteDeviceValue(HKEY_LOCAL_MACHINE, subkey, L"AlarmFlags", REG_BINARY, &flags, 1);
    if (request->HasDays)
        WriteDeviceValue(HKEY_LOCAL_MACHINE, subkey, L"AlarmDays", REG_BINARY, &request->Days, 1);
    if (request->HasTime) {
        BYTE time[2] = {(BYTE)(request->Minutes & 0xFF), (BYTE)(request->Minutes >> 8)};
        WriteDeviceValue(HKEY_LOCAL_MACHINE, subkey, L"AlarmTime", REG_BINARY, time, 2);
    }
}

static void ToggleAlarm(int alarm)
{
    AlarmRequest request = {};
    request.On = !AlarmIsOn(alarm);
    WriteAlarm(alarm, &request);
    RefreshItem();
}

// ---------------------------------------------------------------------------
// Rotation: the virtual desktop swaps width and height; the host follows
// in ScreenSizeChanged (also reached through WM_DISPLAYCHANGE).

// Wine's virtual desktop turns reliably only at QVGA sizes (larger round
// trips have brought the wineserver down), and a square screen has no
// other orientation.
static BOOL RotationEmulated(const DEVMODEW *mode)
{
    return mode->dmPelsWidth != mode->dmPelsHeight && mode->dmPelsWidth <= 320 &&
           mode->dmPelsHeight <= 320;
}

// Whether the screen as it is now can turn; `mode` receives its mode.
static BOOL CurrentModeTurns(DEVMODEW *mode)
{
    ZeroMemory(mode, sizeof(*mode));
    mode->dmSize = sizeof(*mode);
    return EnumDisplaySettingsW(NULL, ENUM_CURRENT_SETTINGS, mode) && RotationEmulated(mode);
}

BOOL ScreenCanTurn(DWORD *width, DWORD *height)
{
    DEVMODEW mode;
    BOOL turns = CurrentModeTurns(&mode);
    *width = mode.dmPelsWidth;
    *height = mode.dmPelsHeight;
    return turns;
}

static BOOL SwapDisplayOrientation(void)
{
    DEVMODEW mode;
    if (!CurrentModeTurns(&mode)) {
        ReportError(L"todayemu: a %lux%lu screen is not turned (only 240x320 and 320x240 are)\n",
                    mode.dmPelsWidth, mode.dmPelsHeight);
        return FALSE;
    }
    DWORD width = mode.dmPelsWidth;
    mode.dmPelsWidth = mode.dmPelsHeight;
    mode.dmPelsHeight = width;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    LONG result = ChangeDisplaySettingsExW(NULL, &mode, NULL, 0, NULL);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        ReportError(L"todayemu: the screen cannot turn to %lux%lu (result %ld)\n",
                    mode.dmPelsWidth, mode.dmPelsHeight, result);
        return FALSE;
    }
    DeviceJournal.Rotated = !DeviceJournal.Rotated;
    return TRUE;
}

static void RestoreRotation(void)
{
    if (!DeviceJournal.Rotated)
        return;
    // Back to the mode the device was made with (its registry mode).
    ChangeDisplaySettingsExW(NULL, NULL, NULL, 0, NULL);
    DeviceJournal.Rotated = FALSE;
}

void ScreenSizeChanged(void)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    if (!Host.Window || (width == Host.Width && height == Host.Height))
        return;
    Host.Width = width;
    Host.Height = height;
    SetWindowPos(Host.Window, NULL, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (Host.Overlay)
        SetWindowPos(Host.Overlay, NULL, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    BuildWallpaper();
    LayoutRows();
    RefreshItem();
}

static void RotateScreen(void)
{
    if (SwapDisplayOrientation())
        ScreenSizeChanged();
}

// ---------------------------------------------------------------------------
// Options, the way the Today settings open them: the item's dialog 500
// with its export 241 as the dialog procedure.

// The item's procedure answers a BOOL (32 bits); a dialog procedure
// answers an INT_PTR. Calling it through its own type widens the answer
// properly instead of leaving the upper half of the register to chance.
static INT_PTR CALLBACK ItemOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Host.OptionsProc(dialog, message, wParam, lParam);
}

static void OpenItemOptions(void)
{
    if (!Host.Dll || !Host.OptionsProc)
        return;
    DialogBoxParamW(Host.Dll, MAKEINTRESOURCEW(IDD_TODAY_CUSTOM), Host.Window, ItemOptionsProc, 0);
    SetFocus(Host.Window);
    RefreshItem();
}

// ---------------------------------------------------------------------------
// Suspend and resume. A suspending device tells every top-level window
// (and message-only window) of the process, gives them a moment to act,
// and then its screen goes dark; any key or tap wakes it.

struct PowerTargets {
    HWND Windows[64];
    int Count;
};

static void AddPowerTarget(PowerTargets *targets, HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || window == Host.Overlay ||
        targets->Count >= (int)(sizeof(targets->Windows) / sizeof(targets->Windows[0])))
        return;
    targets->Windows[targets->Count++] = window;
}

static BOOL CALLBACK CollectTopLevel(HWND window, LPARAM targets)
{
    AddPowerTarget((PowerTargets *)targets, window);
    return TRUE;
}

static void BroadcastPower(WPARAM event)
{
    PowerTargets targets = {};
    EnumWindows(CollectTopLevel, (LPARAM)&targets);
    for (HWND window = NULL; (window = FindWindowExW(HWND_MESSAGE, window, NULL, NULL)) != NULL;)
        AddPowerTarget(&targets, window);
    for (int i = 0; i < targets.Count; ++i) {
        DWORD_PTR result;
        SendMessageTimeoutW(targets.Windows[i], WM_POWERBROADCAST, event, 0,
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &result);
    }
}

static const wchar_t OverlayClass[] = L"TodayEmuDarkScreen";

static LRESULT CALLBACK OverlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        PostMessageW(Host.Window, WM_COMMAND, CmdResume, 0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

static void ShowDarkScreen(void)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OverlayProc;
    wc.hInstance = Host.Instance;
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.lpszClassName = OverlayClass;
    RegisterClassW(&wc);   // fails harmlessly when already registered
    Host.Overlay = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, OverlayClass, L"",
                                   WS_POPUP | WS_VISIBLE, 0, 0, Host.Width, Host.Height,
                                   Host.Window, NULL, Host.Instance, NULL);
    if (Host.Overlay) {
        SetFocus(Host.Overlay);
        UpdateWindow(Host.Overlay);
    }
}

// The device goes to sleep; with `dark` FALSE the screen keeps showing
// what the windows drew before sleeping (for a screenshot of that moment).
static void Suspend(BOOL dark)
{
    if (Host.Suspended)
        return;
    Host.Suspended = TRUE;
    BroadcastPower(PBT_APMSUSPEND);
    PumpMessagesFor(300);
    if (dark)
        ShowDarkScreen();
}

void SuspendDevice(void)
{
    Suspend(TRUE);
}

void SuspendDeviceScreenOn(void)
{
    Suspend(FALSE);
}

void ResumeDevice(void)
{
    if (!Host.Suspended)
        return;
    Host.Suspended = FALSE;
    BroadcastPower(PBT_APMRESUMEAUTOMATIC);
    BroadcastPower(PBT_APMRESUMESUSPEND);
    if (Host.Overlay)
        DestroyWindow(Host.Overlay);
    Host.Overlay = NULL;
    SetFocus(Host.Window);
    RefreshItem();
}

// ---------------------------------------------------------------------------
// Start-up: settings from the command line, applied before the item loads
// so that its first look at the device already sees them.

static BOOL SettingGiven(const HostOptions *options, const wchar_t *name)
{
    for (int i = 0; i < options->SettingCount; ++i)
        if (lstrcmpiW(options->Settings[i].Name, name) == 0)
            return TRUE;
    return FALSE;
}

static void WriteItemSetting(const wchar_t *name, DWORD value)
{
    WriteDeviceValue(HKEY_CURRENT_USER, SettingsKey, name, REG_DWORD, &value, sizeof(value));
}

static BOOL AnyAlarmOn(const HostOptions *options)
{
    for (int i = 0; i < 3; ++i)
        if (options->Alarms[i].Given && options->Alarms[i].On)
            return TRUE;
    return FALSE;
}

// The operator and the phone state take the day's slot: they show only
// with ShowOpName, an arrangement that has that slot (a centred date has
// none, and the options sheet offers the operator only without it), and
// the short date (a long date that names the day stands alone, centred).
static void ShowOperatorSlot(const HostOptions *options)
{
    if (!SettingGiven(options, L"ShowOpName"))
        WriteItemSetting(L"ShowOpName", 1);
    if (!SettingGiven(options, L"ShowShortDate"))
        WriteItemSetting(L"ShowShortDate", 1);
    DWORD centred = 1;
    ReadDeviceValue(HKEY_CURRENT_USER, SettingsKey, L"CenterDayDate", &centred, sizeof(centred));
    if (centred == 1 && !SettingGiven(options, L"CenterDayDate"))
        WriteItemSetting(L"CenterDayDate", 0);
}

// The settings of the command line, and those that let a state it sets
// show: the operator and the phone state their slot, the bell
// AlarmIconEnabled. A setting given by name wins.
static void WriteStartupSettings(const HostOptions *options)
{
    for (int i = 0; i < options->SettingCount; ++i) {
        const SettingRequest *request = &options->Settings[i];
        if (request->IsText)
            WriteDeviceString(HKEY_CURRENT_USER, SettingsKey, request->Name, request->Text);
        else
            WriteItemSetting(request->Name, request->Value);
    }
    if (options->OperatorName || options->HasPhoneStatus)
        ShowOperatorSlot(options);
    if (AnyAlarmOn(options) && !SettingGiven(options, L"AlarmIconEnabled"))
        WriteItemSetting(L"AlarmIconEnabled", 1);
}

void ApplyStartupDevice(const HostOptions *options)
{
    Host.UiMetricMessage = RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE");
    if (options->FontSize)
        WriteFontSize(options->FontSize);
    if (options->LocaleSet >= 0)
        WriteLocaleSet(options->LocaleSet);
    if (options->LocaleName[0])
        SetDeviceLocale(options->LocaleName);
    if (options->OperatorName)
        WriteOperatorName(options->OperatorName);
    if (options->HasPhoneStatus)
        WritePhoneStatus(options->PhoneStatus);
    for (int i = 0; i < 3; ++i)
        if (options->Alarms[i].Given)
            WriteAlarm(i, &options->Alarms[i]);
    WriteStartupSettings(options);
    if (options->Rotate)
        SwapDisplayOrientation();
}

// ---------------------------------------------------------------------------
// The device menu (right-click on the title band, or the M key).

static HMENU BuildFontSizeMenu(void)
{
    HMENU menu = CreatePopupMenu();
    DWORD current = CurrentFontSize();
    for (int i = 0; i < FontSizeCount; ++i) {
        wchar_t label[32];
        wsprintfW(label, L"%lu pt", FontSizes[i] / 100);
        AppendMenuW(menu, MF_STRING | (FontSizes[i] == current ? MF_CHECKED : 0),
                    CmdFontSizeFirst + i, label);
    }
    return menu;
}

static HMENU BuildLocaleMenu(void)
{
    HMENU menu = CreatePopupMenu();
    int current = CurrentLocaleSet();
    for (int i = 0; i < LocaleSetCount; ++i)
        AppendMenuW(menu, MF_STRING | (i == current ? MF_CHECKED : 0), CmdLocaleFirst + i,
                    LocaleSets[i].Label);
    return menu;
}

static HMENU BuildPhoneMenu(void)
{
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < PhoneStateCount; ++i)
        AppendMenuW(menu, MF_STRING | (i == Host.PhoneChoice ? MF_CHECKED : 0), CmdPhoneFirst + i,
                    PhoneStates[i].Label);
    return menu;
}

static HMENU BuildAlarmMenu(void)
{
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < 3; ++i) {
        wchar_t label[32];
        wsprintfW(label, L"Alarm %d", i);
        AppendMenuW(menu, MF_STRING | (AlarmIsOn(i) ? MF_CHECKED : 0), CmdAlarmFirst + i, label);
    }
    return menu;
}

static HMENU BuildDeviceMenu(void)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (Host.Item.fOptions ? 0 : MF_GRAYED), CmdOptions,
                L"Quartzel &Options...\tO");
    AppendMenuW(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuW(menu, MF_STRING, CmdRotate, L"&Rotate screen\tR");
    AppendMenuW(menu, MF_POPUP, (UINT_PTR)BuildFontSizeMenu(), L"UI &font size");
    AppendMenuW(menu, MF_POPUP, (UINT_PTR)BuildLocaleMenu(), L"&Locale formats");
    AppendMenuW(menu, MF_POPUP, (UINT_PTR)BuildPhoneMenu(), L"&Phone");
    AppendMenuW(menu, MF_POPUP, (UINT_PTR)BuildAlarmMenu(), L"&Alarms");
    AppendMenuW(menu, MF_STRING, CmdSuspend, L"&Suspend\tS");
    AppendMenuW(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuW(menu, MF_STRING, CmdExit, L"E&xit\tEsc");
    return menu;
}

void ShowDeviceMenu(POINT screen)
{
    HMENU menu = BuildDeviceMenu();
    // Destroying the top menu destroys its submenus too.
    TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y,
                     Host.Window, NULL);
    DestroyMenu(menu);
}

void RunDeviceCommand(int command)
{
    if (command >= CmdFontSizeFirst && command < CmdFontSizeFirst + FontSizeCount)
        SetUiFontSize(FontSizes[command - CmdFontSizeFirst]);
    else if (command >= CmdLocaleFirst && command < CmdLocaleFirst + LocaleSetCount)
        SetLocaleSet(command - CmdLocaleFirst);
    else if (command >= CmdPhoneFirst && command < CmdPhoneFirst + PhoneStateCount)
        SetPhoneState(command - CmdPhoneFirst);
    else if (command >= CmdAlarmFirst && command < CmdAlarmFirst + 3)
        ToggleAlarm(command - CmdAlarmFirst);
    else if (command == CmdOptions)
        OpenItemOptions();
    else if (command == CmdRotate)
        RotateScreen();
    else if (command == CmdSuspend)
        SuspendDevice();
    else if (command == CmdResume)
        ResumeDevice();
    else if (command == CmdExit)
        DestroyWindow(Host.Window);
}

// Keyboard shortcuts for the device menu's commands; FALSE for other keys.
BOOL HandleDeviceKey(WPARAM key)
{
    BOOL shift = GetKeyState(VK_SHIFT) < 0;
    switch (key) {
    case 'O':
        OpenItemOptions();
        return TRUE;
    case 'R':
        RotateScreen();
        return TRUE;
    case 'F':
        StepFontSize(shift ? -1 : 1);
        return TRUE;
    case 'L':
        SetLocaleSet((CurrentLocaleSet() + 1) % LocaleSetCount);
        return TRUE;
    case 'P':
        SetPhoneState((Host.PhoneChoice + 1) % PhoneStateCount);
        return TRUE;
    case 'A':
        ToggleAlarm(0);
        return TRUE;
    case 'S':
        SuspendDevice();
        return TRUE;
    default:
        return FALSE;
    }
}
