#include "optionsbench.h"
#include <stdio.h>
#include <commctrl.h>
#include "options.h"
#include "pages.h"
#include "propsheet.h"
#include "shell-standins.h"
#include "resstr.h"
#include "resource.h"
#include "program.h"
#include "itemstate.h"
#include "settings.h"

// The page steps, timed through the linker's wrapping of their symbols
// (bench/CMakeLists.txt): the pages call them from other objects.
extern "C" void __real__Z12FitPageTextsP6HWND__(HWND page);
extern "C" int __real__Z15PaintPageHeaderP6HWND__i(HWND page, int index);
extern "C" void __real__Z13GivePageFontsP6HWND__i(HWND page, int index);

namespace {

// One opening, as the hooks saw it.
struct OpeningRecord {
    HWND FirstPage;
    double Start;
    double InitBegin, InitEnd;  // the first page's WM_INITDIALOG
    double FittingUs;           // FitPageTexts, inside it
    double FontsUs;             // the heading fonts made and given
    double HeaderUs;            // PaintPageHeader, inside the first paint
    double PaintBegin, End;     // everything painted
    BOOL Done;
};
OpeningRecord Opening;

struct HooksRecord {
    HHOOK Call, Return, Message;
};
HooksRecord Hooks;

LRESULT CALLBACK CallHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && call->message == WM_INITDIALOG && Opening.FirstPage == NULL &&
        (GetWindowLongW(call->hwnd, GWL_STYLE) & WS_CHILD)) {
        Opening.FirstPage = call->hwnd;
        Opening.InitBegin = Now();
    }
    return CallNextHookEx(Hooks.Call, code, wParam, lParam);
}

LRESULT CALLBACK ReturnHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *call = (const CWPRETSTRUCT *)lParam;
    if (code == HC_ACTION && call->message == WM_INITDIALOG && call->hwnd == Opening.FirstPage)
        Opening.InitEnd = Now();
    return CallNextHookEx(Hooks.Return, code, wParam, lParam);
}

// The sheet a paint message is for: the top-level window that holds the
// tab control.
HWND SheetOf(HWND window)
{
    HWND root = GetAncestor(window, GA_ROOT);
    return root && FindWindowExW(root, NULL, WC_TABCONTROLW, NULL) ? root : NULL;
}

// The modal loop's first paint message: the sheet is made and shown.
// Everything it has to paint is painted at once, then it is closed.
LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *message = (MSG *)lParam;
    HWND sheet = NULL;
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT && !Opening.Done)
        sheet = SheetOf(message->hwnd);
    if (sheet != NULL) {
        Opening.Done = TRUE;
        Opening.PaintBegin = Now();
        Opening.HeaderUs = 0;
        UpdateWindow(sheet);
        Opening.End = Now();
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    }
    return CallNextHookEx(Hooks.Message, code, wParam, lParam);
}

// The hooks on every sent message, which find the first page's
// WM_INITDIALOG, are set for the split's openings only: under Wine each
// costs server calls at every message, which no user of the sheet pays,
// and the item's pages send more messages than the empty ones.
void Hook(BOOL split)
{
    DWORD thread = GetCurrentThreadId();
    if (split) {
        Hooks.Call = SetWindowsHookExW(WH_CALLWNDPROC, CallHook, NULL, thread);
        Hooks.Return = SetWindowsHookExW(WH_CALLWNDPROCRET, ReturnHook, NULL, thread);
    }
    Hooks.Message = SetWindowsHookExW(WH_GETMESSAGE, MessageHook, NULL, thread);
}

void Unhook()
{
    if (Hooks.Call)
        UnhookWindowsHookEx(Hooks.Call);
    if (Hooks.Return)
        UnhookWindowsHookEx(Hooks.Return);
    UnhookWindowsHookEx(Hooks.Message);
    Hooks = HooksRecord();
}

// ---- The reference sheet ------------------------------------------------

INT_PTR CALLBACK EmptyPageProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

