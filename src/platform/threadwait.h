// Whether another thread of this process sits in a kernel wait, seen from
// outside without waking it.
#pragma once
#include <windows.h>

// TRUE when the thread is inside WaitForSingleObject or
// WaitForMultipleObjects (or cannot be looked at); FALSE while it runs or
// waits elsewhere, for example for the answer to a SendMessage.
BOOL ThreadIsInKernelWait(DWORD threadId);
