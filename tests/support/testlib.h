// A small test library in the manner of Wine's conformance tests: each
// check prints what it got and what it expected when it fails, groups are
// plain functions named test_*, and main() runs them and returns the number
// of failures.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <stdarg.h>

struct TestCounters {
    int Checks;
    int Failures;
    int Skips;
    const char *Group;
};
extern TestCounters Tests;

void TestFailure(const char *file, int line, const char *format, ...);
void TestSkip(const char *file, int line, const char *format, ...);

// A group that does not apply to this device says why and is counted,
// rather than passing by returning early.
#define skip(...) TestSkip(__FILE__, __LINE__, __VA_ARGS__)

#define ok(condition, ...)                                          \
    do {                                                            \
        Tests.Checks++;                                             \
        if (!(condition))                                           \
            TestFailure(__FILE__, __LINE__, __VA_ARGS__);           \
    } while (0)

#define ok_int(got, expected)                                                                     \
    do {                                                                                          \
        long long got_ = (long long)(got), expected_ = (long long)(expected);                     \
        ok(got_ == expected_, "%s: got %lld (0x%llx), expected %lld (0x%llx)", #got, got_, got_,  \
           expected_, expected_);                                                                 \
    } while (0)

#define ok_wstr(got, expected)                                                            \
    do {                                                                                  \
        const WCHAR *got_ = (got), *expected_ = (expected);                               \
        ok(lstrcmpW(got_, expected_) == 0, "%s: got \"%ls\", expected \"%ls\"", #got, got_, \
           expected_);                                                                    \
    } while (0)

// Runs one group and names it in failure messages.
#define run_test(group)          \
    do {                                \
        Tests.Group = #group;           \
        group();                        \
    } while (0)

// Prints the totals in a form ctest logs show; the exit code is the number
// of failures (capped).
int TestSummary();

// Pumps the calling thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);

// Dispatches every message already queued for the calling thread.
void PumpPending();

// Pumps the calling thread's messages until `condition()` holds; `ms` is
// only a bound against a hang. Returns whether the condition held.
template <typename Condition> BOOL PumpUntil(Condition condition, DWORD ms = 10000)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (condition())
            return TRUE;
        if (GetTickCount() - start >= ms)
            return FALSE;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
}

// Waits, without dispatching anything, until a message sent by another
// thread is pending for this one; `ms` bounds the wait. Returns whether
// one is.
BOOL WaitForPendingSend(DWORD ms);

// A fixed-seed generator, so that a fuzz run repeats exactly.
DWORD NextRandom(unsigned long long *state);

// TRUE when `text` has a terminator within its first `size` characters.
BOOL TerminatedWithin(const WCHAR *text, int size);

// Registry helpers for arranging test conditions.
void SetRegDword(HKEY root, const WCHAR *key, const WCHAR *name, DWORD value);
void SetRegBinary(HKEY root, const WCHAR *key, const WCHAR *name, const void *data, DWORD size);
void SetRegString(HKEY root, const WCHAR *key, const WCHAR *name, const WCHAR *value);
void DeleteRegValue(HKEY root, const WCHAR *key, const WCHAR *name);
BOOL RegValueExists(HKEY root, const WCHAR *key, const WCHAR *name);
DWORD GetRegDword(HKEY root, const WCHAR *key, const WCHAR *name, DWORD fallback);
// Empties a key (deletes and re-creates it).
void ResetRegKey(HKEY root, const WCHAR *key);
void DeleteRegKey(HKEY root, const WCHAR *key);
// A key that may be read but not written (or writable again).
void SetRegKeyWritable(HKEY root, const WCHAR *key, BOOL writable);
