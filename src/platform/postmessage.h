// Posting messages that the handheld lets any window post. Desktop Win32
// refuses to post a message whose parameters may carry pointers, WM_CREATE
// among them (PostMessageW fails with ERROR_MESSAGE_SYNC_ONLY); the options
// post WM_CREATE to the item window to make it reload. Such a message is
// queued here and sent, in order, from the posting thread's message loop
// once the poster has returned, as a posted message would be handled.
#pragma once
#include <windows.h>

BOOL WINAPI HandheldPostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
#ifndef HANDHELD_POSTMESSAGE_IMPLEMENTATION
#undef PostMessageW
#define PostMessageW HandheldPostMessageW
#endif
