// The item window: the one place where the host's messages, the timer, the
// suspend watcher and the options' reload requests arrive.
#pragma once
#include <windows.h>
#include "itemstate.h"

#define CLOCK_TIMER_ID 1
#define CLOCK_TIMER_PERIOD 1000

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
