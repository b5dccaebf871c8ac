// Process-wide state prepared when the library is loaded.
#pragma once
#include <windows.h>
#include "program.h"

extern UINT UiMetricMessage;

#define ITEM_CLASS L"QZL"

void ModuleAttach(HINSTANCE instance);
void ModuleDetach();
BOOL RegisterItemClass();

extern "C" HWND WINAPI InitializeCustomItem(struct _TODAYLISTITEM *item, HWND parent);
