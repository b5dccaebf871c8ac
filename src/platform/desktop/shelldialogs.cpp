// Dialog helpers of the shell library.
#include "shell-standins.h"

namespace {

// The module this code lives in: the item's DLL, or a test program that
// links the item's code.
HINSTANCE ThisModule()
{
    HMODULE module = NULL;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)&ThisModule, &module);
    return module;
}

} // namespace

// The handheld shell sizes a dialog to the screen and adds its Done button
// when asked through SHIDIM_FLAGS, and lowers the input panel for
// SHIDIF_SIPDOWN. Desktop windows have no input panel and the options pages
// are laid out by their property sheet, so there is nothing to do beyond
// checking the record as the shell does.
BOOL SHInitDialog(PSHINITDLGINFO pshidi)
{
    return pshidi != NULL && IsWindow(pshidi->hDlg);
}

// Registers the "SIPPREF" class that dialog templates name for their hidden
// input-panel preference control. On the handheld that control raises the
// input panel while an edit of its dialog has the focus; a desktop has no
// panel, so the window only has to exist. Its procedure is DefWindowProcW,
// which lives in user32: the class stays safe to use after this module is
// unloaded. Global, so that a template of any module finds it, as on the
// handheld; registering twice is harmless.
BOOL SHInitExtraControls(void)
{
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    HINSTANCE module = ThisModule();
    if (GetClassInfoExW(module, WC_SIPPREF, &existing))
        return TRUE;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = module;
    wc.lpszClassName = WC_SIPPREF;
    return RegisterClassExW(&wc) != 0;
}
