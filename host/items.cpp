// The rows of the Today screen and the custom item among them: loading the
// item's DLL the way the Today host does (by export ordinal), its refresh
// cycle and height, and the selection that moves between the rows.
#include "todayemu.h"

static const wchar_t TodayItemKey[] = L"SOFTWARE\\Microsoft\\Today\\Items\\Quartzel";

static DWORD ReadItemDword(HKEY key, const wchar_t *name, DWORD fallback)
{
    DWORD value = 0, type = 0, size = sizeof(value);
    if (RegQueryValueExW(key, name, NULL, &type, (BYTE *)&value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return fallback;
    return value;
}

// The item's DLL path from the Today item key, expanded; FALSE when the
// value is missing, of another type, empty or too long.
static BOOL ReadItemDllPath(HKEY key, wchar_t *path, DWORD capacity)
{
    wchar_t raw[MAX_PATH + 1] = L"";
    DWORD type = 0, size = sizeof(raw) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"DLL", NULL, &type, (BYTE *)raw, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return FALSE;
    raw[size / sizeof(wchar_t)] = 0;
    // The handheld has one file system: a path from its root is on the
    // device's drive C:.
    BOOL rooted = raw[0] == L'\\' && raw[1] != L'\\';
    if (rooted)
        lstrcpyW(path, L"C:");
    DWORD length = ExpandEnvironmentStringsW(raw, path + 2 * rooted, capacity - 2 * rooted);
    return length > 1 && length <= capacity - 2 * rooted;
}

static void FillItemRecord(HKEY key, const wchar_t *path)
{
    TODAYLISTITEM *item = &Host.Item;
    ZeroMemory(item, sizeof(*item));
    lstrcpynW(item->szName, L"Quartzel", sizeof(item->szName) / sizeof(item->szName[0]));
    item->tlit = tlitCustom;
    item->dwOrder = ReadItemDword(key, L"Order", 0);
    item->fEnabled = TRUE;
    item->fOptions = ReadItemDword(key, L"Options", 0) != 0;
    lstrcpynW(item->szDLLPath, path, MAX_PATH);
    item->dwSelectability = ReadItemDword(key, L"Selectability", 2);
}

// Loads the DLL and finds its two exports. The messages name what is
// missing, so that a broken device is diagnosed from the log alone.
static int LoadItemLibrary(const wchar_t *path)
{
    Host.Dll = LoadLibraryW(path);
    if (!Host.Dll) {
        ReportError(L"todayemu: cannot load the Today item DLL '%ls' (error %lu)\n", path,
                    GetLastError());
        return ExitMissing;
    }
    Host.InitializeItem = (PFNCUSTOMINITIALIZEITEM)(void *)GetProcAddress(
        Host.Dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZECUSTOMITEM));
    Host.OptionsProc = (PFNCUSTOMOPTIONSDLGPROC)(void *)GetProcAddress(
        Host.Dll, MAKEINTRESOURCEA(ORDINAL_CUSTOMITEMOPTIONSDLGPROC));
    if (!Host.InitializeItem || !Host.OptionsProc) {
        ReportError(L"todayemu: the Today item DLL '%ls' has no export ordinal %d (%ls)\n", path,
                    Host.InitializeItem ? ORDINAL_CUSTOMITEMOPTIONSDLGPROC
                                        : ORDINAL_INITIALIZECUSTOMITEM,
                    Host.InitializeItem ? L"CustomItemOptionsDlgProc" : L"InitializeCustomItem");
        return ExitMissing;
    }
    Host.Item.hinstDLL = Host.Dll;
    if (!InstallDeviceClock(Host.Dll))
        ReportError(L"todayemu: warning: '%ls' does not import GetLocalTime; "
                    L"the device clock does not reach it\n", path);
    InstallTextLog(Host.Dll);
    if (!InstallDeviceLocale(Host.Dll))
        ReportError(L"todayemu: warning: '%ls' imports none of the locale calls; "
                    L"the device locale does not reach it\n", path);
    return ExitOk;
}

int LoadTodayItem(void)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TodayItemKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        ReportError(L"todayemu: no Today item: the registry key HKLM\\%ls is missing\n",
                    TodayItemKey);
        return ExitMissing;
    }
    wchar_t path[MAX_PATH];
    BOOL enabled = ReadItemDword(key, L"Enabled", 1) != 0;
    BOOL havePath = enabled && ReadItemDllPath(key, path, MAX_PATH);
    if (havePath)
        FillItemRecord(key, path);
    RegCloseKey(key);
    if (!enabled) {
        ReportError(L"todayemu: no Today item: HKLM\\%ls has \"Enabled\" 0\n", TodayItemKey);
        return ExitMissing;
    }
    if (!havePath) {
        ReportError(L"todayemu: no Today item DLL: HKLM\\%ls has no usable \"DLL\" string value\n",
                    TodayItemKey);
        return ExitMissing;
    }
    return LoadItemLibrary(path);
}

BOOL CreateTodayItem(void)
{
    Host.ItemWindow = Host.InitializeItem(&Host.Item, Host.Window);
    Host.Item.hwndCustom = Host.ItemWindow;
    if (!Host.ItemWindow) {
        ReportError(L"todayemu: InitializeCustomItem (ordinal 240) returned no window\n");
        return FALSE;
    }
    return TRUE;
}

