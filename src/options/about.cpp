// The About page: product, version, credits and the web address, which
// opens when tapped.
#include "pages.h"
#include "launch.h"
#include "program.h"
#include "portable.h"

namespace {

const WCHAR ProductVersion[] = L"Version 1.1.8.1 (24 Aug 2008)";
const WCHAR ProductWebAddress[] = L"https://quartzel.marrowfen.example/";
const int WebAddressChars = 60;
static_assert(ARRAYSIZE(ProductWebAddress) <= WebAddressChars, "the web address must fit its buffer");

INT_PTR OnInitDialog(HWND page)
{
    OptionsSheet.PageWindows[AboutPage] = page;
    SetDlgItemTextW(page, IDC_ABOUT_NAME, PROGRAM_NAME);
    SetDlgItemTextW(page, IDC_ABOUT_VERSION, ProductVersion);
    SetDlgItemTextW(page, IDC_ABOUT_WEB, ProductWebAddress);
    FitPageTexts(page);
    return 0;
}

// The web address reads as a link: menu-text colour on white.
INT_PTR OnCtlColorStatic(HWND page, HDC dc, HWND control)
{
    if (control != GetDlgItem(page, IDC_ABOUT_WEB))
        return FALSE;
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    return (INT_PTR)GetStockObject(WHITE_BRUSH);
}

INT_PTR OnCommand(WPARAM wParam)
{
    if (LOWORD(wParam) == IDC_ABOUT_WEB) {
        WCHAR address[WebAddressChars];
        CopyText(address, ProductWebAddress, ARRAYSIZE(address));
        LaunchAction(address);
    }
    return 0;
}

} // namespace

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(page, (HDC)wParam, (HWND)lParam);
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_PAINT:
        return PaintPageHeader(page, AboutPage);
    case WM_NCDESTROY:
        ReleasePageFonts(AboutPage);
        return 0;
    }
    return FALSE;
}
