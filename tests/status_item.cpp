// The phone's state as the real DLL shows it in the day slot, read back
// from the painted pixels: the change notice in both directions, the first
// tick after the operator option is switched on, and a phone stack that
// restarts under the item. The device's phone state is put back at the end.
#include "testlib.h"
#include "itemdll.h"
#include "fakehost.h"
#include "phonestate.h"
#include "today-standins.h"
#include "settings.h"
#include "phone.h"
#include "options/sheetdriver.h"

struct ItemRecord {
    HMODULE Dll;
    HWND Item;
    TODAYLISTITEM Record;
    int Width, Height;   // the day slot: the left half of the top rows
};
static ItemRecord I;

// ---- The day slot's pixels ------------------------------------------------------------

struct Slot {
    DWORD Pixels[240 * 64];
};

static void ReadSlot(Slot *slot)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = I.Width;
    info.bmiHeader.biHeight = -I.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(I.Item);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, I.Width, I.Height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    for (int i = 0; i < I.Width * I.Height; i++)
        slot->Pixels[i] = ((DWORD *)bits)[i] & 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(I.Item, screen);
}

static BOOL SameSlot(const Slot *a, const Slot *b)
{
    return memcmp(a->Pixels, b->Pixels, (SIZE_T)I.Width * I.Height * 4) == 0;
}

// The slot as the item paints it for the phone state now in the registry.
static void ReadSlotFor(const WCHAR *name, DWORD status, Slot *slot)
{
    SetPhone(name, status);
    SendMessageW(I.Item, WM_USER, 0, 0);
    ReadSlot(slot);
}

// Pumps this thread's messages until the slot shows `expected` or `ms`
// have passed.
static BOOL WaitForSlot(const Slot *expected, DWORD ms)
{
    static Slot now;
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages(20);
        UpdateWindow(I.Item);
        ReadSlot(&now);
        if (SameSlot(&now, expected))
            return TRUE;
        if (GetTickCount() - start > ms)
            return FALSE;
    }
}

// One timer tick as the timer would deliver it, and its paint.
static void Tick()
{
    SendMessageW(I.Item, WM_TIMER, 1, 0);
    UpdateWindow(I.Item);
}

// Takes new settings in as the options do: the marker, then WM_CREATE.
static void Reload(DWORD showOperator)
{
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowOpName", showOperator);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"QZL", 0);
    SendMessageW(I.Item, WM_CREATE, 0, 0);
    // Only the ticks that this test sends, and the notices, may refresh.
    KillTimer(I.Item, 1);
}

static Slot Alpha, Beta, Off;

static void test_reference_slots()
{
    ReadSlotFor(L"Alpha", 0x20, &Alpha);
    ReadSlotFor(L"Beta", 0x20, &Beta);
    ReadSlotFor(L"Alpha", 0x10, &Off);
    ok(!SameSlot(&Alpha, &Beta) && !SameSlot(&Alpha, &Off) && !SameSlot(&Beta, &Off),
       "the three states look different");
}

// The notice follows the watched bits both ways: into "Phone Off" and back
// out of it to the operator.
static void test_notice_both_ways()
{
    static Slot now;
    ReadSlotFor(L"Alpha", 0x20, &now);
    SetPhone(L"Alpha", 0x10);
    ok(WaitForSlot(&Off, 3000), "the notice shows Phone Off");
    SetPhone(L"Alpha", 0x20);
    ok(WaitForSlot(&Alpha, 3000), "the notice shows the operator again");
}

// Switched off and on again: the first tick refreshes the operator text.
static void test_first_tick_after_switching_on()
{
    ReadSlotFor(L"Alpha", 0x20, &Alpha);
    Tick();
    Reload(0);
    SetPhone(L"Beta", 0x20);
    Reload(1);
    Tick();
    static Slot now;
    ReadSlot(&now);
    ok(SameSlot(&now, &Beta), "the first tick after switching on shows the operator");
}

// The phone stack deletes its state key and makes it again with a new
// operator: the item shows it within three ticks, and the notice works on
// the new key.
static void test_phone_stack_restart()
{
    ReadSlotFor(L"Beta", 0x20, &Beta);
    DeleteRegKey(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY);
    SetPhone(L"Alpha", 0x20);
    for (int i = 0; i < 3; i++)
        Tick();
    static Slot now;
    ReadSlot(&now);
    ok(SameSlot(&now, &Alpha), "the new operator shows within three ticks");
    SetPhone(L"Alpha", 0x10);
    ok(WaitForSlot(&Off, 3000), "the notice works on the new key");
    SetPhone(L"Alpha", 0x20);
    ok(WaitForSlot(&Alpha, 3000), "and back");
}

static void CloseAtOnce(HWND sheet)
{
    PressOk(sheet);
}

// The options' save closes the phone key. A phone stack that restarts
// after that is still heard: the key opened afresh carries the notice.
static void test_restart_after_the_options()
{
    BOOL timedOut = FALSE;
    RunOptions(I.Dll, ItemOptionsProc(I.Dll), CloseAtOnce, &timedOut);
    ok(!timedOut, "the options closed");
    PumpMessages(100);
    KillTimer(I.Item, 1);
    DeleteRegKey(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY);
    SetPhone(L"Alpha", 0x20);
    for (int i = 0; i < 3; i++)
        Tick();
    SetPhone(L"Alpha", 0x10);
    ok(WaitForSlot(&Off, 3000), "the notice works on the new key");
}

static BOOL LoadItem()
{
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowOpName", 1);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"CenterDayDate", 0);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowShortDate", 1);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"ShowSeconds", 0);
    SetRegDword(HKEY_CURRENT_USER, SETTINGS_KEY, L"AlarmIconEnabled", 0);
    SetPhone(L"Alpha", 0x20);
    I.Dll = LoadItemDll();
    PFNCUSTOMINITIALIZEITEM initialize = I.Dll ? ItemInitializer(I.Dll) : NULL;
    if (initialize == NULL)
        return FALSE;
    I.Item = initialize(&I.Record, CreateFakeHost());
    if (I.Item == NULL)
        return FALSE;
    KillTimer(I.Item, 1);
    SendMessageW(I.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&I.Record, 0);
    int width = GetSystemMetrics(SM_CXSCREEN);
    SetWindowPos(I.Item, NULL, 0, 0, width, (int)I.Record.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    // The day slot: the left half of the top third.
    I.Width = width / 2 < 240 ? width / 2 : 240;
    I.Height = (int)I.Record.cyp / 3 < 64 ? (int)I.Record.cyp / 3 : 64;
    return TRUE;
}

int main()
{
    SavePhoneState();
    ok(LoadItem(), "the item loaded");
    if (I.Item != NULL) {
        run_test(test_reference_slots);
        run_test(test_notice_both_ways);
        run_test(test_first_tick_after_switching_on);
        run_test(test_phone_stack_restart);
        run_test(test_restart_after_the_options);
        DestroyWindow(I.Item);
    }
    DestroyFakeHost();
    if (I.Dll)
        FreeLibrary(I.Dll);
    RestorePhoneState();
    ResetRegKey(HKEY_CURRENT_USER, SETTINGS_KEY);
    return TestSummary();
}
