// Posting messages that the handheld lets any window post. Desktop Win32
// refuses to post a message whose parameters may carry pointers, WM_CREATE
// among them (PostMessageW fails with ERROR_MESSAGE_SYNC_ONLY); the options
// post WM_CREATE to the item window to make it reload. Such a message is
// queued here and sent, in order, from the posting thread's message loop
// once the poster has returned, as a posted message would be handled; any
// other message is posted as usual. Called by its own name, so that a
// plain PostMessageW elsewhere stays a plain post.
#pragma once
#include <windows.h>

BOOL WINAPI HandheldPostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
