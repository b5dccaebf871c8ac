// Small helpers for the controls of the options pages.
#include "pages.h"
#include <commctrl.h>
#include <stdlib.h>

// Version that every up-down of the pages is asked to behave as.
static const int UpDownVersion = 526;

BOOL IsBoxChecked(HWND page, int id)
{
    return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetBoxChecked(HWND page, int id, BOOL checked)
{
    SendDlgItemMessageW(page, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetFreshBoxChecked(HWND page, int id, BOOL checked)
{
    if (checked)
        SetBoxChecked(page, id, TRUE);
}

void EnableControl(HWND page, int id, BOOL enable)
{
    EnableWindow(GetDlgItem(page, id), enable);
}

void EnableControls(HWND page, const int *ids, int count, BOOL enable)
{
    for (int i = 0; i < count; i++)
        EnableControl(page, ids[i], enable);
}

DWORD ReadControlNumber(HWND page, int id, int chars)
{
    WCHAR text[8] = L"";
    if (chars > (int)ARRAYSIZE(text))
        chars = ARRAYSIZE(text);
    GetWindowTextW(GetDlgItem(page, id), text, chars);
    return (DWORD)_wtol(text);
}

void SetUpDownVersion(HWND page, int id)
{
    SendDlgItemMessageW(page, id, CCM_SETVERSION, UpDownVersion, 0);
}

void SetUpDownRange(HWND page, int id, int lower, int upper)
{
    SendDlgItemMessageW(page, id, UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
}

void SetUpDownPos(HWND page, int id, int position)
{
    SendDlgItemMessageW(page, id, UDM_SETPOS, 0, MAKELPARAM(position, 0));
}

int GetUpDownPos(HWND page, int id)
{
    return LOWORD(SendDlgItemMessageW(page, id, UDM_GETPOS, 0, 0));
}
