// The General page: suspend, the tap action and its file, tap-and-hold,
// and the vertical border.
#include "pages.h"
#include "handheld.h"
#include "program.h"
#include "resource.h"
#include "resstr.h"
#include "settings.h"
#include "portable.h"
#include <commdlg.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

// Entries of the action list, in this order; entry 3 exists only while a
// file is chosen or stored.
enum ActionEntry { NoActionEntry, ClockEntry, ChooseFileEntry, FileEntry };

const int BorderMaximum = 500;
const int BorderDigits = 3;
const int ClockPathChars = 30;
const int FilterChars = 40;

void AddActionEntries(HWND page)
{
    for (int id = IDS_ACTION_NONE; id <= IDS_ACTION_FILE; id++)
        SendDlgItemMessageW(page, IDC_ACTION_LIST, CB_ADDSTRING, 0, (LPARAM)LoadStringInPlace(ModuleInstance, id));
}

// Whether `path` names the clock program: paths are case-insensitive, so
// both are compared in lower case (copies: the stored path keeps the
// user's spelling). Exact otherwise: a locale-aware compare ignores
// characters such as a soft hyphen, and the page would then save the clock
// over the user's path.
BOOL IsClockPath(const WCHAR *path)
{
    WCHAR clock[ClockPathChars], lowered[ClockPathChars];
    if (lstrlenW(path) >= ClockPathChars)
        return FALSE;
    CopyText(clock, CLOCK_PROGRAM, ARRAYSIZE(clock));
    CopyText(lowered, path, ARRAYSIZE(lowered));
    CharLowerW(clock);
    CharLowerW(lowered);
    return wcscmp(clock, lowered) == 0;
}

int ActionEntryForStoredPath(HWND page)
{
    const WCHAR *path = ClockSettings.FileOnAction;
    if (path[0] == 0) {
        SetBoxChecked(page, IDC_TAP_AND_HOLD, FALSE);
        EnableControl(page, IDC_TAP_AND_HOLD, FALSE);
        return NoActionEntry;
    }
    if (IsClockPath(path))
        return ClockEntry;
    SendDlgItemMessageW(page, IDC_ACTION_LIST, CB_ADDSTRING, 0, (LPARAM)path);
    EnableControl(page, IDC_ACTION_BROWSE, TRUE);
    return FileEntry;
}

void InitBorderControls(HWND page)
{
    SendDlgItemMessageW(page, IDC_BORDER_EDIT, EM_LIMITTEXT, BorderDigits, 0);
    SetUpDownVersion(page, IDC_BORDER_SPIN);
    SetUpDownRange(page, IDC_BORDER_SPIN, 0, BorderMaximum);
    SetUpDownPos(page, IDC_BORDER_SPIN, (int)ClockSettings.VerticalBorderHeight);
}

// The page asks the shell for nothing: the sheet already fills the screen
// and brings its own OK.
void InitShellDialog(HWND page)
{
    SHINITDLGINFO info = {};
    info.dwMask = 0;
    info.hDlg = page;
    info.dwFlags = 0;
    SHInitDialog(&info);
}

INT_PTR OnInitDialog(HWND page)
{
    OptionsSheet.PageWindows[GeneralPage] = page;
    SetFreshBoxChecked(page, IDC_HIDE_IN_SUSPEND, ClockSettings.HideTimeInSleep != 0);
    InitBorderControls(page);
    SetFreshBoxChecked(page, IDC_TAP_AND_HOLD, ClockSettings.TapAndHoldEnabled != 0);
    AddActionEntries(page);
    int entry = ActionEntryForStoredPath(page);
    SendDlgItemMessageW(page, IDC_ACTION_LIST, CB_SETCURSEL, entry, 0);
    InitShellDialog(page);
    FitPageTexts(page);
    return 0;
}

// The page follows the list when it closes, not on every selection change.
void OnActionListClosed(HWND page)
{
    LRESULT entry = SendDlgItemMessageW(page, IDC_ACTION_LIST, CB_GETCURSEL, 0, 0);
    switch (entry) {
    case NoActionEntry:
        SetBoxChecked(page, IDC_TAP_AND_HOLD, FALSE);
        EnableControl(page, IDC_TAP_AND_HOLD, FALSE);
        EnableControl(page, IDC_ACTION_BROWSE, FALSE);
        break;
    case ClockEntry:
        EnableControl(page, IDC_TAP_AND_HOLD, TRUE);
        EnableControl(page, IDC_ACTION_BROWSE, FALSE);
        break;
    case ChooseFileEntry:
    case FileEntry:
        EnableControl(page, IDC_TAP_AND_HOLD, TRUE);
        EnableControl(page, IDC_ACTION_BROWSE, TRUE);
        break;
    }
}

