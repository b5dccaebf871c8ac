// The item window: the one place where the host's messages, the timer, the
// suspend watcher and the options' reload requests arrive.
#pragma once
#include <windows.h>
#include "itemstate.h"

#define CLOCK_TIMER_ID 1
#define CLOCK_TIMER_PERIOD 1000

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The screen's size as a new window's creation read it: its orientation is
// noted, and the host's first refresh takes it without asking again.
void NoteCreationScreen(int width, int height);
