// The operator text: which word wins for each phone status, names that do
// not fit, a phone key that cannot be opened, and the refresh rhythm of the
// item window's timer. The device's phone state is put back at the end.
#include "testlib.h"
#include "iat.h"
#include "module.h"
#include "phone.h"
#include "settings.h"
#include "itemwindow.h"
#include "fakehost.h"
#include "phonestate.h"
#include "usage.h"
#include "shell-standins.h"

// ---- Arranging the phone state ------------------------------------------------

static void CheckText(const WCHAR *name, DWORD status, const WCHAR *expected, int line)
{
    SetPhone(name, status);
    RefreshOperatorText();
    Tests.Checks++;
    if (lstrcmpW(OperatorText, expected) != 0)
        TestFailure(__FILE__, line, "name \"%ls\", status 0x%08lx: got \"%ls\", expected \"%ls\"",
                    name ? name : L"(none)", status, OperatorText, expected);
}
#define check_text(name, status, expected) CheckText(name, status, expected, __LINE__)

// ---- Tests ------------------------------------------------------------------

static void test_status_precedence()
{
    const WCHAR *op = L"Marrowfen Mobile";
    check_text(op, 0, op);
    check_text(op, 0x20, op);
    check_text(op, 0x200, op);
    check_text(op, 0x00400000, L"Searching");
    check_text(op, 0x00200000, L"No Service");
    check_text(op, 0x00000008, L"Blocked SIM");
    check_text(op, 0x00000004, L"Invalid SIM");
    check_text(op, 0x00000002, L"No SIM");
    check_text(op, 0x00000010, L"Phone Off");
    // Later rows win.
    check_text(op, 0x00400002, L"No SIM");
    check_text(op, 0x00000012, L"Phone Off");
    check_text(op, 0x00600000, L"No Service");
    check_text(op, 0x0000000C, L"Invalid SIM");
    check_text(op, 0x0060021E, L"Phone Off");
    check_text(op, 0xFFFFFFFF, L"Phone Off");
    // Without a name.
    check_text(L"", 0x200, L"Connected");
    check_text(L"", 0x20, L"Connected");
    check_text(L"", 0, L"No Phone");
    check_text(NULL, 0x20, L"Connected");
    check_text(NULL, 0, L"No Phone");
    check_text(L"", 0x00400020, L"Searching");
}

static void test_missing_or_odd_status()
{
    const WCHAR *op = L"Marrowfen Mobile";
    SetPhone(op, 0x10);
    DeleteRegValue(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, L"Status");
    RefreshOperatorText();
    ok_wstr(OperatorText, op);

    // A status that is not a DWORD counts as 0.
    BYTE odd[2] = {0x10, 0};
    SetRegBinary(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, L"Status", odd, 2);
    RefreshOperatorText();
    ok_wstr(OperatorText, op);
    DeleteRegValue(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, OperatorNameValue);
    RefreshOperatorText();
    ok_wstr(OperatorText, L"No Phone");

    // A name that is not a string is no name.
    SetRegDword(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, OperatorNameValue, 0x41414141);
    SetRegDword(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, L"Status", 0x20);
    RefreshOperatorText();
    ok_wstr(OperatorText, L"Connected");
}

static void FillName(WCHAR *name, int length)
{
    for (int i = 0; i < length; i++)
        name[i] = (WCHAR)(L'A' + i % 26);
    name[length] = 0;
}

static void test_long_operator_names()
{
    WCHAR name[400], expected[OPERATOR_TEXT_CHARS];
    // 59 characters fit as they are.
    FillName(name, 59);
    check_text(name, 0x20, name);
    // Longer names are cut to what the text holds.
    FillName(name, 60);
    lstrcpynW(expected, name, OPERATOR_TEXT_CHARS);
    check_text(name, 0x20, expected);
    ok_int(lstrlenW(OperatorText), 59);
    FillName(name, 255);
    check_text(name, 0x20, expected);
    // A cut never leaves half a surrogate pair.
    FillName(name, 70);
    name[58] = 0xD83D;
    name[59] = 0xDE00;
    lstrcpynW(expected, name, 59);
    check_text(name, 0x20, expected);
    ok_int(lstrlenW(OperatorText), 58);
    // Beyond any sensible length the name is not read: the phone is
    // connected, so that is what shows.
    FillName(name, 399);
    check_text(name, 0x20, L"Connected");
    // The status words still win over a long name.
    FillName(name, 120);
    check_text(name, 0x10, L"Phone Off");
}

static LONG WINAPI FailingRegCreateKeyExW(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                                          PHKEY result, LPDWORD)
{
    if (result)
        *result = NULL;
    return ERROR_ACCESS_DENIED;
}

static void test_phone_key_cannot_be_opened()
{
    SetPhone(L"Marrowfen Mobile", 0x20);
    ClosePhoneKey();
    void *original = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "RegCreateKeyExW", (void *)FailingRegCreateKeyExW, &original) >
           0,
       "RegCreateKeyExW replaced");
    RefreshOperatorText();
    ok_wstr(OperatorText, L"No Phone");
    ok(PhoneKey == NULL, "key stays closed");
    ClosePhoneKey();
    ok(PhoneKey == NULL, "closing a closed key is harmless");
    ReplaceImport(GetModuleHandleW(NULL), NULL, "RegCreateKeyExW", original, NULL);
    // Tried again at the next need.
    RefreshOperatorText();
    ok_wstr(OperatorText, L"Marrowfen Mobile");
    ok(PhoneKey != NULL, "key opened on the next refresh");
}

