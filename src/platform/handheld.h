// What differs between the two builds of the item, in one place. The item's
// code includes this header and calls the handheld's functions by their own
// names; the handheld build takes them from the SDK's headers (and, for the
// few the SDK lacks, from shell-additions.h), the desktop build from the
// stand-ins in desktop/.
#pragma once

#ifdef _WIN32_WCE
// AlphaBlend and the font calls the item uses are declared for 0x0410 on.
#ifndef WINVER
#define WINVER 0x0500
#endif
#endif

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

// The handheld's ClearType quality with compatible widths; the desktop
// calls the same value CLEARTYPE_NATURAL_QUALITY. Neither set of headers
// names it.
#ifndef CLEARTYPE_COMPAT_QUALITY
#define CLEARTYPE_COMPAT_QUALITY 6
#endif

#ifdef _WIN32_WCE

#include <aygshell.h>
#include <msgqueue.h>
#include <pm.h>
#include <todaycmn.h>
#include "shell-additions.h"

#ifndef ARRAYSIZE
#define ARRAYSIZE(a) (sizeof(a) / sizeof((a)[0]))
#endif
// The core library exports these without the W.
#define GetCharWidth32W GetCharWidth32
#define SHGetSpecialFolderPathW SHGetSpecialFolderPath
#define ShellExecuteExW ShellExecuteEx
extern "C" long __cdecl _wtol(const wchar_t *text);
// Values of the desktop's headers that the SDK's lack.
#define BS_TYPEMASK 0x0000000F
#define PSCB_GETVERSION 3
#ifndef PSH_MAXIMIZE
#define PSH_MAXIMIZE 0x2000
#endif

// The handheld's GDI keeps no batch of calls to flush.
inline void FinishBatchedDrawing()
{
}

#else

#include "desktop/shell-standins.h"
#include "desktop/queue-standins.h"
#include "desktop/today-standins.h"
#include "desktop/postmessage.h"
#include "desktop/propsheet.h"

// Desktop GDI may batch calls: what the DC drew reaches a DIB section's bits
// only after a flush.
inline void FinishBatchedDrawing()
{
    GdiFlush();
}

// The handheld's posting and property sheet, where desktop Win32 differs.
#define PostMessageW HandheldPostMessageW
#define PropertySheetW HandheldPropertySheetW

#endif

// The depth the face's surfaces are made for: the screen's own, asked once
// per load as the handheld asks it.
inline int ScreenSurfaceBits(HDC screen)
{
    return GetDeviceCaps(screen, BITSPIXEL);
}
