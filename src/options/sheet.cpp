// The options host dialog and the property sheet around the eight pages.
//
// The sheet has no cancel path: whatever the opened pages show when it
// closes is saved, then the item window is asked to reload. The pages are
// saved while the sheet window is being destroyed, before its pages go;
// a platform that destroys the page dialogs before it sends their release
// notifications (desktop comctl32) would leave nothing to read at the last
// release.
#include "options.h"
#include "pages.h"
#include "handheld.h"
#include "resstr.h"
#include "resource.h"
#include "settings.h"
#include "program.h"
#include "itemstate.h"
#include "phone.h"

OptionsSheetRecord OptionsSheet;

namespace {

typedef void (*SavePageRoutine)(HWND page, HKEY key);

struct PageRow {
    DLGPROC Procedure;
    SavePageRoutine Save;   // null: the page saves nothing
};

const PageRow PageTable[OPTIONS_PAGE_COUNT] = {
    {GeneralPageProc, SaveGeneralPage},
    {DayDatePageProc, SaveDayDatePage},
    {TimePageProc, SaveTimePage},
    {FontSizePageProc, SaveFontSizePage},
    {ColorPageProc, SaveColorPage},
    {BackgroundPageProc, SaveBackgroundPage},
    {ClearTypePageProc, SaveClearTypePage},
    {AboutPageProc, NULL},
};

// Version that the sheet reports to the platform's property sheet.
const int SheetVersion = 526;

void ResetSheetState()
{
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++)
        OptionsSheet.PageWindows[i] = NULL;
    OptionsSheet.ReleasedPages = 0;
    OptionsSheet.Window = NULL;
    OptionsSheet.SheetWindowProc = NULL;
    OptionsSheet.Saved = FALSE;
}

void FillPageRecord(PROPSHEETPAGEW *record, int index)
{
    ZeroMemory(record, sizeof(*record));
    record->dwSize = sizeof(*record);
    record->dwFlags = PSP_USETITLE | PSP_USECALLBACK;
    record->hInstance = ModuleInstance;
    record->pszTemplate = MAKEINTRESOURCEW(IDD_PAGE_GENERAL + index);
    record->pszTitle = LoadStringInPlace(ModuleInstance, IDS_TAB_GENERAL + index);
    record->pfnDlgProc = PageTable[index].Procedure;
    record->lParam = index;
    record->pfnCallback = PageCallback;
}

void FillSheetHeader(PROPSHEETHEADERW *header, HWND host, PROPSHEETPAGEW *pages)
{
    ZeroMemory(header, sizeof(*header));
    header->dwSize = sizeof(*header);
    header->dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_MAXIMIZE;
    header->hwndParent = host;
    header->hInstance = ModuleInstance;
    header->pszCaption = NULL;
    header->nPages = OPTIONS_PAGE_COUNT;
    header->nStartPage = 0;
    header->ppsp = pages;
    header->pfnCallback = SheetCallback;
}

// A slot may hold a page that has already gone; its controls would read
// as empty and overwrite the settings with zeros.
BOOL PageAlive(int index)
{
    HWND page = OptionsSheet.PageWindows[index];
    return page != NULL && IsWindow(page);
}

void SaveOnce()
{
    if (OptionsSheet.Saved)
        return;
    OptionsSheet.Saved = TRUE;
    SaveAllPages();
}

LRESULT CALLBACK SheetWindowProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC original = OptionsSheet.SheetWindowProc;
    if (message == WM_DESTROY)
        SaveOnce();
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(sheet, GWLP_WNDPROC, (LONG_PTR)original);
        OptionsSheet.Window = NULL;
        OptionsSheet.SheetWindowProc = NULL;
    }
    return CallWindowProcW(original, sheet, message, wParam, lParam);
}

// The sheet exists and its pages are about to be created: watch it being
// destroyed, the last moment at which every opened page still exists.
void AdoptSheetWindow(HWND sheet)
{
    if (OptionsSheet.Window != NULL)
        return;
    OptionsSheet.Window = sheet;
    OptionsSheet.SheetWindowProc =
        (WNDPROC)SetWindowLongPtrW(sheet, GWLP_WNDPROC, (LONG_PTR)SheetWindowProc);
}

// The item window is asked once to run its creation steps again, when the
// last page goes (after the save), and finds the reload marker. Without an
// item window there is no one to ask: a post to a null window would land
// in the thread's own queue.
void RequestItemReload()
{
    if (ItemState.Window != NULL)
        PostMessageW(ItemState.Window, WM_CREATE, 0, 0);
}

UINT OnPageReleased()
{
    OptionsSheet.ReleasedPages++;
    if (OptionsSheet.ReleasedPages >= OPTIONS_PAGE_COUNT) {
        // Normally saved already, when the sheet window went; this covers
        // a sheet whose window never existed.
        SaveOnce();
        ClosePhoneKey();
    }
    if (OptionsSheet.ReleasedPages == OPTIONS_PAGE_COUNT)
        RequestItemReload();
    return 0;
}

// The item stays usable under the sheet, so "Options" can be asked for
// again while it is open. A second sheet would take over the one sheet
// record and leave the first unable to close; the open one comes forward
// instead.
BOOL BringOpenSheetForward()
{
    if (!OptionsSheet.Open)
        return FALSE;
    if (OptionsSheet.Window != NULL) {
        SetForegroundWindow(OptionsSheet.Window);
        BringWindowToTop(OptionsSheet.Window);
    }
    return TRUE;
}

BOOL OnHostInitDialog(HWND dialog)
{
    // The host dialog ends at once; the sheet runs its own modal loop from
    // inside this message.
    if (EndDialog(dialog, 1)) {
        SHInitExtraControls();
        ShowOptionsSheet(dialog);
    }
    return TRUE;
}

} // namespace

extern "C" INT_PTR CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnHostInitDialog(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int ShowOptionsSheet(HWND host)
{
    if (BringOpenSheetForward())
        return 0;
    ResetSheetState();
    OptionsSheet.Open = TRUE;
    PROPSHEETPAGEW pages[OPTIONS_PAGE_COUNT];
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++)
        FillPageRecord(&pages[i], i);
    PROPSHEETHEADERW header;
    FillSheetHeader(&header, host, pages);
    PropertySheetW(&header);
    OptionsSheet.Open = FALSE;
    return 0;
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM)
{
    switch (message) {
    case PSCB_GETVERSION:
        return SheetVersion;
    case PSCB_INITIALIZED:
        AdoptSheetWindow(sheet);
        return 0;
    }
    return 0;
}

UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW *)
{
    switch (message) {
    case PSPCB_CREATE:
        return 1;
    case PSPCB_RELEASE:
        return OnPageReleased();
    }
    return (UINT)-1;
}

LONG SaveAllPages()
{
    LONG error = ERROR_SUCCESS;
    HKEY key = OpenSettingsKey(RegistryWrite, &error);
    if (key == NULL)
        return error;
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        if (PageTable[i].Save != NULL && PageAlive(i))
            PageTable[i].Save(OptionsSheet.PageWindows[i], key);
    }
    WriteReloadMarker(key);
    return RegCloseKey(key);
}
