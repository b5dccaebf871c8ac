// Counts every call a module makes to the functions it imports from one
// DLL: each import table entry is pointed at a small stub that increments
// that function's counter and jumps on to the real function. Used to prove
// what an event costs ("a quiet timer tick makes no GDI call") without any
// test code in the module.
#pragma once
#include <windows.h>
#include <stdio.h>

// Wraps every by-name import of `dll` (e.g. "gdi32.dll") in `module`.
// Returns the number of functions wrapped. Wrapping the same module and
// DLL twice does nothing more.
int CountImportCalls(HMODULE module, const char *dll);

// Calls to `function` since the last reset (0 when not wrapped).
LONGLONG ImportCalls(const char *function);
// Calls to every wrapped function of `dll` since the last reset.
LONGLONG ImportCallsTo(const char *dll);
void ResetImportCalls();
// Writes the non-zero counters, one "function calls" pair per line.
void PrintImportCalls(FILE *out);