void UnloadTodayItem(void)
{
    if (Host.ItemWindow && IsWindow(Host.ItemWindow))
        DestroyWindow(Host.ItemWindow);
    Host.ItemWindow = NULL;
    if (Host.Dll)
        FreeLibrary(Host.Dll);
    Host.Dll = NULL;
}

// The time the item's DLL was linked, from its own header: which build of
// it the emulator holds.
static DWORD LinkTime(HMODULE dll)
{
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)dll;
    return ((const IMAGE_NT_HEADERS *)((const BYTE *)dll + dos->e_lfanew))->FileHeader.TimeDateStamp;
}

static void RepaintAll(void);

// The Today screen reads its item list again, as an installer asks it to
// (WM_WININICHANGE 0xF2): it lets go of the item's DLL, then loads the
// item again only if its key still lists it as enabled.
void ReloadTodayItems(void)
{
    if (Host.Dll) {
        UnloadTodayItem();
        ReportError(L"todayemu: Today items read again: let go of the item's DLL\n");
    }
    if (LoadTodayItem() == ExitOk && CreateTodayItem())
        ReportError(L"todayemu: Today items read again: loaded '%ls', linked at 0x%08lx\n",
                    Host.Item.szDLLPath, LinkTime(Host.Dll));
    QueryItemRefresh();
    LayoutRows();
    RepaintAll();
}

// ---------------------------------------------------------------------------
// Layout and refresh.

// The height the item asked for, kept within the screen so that a wild
// value cannot push the other rows out of reach.
static int ItemHeight(void)
{
    int cyp = (int)Host.Item.cyp;
    if (cyp < 0 || cyp > Host.Height)
        cyp = Host.Height;
    return Host.ItemWindow ? cyp : 0;
}

void LayoutRows(void)
{
    int y = TitleBandHeight();
    for (int kind = 0; kind < HostRowCount; ++kind) {
        Host.Rows[kind].Top = y;
        Host.Rows[kind].Height = kind == RowItem ? ItemHeight() : BuiltInRowHeight();
        y += Host.Rows[kind].Height;
    }
    if (Host.ItemWindow)
        SetWindowPos(Host.ItemWindow, NULL, 0, Host.Rows[RowItem].Top, Host.Width,
                     Host.Rows[RowItem].Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

static void RepaintAll(void)
{
    InvalidateRect(Host.Window, NULL, FALSE);
    if (Host.ItemWindow)
        InvalidateRect(Host.ItemWindow, NULL, FALSE);
}

void QueryItemRefresh(void)
{
    if (!Host.ItemWindow)
        return;
    if (!SendMessageW(Host.ItemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Host.Item, 0))
        return;
    LayoutRows();
    RepaintAll();
}

// ---------------------------------------------------------------------------
// Selection.

static void InvalidateRow(int kind)
{
    if (kind < 0)
        return;
    if (kind == RowItem) {
        if (Host.ItemWindow)
            InvalidateRect(Host.ItemWindow, NULL, FALSE);
        return;
    }
    RECT rc = {0, Host.Rows[kind].Top, Host.Width, Host.Rows[kind].Top + Host.Rows[kind].Height};
    InvalidateRect(Host.Window, &rc, FALSE);
}

// Moves the selection mark; the item has already accepted it when `kind`
// is the item's row.
static void SetSelectedRow(int kind)
{
    int previous = Host.Selected;
    if (previous == kind)
        return;
    Host.Selected = kind;
    if (previous == RowItem && Host.ItemWindow)
        SendMessageW(Host.ItemWindow, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    InvalidateRow(previous);
    InvalidateRow(kind);
}

// Offers the selection to the item; it may refuse (result 0).
static BOOL ItemAcceptsSelection(WPARAM key)
{
    if (!Host.ItemWindow || Host.Item.dwSelectability == 0 || Host.Rows[RowItem].Height == 0)
        return FALSE;
    return SendMessageW(Host.ItemWindow, WM_TODAYCUSTOM_RECEIVEDSELECTION, key, 0) != 0;
}

void MoveSelection(int direction)
{
    int next = Host.Selected < 0 ? (direction > 0 ? 0 : HostRowCount - 1)
                                 : Host.Selected + direction;
    for (; next >= 0 && next < HostRowCount; next += direction) {
        if (next != RowItem) {
            SetSelectedRow(next);
            return;
        }
        if (ItemAcceptsSelection(direction > 0 ? VK_DOWN : VK_UP)) {
            SetSelectedRow(next);
            return;
        }
    }
}

void GiveItemSelection(WPARAM key)
{
    if (Host.Selected != RowItem && ItemAcceptsSelection(key))
        SetSelectedRow(RowItem);
}

void ItemTookSelection(HWND window)
{
    if (window != Host.ItemWindow || Host.Selected == RowItem)
        return;
    GiveItemSelection(0);
}

void SelectRowAt(POINT client)
{
    for (int kind = 0; kind < HostRowCount; ++kind) {
        const HostRow *row = &Host.Rows[kind];
        if (kind != RowItem && client.y >= row->Top && client.y < row->Top + row->Height) {
            SetSelectedRow(kind);
            return;
        }
    }
}

void RunSelectedAction(void)
{
    if (Host.Selected == RowItem && Host.ItemWindow)
        SendMessageW(Host.ItemWindow, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
}
