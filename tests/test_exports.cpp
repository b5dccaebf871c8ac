// The DLL as the Today host sees it: loaded from the path in its Today
// item key, entry points by ordinal only, resources used in place.
#include "testlib.h"
#include "itemdll.h"
#include "today-standins.h"
#include "settings.h"
#include "resource.h"

static HMODULE Dll;

static void test_exports_by_ordinal_only()
{
    ok(GetProcAddress(Dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZECUSTOMITEM)) != NULL, "ordinal 240");
    ok(GetProcAddress(Dll, MAKEINTRESOURCEA(ORDINAL_CUSTOMITEMOPTIONSDLGPROC)) != NULL, "ordinal 241");
    ok(GetProcAddress(Dll, "InitializeCustomItem") == NULL, "no export names");
    ok(GetProcAddress(Dll, "CustomItemOptionsDlgProc") == NULL, "no export names");

    BYTE *base = (BYTE *)Dll;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    IMAGE_EXPORT_DIRECTORY *exports = (IMAGE_EXPORT_DIRECTORY *)(base + dir.VirtualAddress);
    ok_int(exports->Base, 240);
    ok_int(exports->NumberOfFunctions, 2);
    ok_int(exports->NumberOfNames, 0);
}

static void test_strings_are_terminated_in_place()
{
    for (UINT id = 1; id <= 30; id++) {
        const WCHAR *text = NULL;
        int length = LoadStringW(Dll, id, (LPWSTR)&text, 0);
        ok(length > 0 && text != NULL, "string %u present", id);
        if (length > 0 && text)
            ok(text[length - 1] == 0 && lstrlenW(text) == length - 1, "string %u ends with its own terminator", id);
    }
    const WCHAR *text = NULL;
    LoadStringW(Dll, IDS_ACTION_CLOCK, (LPWSTR)&text, 0);
    ok_wstr(text, L"Clock & Alarms settings");
    LoadStringW(Dll, IDS_PHONE_NONE, (LPWSTR)&text, 0);
    ok_wstr(text, L"No Phone");
}

static void test_high_resolution_marker()
{
    HRSRC info = FindResourceW(Dll, L"HI_RES_AWARE", L"CEUX");
    ok(info != NULL, "CEUX HI_RES_AWARE present");
    if (!info)
        return;
    ok_int(SizeofResource(Dll, info), 2);
    const WORD *value = (const WORD *)LockResource(LoadResource(Dll, info));
    ok(value && *value == 1, "holds the 16-bit value 1");
}

static void test_host_dialog_template()
{
    HRSRC info = FindResourceW(Dll, MAKEINTRESOURCEW(IDD_OPTIONS_HOST), (LPCWSTR)RT_DIALOG);
    ok(info != NULL, "dialog 500 present");
    if (!info)
        return;
    // A plain DLGTEMPLATE (the handheld has no extended one): style,
    // dwExtendedStyle, cdit, x, y, cx, cy
    const WORD *t = (const WORD *)LockResource(LoadResource(Dll, info));
    ok(!(t[0] == 1 && t[1] == 0xFFFF), "plain template");
    DWORD style = *(const DWORD *)t;
    ok_int(style & ~(DWORD)DS_SETFONT, WS_VISIBLE);
    ok_int(t[4], 0);
    ok_int(t[7], 160);
    ok_int(t[8], 160);

    // The host's dialog procedure ends the dialog on OK and leaves every
    // other command to the dialog.
    DLGPROC proc = (DLGPROC)(void *)GetProcAddress(Dll, MAKEINTRESOURCEA(ORDINAL_CUSTOMITEMOPTIONSDLGPROC));
    HWND dialog = CreateWindowExW(0, L"#32770", L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ok_int(proc(dialog, WM_COMMAND, IDCANCEL, 0), FALSE);
    ok_int(proc(dialog, WM_COMMAND, IDOK, 0), TRUE);
    DestroyWindow(dialog);
}

int main()
{
    Dll = LoadItemDll();
    ok(Dll != NULL, "DLL named by the Today item key loads");
    if (!Dll)
        return TestSummary();
    run_test(test_exports_by_ordinal_only);
    run_test(test_strings_are_terminated_in_place);
    run_test(test_high_resolution_marker);
    run_test(test_host_dialog_template);
    FreeLibrary(Dll);
    return TestSummary();
}
