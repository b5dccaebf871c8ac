// What a process holds: live GDI objects and committed private memory.
// GetGuiResources is a stub in Wine and PrivateUsage reads 0, so both are
// counted directly.
#pragma once
#include <windows.h>

// Live, non-stock GDI objects of this process (walks the process's GDI
// handle table).
int CountGdiObjects();

// Bytes of pixels that this process's live bitmaps hold.
SIZE_T BitmapBytes();

// Threads of this process (a toolhelp snapshot).
int CountThreads();

// Kernel handles of this process (the system's handle list: Wine's
// GetProcessHandleCount answers 0); -1 when the list cannot be had.
int CountHandles();

// Committed private memory of this process, in bytes (walks the address
// space with VirtualQuery).
SIZE_T PrivateBytes();
