// The program's name, and the module handle, kept from load to unload:
// strings, dialogs and the window class are found through it.
#pragma once
#include <windows.h>

#define PROGRAM_NAME L"Quartzel"

extern HINSTANCE ModuleInstance;
