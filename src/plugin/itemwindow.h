// The item window: the one place where the host's messages, the timer, the
// suspend watcher and the options' reload requests arrive.
#pragma once
#include <windows.h>
#include "itemstate.h"

#define CLOCK_TIMER_ID 1
#define CLOCK_TIMER_PERIOD 1000

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// What a new window's creation read: the screen's size, whose orientation
// is noted and taken by the host's first refresh without asking again, and
// whether the fonts were built within the creation (then the UI font size
// they were built for is this moment's, and that refresh takes it too).
void NoteCreation(int width, int height, BOOL fontsBuilt);
