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

// The item's DLL path from the Today item key, expanded; false when the
// value is missing, of another type, empty or too long.
static bool ReadItemDllPath(HKEY key, wchar_t *path, DWORD capacity)
{
    wchar_t raw[MAX_PATH + 1] = L"";
    DWORD type = 0, size = sizeof(raw) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"DLL", NULL, &type, (BYTE *)raw, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    raw[size / sizeof(wchar_t)] = 0;
    DWORD length = ExpandEnvironmentStringsW(raw, path, capacity);
    return length > 1 && length <= capacity;
}

static void FillItemRecord(HKEY key, const wchar_t *path)
{
    TODAYLISTITEM *item = &Host.item;
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
    Host.dll = LoadLibraryW(path);
    if (!Host.dll) {
        ReportError(L"todayemu: cannot load the Today item DLL '%ls' (error %lu)\n", path,
                    GetLastError());
        return ExitMissing;
    }
    Host.initializeItem = (PFNCUSTOMINITIALIZEITEM)(void *)GetProcAddress(
        Host.dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZECUSTOMITEM));
    Host.optionsProc = (PFNCUSTOMOPTIONSDLGPROC)(void *)GetProcAddress(
        Host.dll, MAKEINTRESOURCEA(ORDINAL_CUSTOMITEMOPTIONSDLGPROC));
    if (!Host.initializeItem || !Host.optionsProc) {
        ReportError(L"todayemu: the Today item DLL '%ls' has no export ordinal %d (%ls)\n", path,
                    Host.initializeItem ? ORDINAL_CUSTOMITEMOPTIONSDLGPROC
                                        : ORDINAL_INITIALIZECUSTOMITEM,
                    Host.initializeItem ? L"CustomItemOptionsDlgProc" : L"InitializeCustomItem");
        return ExitMissing;
    }
    Host.item.hinstDLL = Host.dll;
    if (!InstallDeviceClock(Host.dll))
        ReportError(L"todayemu: warning: '%ls' does not import GetLocalTime; "
                    L"the device clock does not reach it\n", path);
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
    bool havePath = ReadItemDllPath(key, path, MAX_PATH);
    if (havePath)
        FillItemRecord(key, path);
    RegCloseKey(key);
    if (!havePath) {
        ReportError(L"todayemu: no Today item DLL: HKLM\\%ls has no usable \"DLL\" string value\n",
                    TodayItemKey);
        return ExitMissing;
    }
    return LoadItemLibrary(path);
}

bool CreateTodayItem(void)
{
    Host.itemWindow = Host.initializeItem(&Host.item, Host.window);
    Host.item.hwndCustom = Host.itemWindow;
    if (!Host.itemWindow) {
        ReportError(L"todayemu: InitializeCustomItem (ordinal 240) returned no window\n");
        return false;
    }
    return true;
}

void UnloadTodayItem(void)
{
    if (Host.itemWindow && IsWindow(Host.itemWindow))
        DestroyWindow(Host.itemWindow);
    Host.itemWindow = NULL;
    if (Host.dll)
        FreeLibrary(Host.dll);
    Host.dll = NULL;
}

// ---------------------------------------------------------------------------
// Layout and refresh.

// The height the item asked for, kept within the screen so that a wild
// value cannot push the other rows out of reach.
static int ItemHeight(void)
{
    int cyp = (int)Host.item.cyp;
    if (cyp < 0 || cyp > Host.height)
        cyp = Host.height;
    return Host.itemWindow ? cyp : 0;
}

void LayoutRows(void)
{
    int y = TitleBandHeight();
    for (int kind = 0; kind < HostRowCount; ++kind) {
        Host.rows[kind].top = y;
        Host.rows[kind].height = kind == RowItem ? ItemHeight() : BuiltInRowHeight();
        y += Host.rows[kind].height;
    }
    if (Host.itemWindow)
        SetWindowPos(Host.itemWindow, NULL, 0, Host.rows[RowItem].top, Host.width,
                     Host.rows[RowItem].height, SWP_NOZORDER | SWP_NOACTIVATE);
}

static void RepaintAll(void)
{
    InvalidateRect(Host.window, NULL, FALSE);
    if (Host.itemWindow)
        InvalidateRect(Host.itemWindow, NULL, FALSE);
}

void QueryItemRefresh(void)
{
    if (!Host.itemWindow)
        return;
    if (!SendMessageW(Host.itemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Host.item, 0))
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
        if (Host.itemWindow)
            InvalidateRect(Host.itemWindow, NULL, FALSE);
        return;
    }
    RECT rc = {0, Host.rows[kind].top, Host.width, Host.rows[kind].top + Host.rows[kind].height};
    InvalidateRect(Host.window, &rc, FALSE);
}

// Moves the selection mark; the item has already accepted it when `kind`
// is the item's row.
static void SetSelectedRow(int kind)
{
    int previous = Host.selected;
    if (previous == kind)
        return;
    Host.selected = kind;
    if (previous == RowItem && Host.itemWindow)
        SendMessageW(Host.itemWindow, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    InvalidateRow(previous);
    InvalidateRow(kind);
}

// Offers the selection to the item; it may refuse (result 0).
static bool ItemAcceptsSelection(WPARAM key)
{
    if (!Host.itemWindow || Host.item.dwSelectability == 0 || Host.rows[RowItem].height == 0)
        return false;
    return SendMessageW(Host.itemWindow, WM_TODAYCUSTOM_RECEIVEDSELECTION, key, 0) != 0;
}

void MoveSelection(int direction)
{
    int next = Host.selected < 0 ? (direction > 0 ? 0 : HostRowCount - 1)
                                 : Host.selected + direction;
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
    if (Host.selected != RowItem && ItemAcceptsSelection(key))
        SetSelectedRow(RowItem);
}

void ItemTookSelection(HWND window)
{
    if (window != Host.itemWindow || Host.selected == RowItem)
        return;
    GiveItemSelection(0);
}

void SelectRowAt(POINT client)
{
    for (int kind = 0; kind < HostRowCount; ++kind) {
        const HostRow *row = &Host.rows[kind];
        if (kind != RowItem && client.y >= row->top && client.y < row->top + row->height) {
            SetSelectedRow(kind);
            return;
        }
    }
}

void RunSelectedAction(void)
{
    if (Host.selected == RowItem && Host.itemWindow)
        SendMessageW(Host.itemWindow, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0);
}
