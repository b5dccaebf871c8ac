// The handheld shell library (aygshell) as the item uses it. On the handheld
// build these come from the SDK; on the desktop these stand-ins provide them
// on top of desktop Win32 with the same names and signatures.
#pragma once
#include <windows.h>
// The UI metrics, the registry helpers and the gesture flags, declared as
// the handheld build declares them.
#include "shell-additions.h"

// Where the device keeps its user-interface font size (hundredths of a
// point); the device's control panel writes it and broadcasts
// SH_UIMETRIC_CHANGE.
#define DEVICE_APPEARANCE_KEY L"ControlPanel\\Appearance"
#define DEVICE_FONTSIZE_VALUE L"FontSize"

// ---- Gestures ------------------------------------------------------------
typedef struct tagSHRGI {
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown;
    DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;
#define SHRG_NOTIFYPARENT   0x00000002
#define SHRG_LONGDELAY      0x00000008

DWORD SHRecognizeGesture(SHRGINFO *shrg);

// ---- Dialogs ---------------------------------------------------------------
typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;
#define SHIDIM_FLAGS            0x0001
#define SHIDIF_DONEBUTTON       0x0001
#define SHIDIF_SIZEDLG          0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN          0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU        0x0020

BOOL SHInitDialog(PSHINITDLGINFO pshidi);
BOOL SHInitExtraControls(void);
#define WC_SIPPREF L"SIPPREF"
