// Resource strings used in place. Every entry of the string table carries
// its own terminating zero, so the pointer into the loaded resource is a
// ready C string; no copy, no buffer size to get wrong.
#pragma once
#include <windows.h>

// Pointer to string-table entry `id` of `instance`, or an empty string when
// the entry does not exist.
const WCHAR *LoadStringInPlace(HINSTANCE instance, UINT id);