// "All Files", "*.*", and the empty entry that ends the list.
void BuildFileFilter(WCHAR *filter)
{
    const WCHAR pattern[] = L"*.*";
    ZeroMemory(filter, FilterChars * sizeof(WCHAR));
    LoadStringW(ModuleInstance, IDS_ALL_FILES, filter, FilterChars - ARRAYSIZE(pattern) - 2);
    int at = lstrlenW(filter) + 1;
    lstrcpyW(filter + at, pattern);
}

BOOL ChooseActionFile(HWND page, WCHAR *path, DWORD chars)
{
    WCHAR filter[FilterChars];
    BuildFileFilter(filter);
    path[0] = 0;
    OPENFILENAMEW chooser = {};
    chooser.lStructSize = sizeof(chooser);
    chooser.hwndOwner = page;
    chooser.lpstrFilter = filter;
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = path;
    chooser.nMaxFile = chars;
    chooser.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetOpenFileNameW(&chooser) != TRUE)
        return FALSE;
    path[chars - 1] = 0;
    return path[0] != 0;
}

// A chosen file becomes entry 3, replacing an earlier one; it reaches
// FileOnAction only when the page is saved.
void OnBrowse(HWND page)
{
    WCHAR path[FILE_ON_ACTION_CHARS];
    if (!ChooseActionFile(page, path, ARRAYSIZE(path)))
        return;
    HWND list = GetDlgItem(page, IDC_ACTION_LIST);
    if (SendMessageW(list, CB_GETCOUNT, 0, 0) == FileEntry + 1)
        SendMessageW(list, CB_DELETESTRING, FileEntry, 0);
    SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)path);
    SendMessageW(list, CB_SETCURSEL, FileEntry, 0);
}

INT_PTR OnCommand(HWND page, WPARAM wParam)
{
    if (HIWORD(wParam) == CBN_CLOSEUP)
        OnActionListClosed(page);
    if (LOWORD(wParam) == IDC_ACTION_BROWSE)
        OnBrowse(page);
    return 0;
}

// Entry 3's text, when it fits FileOnAction; otherwise the path stays. The
// stored path keeps its type; a newly chosen file is a plain path.
void TakeFileEntry(HWND list)
{
    LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, FileEntry, 0);
    if (length == CB_ERR || length >= FILE_ON_ACTION_CHARS)
        return;
    WCHAR path[FILE_ON_ACTION_CHARS];
    SendMessageW(list, CB_GETLBTEXT, FileEntry, (LPARAM)path);
    if (wcscmp(path, ClockSettings.FileOnAction) == 0)
        return;
    lstrcpyW(ClockSettings.FileOnAction, path);
    ClockSettings.FileOnActionExpands = FALSE;
}

void TakeActionPath(HWND page)
{
    HWND list = GetDlgItem(page, IDC_ACTION_LIST);
    switch (SendMessageW(list, CB_GETCURSEL, 0, 0)) {
    case NoActionEntry:
        ClockSettings.FileOnAction[0] = 0;
        ClockSettings.FileOnActionExpands = FALSE;
        break;
    case ClockEntry:
        // A stored path that already names the clock keeps its spelling.
        if (IsClockPath(ClockSettings.FileOnAction))
            break;
        lstrcpyW(ClockSettings.FileOnAction, CLOCK_PROGRAM);
        ClockSettings.FileOnActionExpands = FALSE;
        break;
    case FileEntry:
        TakeFileEntry(list);
        break;
    default:
        // "File or shortcut" with no file chosen, or no selection: the path
        // stays as it was.
        break;
    }
}

} // namespace

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_COMMAND:
        return OnCommand(page, wParam);
    case WM_PAINT:
        return PaintPageHeader(page, GeneralPage);
    case WM_NCDESTROY:
        ReleasePageFonts(GeneralPage);
        return 0;
    }
    return FALSE;
}

void SaveGeneralPage(HWND page, HKEY key)
{
    ClockSettings.HideTimeInSleep = IsBoxChecked(page, IDC_HIDE_IN_SUSPEND) ? 1 : 0;
    DWORD border = ReadControlNumber(page, IDC_BORDER_EDIT, BorderDigits + 1);
    ClockSettings.VerticalBorderHeight = border > BorderMaximum ? BorderMaximum : border;
    TakeActionPath(page);
    ClockSettings.TapAndHoldEnabled =
        IsBoxChecked(page, IDC_TAP_AND_HOLD) && ClockSettings.FileOnAction[0] != 0 ? 1 : 0;
    WriteSettingDword(key, L"HideTimeInSleep", ClockSettings.HideTimeInSleep);
    WriteSettingString(key, L"FileOnAction", ClockSettings.FileOnAction, ClockSettings.FileOnActionExpands);
    WriteSettingDword(key, L"TapAndHoldEnabled", ClockSettings.TapAndHoldEnabled);
    WriteSettingDword(key, L"VerticalBorderHeight", ClockSettings.VerticalBorderHeight);
}
