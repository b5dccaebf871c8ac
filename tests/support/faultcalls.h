// Failing a DLL's calls on purpose, from its very load on: the DLL is
// mapped without its imports, and each import is then pointed either at
// the real function or, for the functions of the fault table, at a small
// stub that counts the call in its family and, when the call is the one
// chosen to fail, returns the family's failure value instead of calling
// through. The DLL's own entry point is called by hand after that, so
// even the calls of its load can fail. No test code lives in the DLL.
#pragma once
#include <windows.h>

// One row per function that a device can fail.
struct FaultFunction {
    const char *Name;
    int Family;
    ULONG_PTR FailValue;     // what the failed call returns
    DWORD Error;             // and leaves as the last error
};

// Which call fails: the K-th call (counted from 1) of the family since the
// last reset, and with Lasting every call of it from there on. K 0: none.
struct FaultChoice {
    int Family;
    LONG K;
    BOOL Lasting;
};

// `functions` (count rows) and `families` (family names) stay the
// caller's. Stubs are made once per row.
void UseFaultTable(const FaultFunction *functions, int count, int families);

// Maps `path`, resolves its imports through the table and calls its entry
// point for the process attach. NULL when it could not be mapped or its
// attach failed.
HMODULE LoadWithFaults(const WCHAR *path);
// Process detach through the entry point, then unmapping.
void UnloadWithFaults(HMODULE dll);

void ChooseFault(const FaultChoice &choice);
void ResetFaultCounts();
// Calls of `family` since the last reset, failed ones included.
LONG FaultCalls(int family);
// Calls failed since the last reset.
LONG FaultsInjected();