static void test_phone_key_stays_open()
{
    ClosePhoneKey();
    SetPhone(L"First", 0x20);
    RefreshOperatorText();
    HKEY key = PhoneKey;
    ok(key != NULL, "key opened");
    SetPhone(L"Second", 0x20);
    RefreshOperatorText();
    ok(PhoneKey == key, "same key used again");
    ok_wstr(OperatorText, L"Second");
    ClosePhoneKey();
    ok(PhoneKey == NULL, "key closed");
}

// ---- The change notice's stop -------------------------------------------------

static struct {
    int Failures;                 // SetEvent calls still to fail
    BOOL (WINAPI *Real)(HANDLE);
} Signal;

static BOOL WINAPI FailingSetEvent(HANDLE event)
{
    if (Signal.Failures > 0) {
        Signal.Failures--;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return Signal.Real(event);
}

// Closing the notice stops its worker even when the stop cannot be
// signalled: signalled again after a failure, ended where it waits when no
// signal ever gets through. Either way the close returns and the worker is
// gone.
static void test_notice_stops_without_its_signal()
{
    SetPhone(L"Marrowfen Mobile", 0x20);
    void *original = NULL;
    ok(ReplaceImport(GetModuleHandleW(NULL), NULL, "SetEvent", (void *)FailingSetEvent, &original) > 0,
       "SetEvent replaced");
    Signal.Real = (BOOL(WINAPI *)(HANDLE))original;
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    const int failures[] = {0, 1, 3, 1000000};
    for (int n : failures) {
        int threads = CountThreads();
        HREGNOTIFY notice = NULL;
        ok(SUCCEEDED(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, L"Status", window, WM_USER, 0, NULL,
                                          &notice)),
           "%d failing signals: notice registered\n", n);
        ok_int(CountThreads(), threads + 1);
        Signal.Failures = n;
        ok(SUCCEEDED(RegistryCloseNotification(notice)), "%d failing signals: notice closed\n", n);
        Signal.Failures = 0;
        ok(CountThreads() == threads, "%d failing signals: %d threads, %d before\n", n, CountThreads(), threads);
    }
    DestroyWindow(window);
    ReplaceImport(GetModuleHandleW(NULL), NULL, "SetEvent", original, NULL);
}

static SYSTEMTIME FakeNow;
static void WINAPI FakeGetLocalTime(SYSTEMTIME *time)
{
    *time = FakeNow;
}

// The timer refreshes the text on its first tick and then on every third;
// the ticks between keep the old text even when the phone state changed.
static void test_refresh_rhythm()
{
    FakeNow = SYSTEMTIME();
    FakeNow.wYear = 2024;
    FakeNow.wMonth = 3;
    FakeNow.wDay = 15;
    FakeNow.wDayOfWeek = 5;
    FakeNow.wHour = 9;
    ReplaceImport(GetModuleHandleW(NULL), NULL, "GetLocalTime", (void *)FakeGetLocalTime, NULL);

    HWND host = CreateFakeHost();
    HWND item = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 240, 60, host, NULL, NULL, NULL);
    ClockSettings.ShowOpName = 1;
    ClockSettings.ShowSeconds = 0;
    ItemState.LastMinute = 0;
    ItemState.OperatorCountdown = 0;

    const WCHAR *seen[7];
    LRESULT results[7];
    const WCHAR *names[7] = {L"Tick0", L"Tick1", L"Tick2", L"Tick3", L"Tick4", L"Tick5", L"Tick6"};
    static WCHAR copies[7][OPERATOR_TEXT_CHARS];
    for (int i = 0; i < 7; i++) {
        SetPhone(names[i], 0x20);
        results[i] = ItemWindowProc(item, WM_TIMER, CLOCK_TIMER_ID, 0);
        lstrcpyW(copies[i], OperatorText);
        seen[i] = copies[i];
    }
    const WCHAR *expected[7] = {L"Tick0", L"Tick0", L"Tick0", L"Tick3", L"Tick3", L"Tick3", L"Tick6"};
    for (int i = 0; i < 7; i++) {
        ok(lstrcmpW(seen[i], expected[i]) == 0, "tick %d shows \"%ls\", expected \"%ls\"", i, seen[i],
           expected[i]);
        ok_int(results[i], (i % 3 == 0) ? 1 : 0);
    }
    ClockSettings.ShowOpName = 0;
    DestroyWindow(item);
    DestroyFakeHost();
    ClosePhoneKey();
}

int main()
{
    ModuleInstance = GetModuleHandleW(NULL);
    SavePhoneState();
    run_test(test_status_precedence);
    run_test(test_missing_or_odd_status);
    run_test(test_long_operator_names);
    run_test(test_phone_key_cannot_be_opened);
    run_test(test_phone_key_stays_open);
    run_test(test_refresh_rhythm);
    run_test(test_notice_stops_without_its_signal);
    ClosePhoneKey();
    RestorePhoneState();
    return TestSummary();
}
