// The handheld shell library (aygshell) as the item uses it. On the handheld
// build these come from the SDK; on the desktop these stand-ins provide them
// on top of desktop Win32 with the same names and signatures.
#pragma once
#include <windows.h>

// ---- UI metrics ----------------------------------------------------------
typedef enum tagSHUIMETRIC {
    SHUIM_INVALID = 0,
    SHUIM_FONTSIZE_POINT,      // hundredths of a point
    SHUIM_FONTSIZE_PIXEL,
    SHUIM_FONTSIZE_PERCENTAGE,
} SHUIMETRIC;
#define SH_UIMETRIC_CHANGE L"SH_UIMETRIC_CHANGE"

HRESULT SHGetUIMetrics(SHUIMETRIC shuim, PVOID pvBuffer, DWORD cbBufferSize, DWORD *pcbRequired);

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
#define SHRG_RETURNCMD      0x00000001
#define SHRG_NOTIFYPARENT   0x00000002
#define SHRG_LONGDELAY      0x00000008
#define GN_CONTEXTMENU      1000

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

// ---- Registry helpers and change notifications ----------------------------
typedef HANDLE HREGNOTIFY;
typedef enum tagREG_COMPARISONTYPE {
    REG_CT_ANYCHANGE = 0,
    REG_CT_EQUAL,
    REG_CT_NOT_EQUAL,
    REG_CT_GREATER,
    REG_CT_GREATER_OR_EQUAL,
    REG_CT_LESS,
    REG_CT_LESS_OR_EQUAL,
    REG_CT_CONTAINS,
    REG_CT_STARTS_WITH,
    REG_CT_ENDS_WITH,
} REG_COMPARISONTYPE;

typedef struct tagNOTIFICATIONCONDITION {
    REG_COMPARISONTYPE ctComparisonType;
    DWORD dwMask;
    union {
        LPCTSTR psz;
        DWORD dw;
    } TargetValue;
} NOTIFICATIONCONDITION;

HRESULT RegistryNotifyWindow(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, HWND hWnd, UINT msg,
                             DWORD dwUserData, NOTIFICATIONCONDITION *pCondition, HREGNOTIFY *phNotify);
HRESULT RegistryCloseNotification(HREGNOTIFY hNotify);
HRESULT RegistryGetDWORD(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, DWORD *pdwData);
HRESULT RegistryGetString(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, LPTSTR pszData, UINT cchData);
