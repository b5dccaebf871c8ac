// Replacing one import of a loaded module: the seam through which the
// emulator sets the clock a Today item sees (and tests observe calls)
// without any test code inside the item.
#pragma once
#include <windows.h>

// Points every import of `function` (by name) from `dll` in `module`'s
// import address table at `replacement`. `dll` is compared without regard
// to case ("kernel32.dll" matches "KERNEL32.dll"); a null `dll` matches
// every imported module. When `original` is non-null it receives the
// address the table held before (the first one replaced).
// Returns the number of table entries replaced: 0 when the module does not
// import the function by name.
int ReplaceImport(HMODULE module, const char *dll, const char *function,
                  void *replacement, void **original);
