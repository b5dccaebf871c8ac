// The title band that every options page paints above its controls, and
// the heading fonts that some pages give to their controls.
#include "pages.h"
#include "program.h"
#include "resstr.h"
#include "resource.h"
#include "fonts.h"
#include "portable.h"

HeaderDpiRecord HeaderDpi;

namespace {

// One bold font per page for its title and headings, plus the underlined
// font of the About page's web address. Created when the page opens (its
// texts are fitted in them) and kept for the page's life: a control handed
// a font by WM_SETFONT draws with it until the control is destroyed, so the
// fonts go only after their page and its controls have gone.
struct PageFontsRecord {
    HFONT Bold;
    HFONT Underlined;
};
PageFontsRecord PageFonts[OPTIONS_PAGE_COUNT];

int HeaderDpiX()
{
    if (!HeaderDpi.KnownX) {
        HeaderDpi.DpiX = ReadDeviceCapability(LOGPIXELSX);
        HeaderDpi.KnownX = TRUE;
    }
    return HeaderDpi.DpiX;
}

int HeaderDpiY()
{
    if (!HeaderDpi.KnownY) {
        HeaderDpi.DpiY = ReadDeviceCapability(LOGPIXELSY);
        HeaderDpi.KnownY = TRUE;
    }
    return HeaderDpi.DpiY;
}

// Lengths given in pixels at 96 dpi, scaled to the screen.
int HeaderX(int pixels) { return (pixels * HeaderDpiX() + 48) / 96; }
int HeaderY(int pixels) { return (pixels * HeaderDpiY() + 48) / 96; }

// Bold 8 point in the face of the system font, at the screen's dpi (the
// one the header is laid out in, read once, rather than a page DC's: a DC
// costs a round of calls to Wine's server).
void HeadingLogFont(LOGFONTW *font)
{
    ZeroMemory(font, sizeof(*font));
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(*font), font);
    font->lfHeight = -ScaleRounded(8, HeaderDpiY(), 72);
    font->lfWidth = 0;
    font->lfWeight = FW_BOLD;
}

// Returns whether the bold font was made now (its controls are then still
// to be given it).
BOOL CreatePageFonts(int index)
{
    PageFontsRecord *fonts = &PageFonts[index];
    if (fonts->Bold != NULL)
        return FALSE;
    LOGFONTW font;
    HeadingLogFont(&font);
    fonts->Bold = CreateFontIndirectW(&font);
    // A bold font that could not be made is asked for again at the next
    // paint; the underlined one made the first time is kept, not made twice.
    if (index == AboutPage && fonts->Underlined == NULL) {
        font.lfWeight = FW_NORMAL;
        font.lfUnderline = 1;
        fonts->Underlined = CreateFontIndirectW(&font);
    }
    return fonts->Bold != NULL;
}

int ComposeHeaderTitle(int index, WCHAR *title)
{
    if (index == AboutPage)
        return wsprintfW(title, L"%s %s", LoadStringInPlace(ModuleInstance, IDS_HEADER_ABOUT), PROGRAM_NAME);
    return wsprintfW(title, L"%s %s %s", LoadStringInPlace(ModuleInstance, IDS_HEADER_TODAY), PROGRAM_NAME,
                     LoadStringInPlace(ModuleInstance, IDS_HEADER_OPTIONS));
}

void DrawHeaderTitle(HDC dc, int index)
{
    WCHAR title[128];
    int length = ComposeHeaderTitle(index, title);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    ExtTextOutW(dc, HeaderX(8), HeaderY(5), 0, NULL, title, length, NULL);
}

// A black rule under the title, one pixel row at 96 dpi, filled with the
// DC's brush.
void DrawHeaderRule(HDC dc, HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    HGDIOBJ previousPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, 0, HeaderY(23), client.right, HeaderY(24));
    SelectObject(dc, previousPen);
}

// The controls that draw in a heading font, page by page.
enum HeadingFontKind { BoldFont, UnderlinedFont };
struct HeadingRow {
    int Page;
    int Control;
    HeadingFontKind Font;
};
const HeadingRow HeadingRows[] = {
    {GeneralPage, IDC_ACTION_HEADING, BoldFont},
    {ClearTypePage, IDC_CLEARTYPE_HEADING, BoldFont},
    {AboutPage, IDC_ABOUT_NAME, BoldFont},
    {AboutPage, IDC_ABOUT_VERSION, BoldFont},
    {AboutPage, IDC_ABOUT_WEB, UnderlinedFont},
};

HFONT FontOfRow(const HeadingRow &row)
{
    const PageFontsRecord *fonts = &PageFonts[row.Page];
    return row.Font == BoldFont ? fonts->Bold : fonts->Underlined;
}

void GiveHeadingFonts(HWND page, int index)
{
    for (size_t i = 0; i < ARRAYSIZE(HeadingRows); i++) {
        const HeadingRow &row = HeadingRows[i];
        HFONT font = FontOfRow(row);
        if (row.Page == index && font != NULL)
            SendDlgItemMessageW(page, row.Control, WM_SETFONT, (WPARAM)font, 0);
    }
}

} // namespace

int PaintPageHeader(HWND page, int index)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    if (dc == NULL)
        return 0;
    if (index >= 0 && index < OPTIONS_PAGE_COUNT) {
        // The controls were given the fonts when the page opened; only
        // fonts that could not be made then are given here.
        BOOL madeNow = CreatePageFonts(index);
        HGDIOBJ previousFont = SelectObject(dc, PageFonts[index].Bold);
        DrawHeaderTitle(dc, index);
        DrawHeaderRule(dc, page);
        SetTextColor(dc, 0);
        if (madeNow)
            GiveHeadingFonts(page, index);
        SelectObject(dc, previousFont);
    }
    EndPaint(page, &paint);
    return 0;
}

void GivePageFonts(HWND page, int index)
{
    if (index < 0 || index >= OPTIONS_PAGE_COUNT)
        return;
    CreatePageFonts(index);
    GiveHeadingFonts(page, index);
}

HFONT GivenHeadingFont(int index, int id)
{
    for (size_t i = 0; i < ARRAYSIZE(HeadingRows); i++)
        if (HeadingRows[i].Page == index && HeadingRows[i].Control == id)
            return FontOfRow(HeadingRows[i]);
    return NULL;
}

void ReleasePageFonts(int index)
{
    if (index < 0 || index >= OPTIONS_PAGE_COUNT)
        return;
    PageFontsRecord *fonts = &PageFonts[index];
    if (fonts->Bold != NULL)
        DeleteObject(fonts->Bold);
    if (fonts->Underlined != NULL)
        DeleteObject(fonts->Underlined);
    fonts->Bold = NULL;
    fonts->Underlined = NULL;
}
