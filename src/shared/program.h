// The module handle, kept from load to unload: strings, dialogs and the
// window class are found through it.
#pragma once
#include <windows.h>

extern HINSTANCE ModuleInstance;