void RunReferenceSheet(HWND host)
{
    PROPSHEETPAGEW pages[OPTIONS_PAGE_COUNT];
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        ZeroMemory(&pages[i], sizeof(pages[i]));
        pages[i].dwSize = sizeof(pages[i]);
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = ModuleInstance;
        pages[i].pszTemplate = MAKEINTRESOURCEW(IDD_PAGE_GENERAL + i);
        pages[i].pszTitle = LoadStringInPlace(ModuleInstance, IDS_TAB_GENERAL + i);
        pages[i].pfnDlgProc = EmptyPageProc;
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_MAXIMIZE;
    header.hwndParent = host;
    header.hInstance = ModuleInstance;
    header.nPages = OPTIONS_PAGE_COUNT;
    header.ppsp = pages;
    HandheldPropertySheetW(&header);
}

// The host dialog as the item's: ended at once, the sheet run inside its
// WM_INITDIALOG.
INT_PTR CALLBACK ReferenceHostProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    if (EndDialog(dialog, 1)) {
        SHInitExtraControls();
        RunReferenceSheet(dialog);
    }
    return TRUE;
}

// The closed sheet's windows go on being taken down by the display
// server for a while; the next opening waits for that, so that no opening
// pays for the one before it.
void Settle()
{
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    GdiFlush();
    Sleep(20);
}

double OpenSheet(DLGPROC procedure, BOOL split = FALSE)
{
    Opening = OpeningRecord();
    Hook(split);
    Opening.Start = Now();
    DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(500), NULL, procedure, 0);
    Unhook();
    Settle();
    return Opening.End - Opening.Start;
}

double ItemOptionsStep()
{
    return OpenSheet(CustomItemOptionsDlgProc);
}

double ReferenceOptionsStep()
{
    return OpenSheet(ReferenceHostProc);
}

enum OptionsStepIndex { SheetStep, PageInitStep, FittingStep, FontsStep, HeaderStep, PaintStep, OptionsStepCount };
const char *const OptionsStepNames[OptionsStepCount] = {
    "sheet", "page_init", "text_fitting", "header_fonts", "header_paint", "first_paint"};

void SplitOneOpening(double *us)
{
    OpenSheet(CustomItemOptionsDlgProc, TRUE);
    const OpeningRecord &o = Opening;
    us[SheetStep] = (o.InitBegin - o.Start) + (o.PaintBegin - o.InitEnd);
    // The fonts are given from inside the fitting.
    us[PageInitStep] = o.InitEnd - o.InitBegin - o.FittingUs;
    us[FittingStep] = o.FittingUs - o.FontsUs;
    us[FontsStep] = o.FontsUs;
    us[HeaderStep] = o.HeaderUs;
    us[PaintStep] = o.End - o.PaintBegin - o.HeaderUs;
}

// No untimed openings first: the ratio's rounds have just opened it.
void MeasureOptionsSplit(const MeasurePlan &plan)
{
    MeasurePlan split = plan;
    split.Warmup = 0;
    MeasureSplit("options_split_", OptionsStepNames, OptionsStepCount, SplitOneOpening, split);
}

} // namespace

extern "C" void __wrap__Z12FitPageTextsP6HWND__(HWND page)
{
    double start = Now();
    __real__Z12FitPageTextsP6HWND__(page);
    Opening.FittingUs += Now() - start;
}

extern "C" int __wrap__Z15PaintPageHeaderP6HWND__i(HWND page, int index)
{
    double start = Now();
    int result = __real__Z15PaintPageHeaderP6HWND__i(page, index);
    Opening.HeaderUs += Now() - start;
    return result;
}

extern "C" void __wrap__Z13GivePageFontsP6HWND__i(HWND page, int index)
{
    double start = Now();
    __real__Z13GivePageFontsP6HWND__i(page, index);
    Opening.FontsUs += Now() - start;
}

void MeasureOptions(const MeasurePlan &plan)
{
    ModuleInstance = GetModuleHandleW(NULL);
    LoadSettingsAtAttach();
    // No item window here to ask for a reload when the sheet closes.
    ItemState.Window = NULL;
    static Measure openings[] = {{"options_us", NULL, ItemOptionsStep, {}, 0},
                                 {"options_reference_us", NULL, ReferenceOptionsStep, {}, 0}};
    MeasureInterleaved(openings, 2, plan);
    PrintMeasure(openings[0]);
    PrintMeasure(openings[1]);
    PrintRoundRatio("options_ratio", openings[0], NULL, openings[1], plan.Rounds);
    MeasureOptionsSplit(plan);
}
