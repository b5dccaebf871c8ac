// What the handheld's shell and core libraries export and the SDK's headers
// leave out: the user-interface metrics and the registry helpers of the
// shell (Windows Mobile 5 and later), the gesture recogniser's flags, and
// the power manager's transition notification. Same names, numbers and
// record layouts as the device's own; C linkage, as the libraries export
// them. The desktop's stand-ins implement the same declarations.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- UI metrics ----------------------------------------------------------
typedef enum tagSHUIMETRIC {
    SHUIM_INVALID = 0,
    SHUIM_FONTSIZE_POINT,
    SHUIM_FONTSIZE_PIXEL,
    SHUIM_FONTSIZE_PERCENTAGE
} SHUIMETRIC;
#define SH_UIMETRIC_CHANGE L"SH_UIMETRIC_CHANGE"

HRESULT WINAPI SHGetUIMetrics(SHUIMETRIC shuim, PVOID pvBuffer, DWORD cbBufferSize, DWORD *pcbRequired);

// ---- Gestures ------------------------------------------------------------
#define SHRG_RETURNCMD 0x00000001
#define GN_CONTEXTMENU 1000

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
    REG_CT_ENDS_WITH
} REG_COMPARISONTYPE;

typedef struct tagNOTIFICATIONCONDITION {
    REG_COMPARISONTYPE ctComparisonType;
    DWORD dwMask;
    union {
        LPCTSTR psz;
        DWORD dw;
    } TargetValue;
} NOTIFICATIONCONDITION;

HRESULT WINAPI RegistryNotifyWindow(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, HWND hWnd, UINT msg,
                                    DWORD dwUserData, NOTIFICATIONCONDITION *pCondition, HREGNOTIFY *phNotify);
HRESULT WINAPI RegistryCloseNotification(HREGNOTIFY hNotify);
HRESULT WINAPI RegistryGetDWORD(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, DWORD *pdwData);
HRESULT WINAPI RegistryGetString(HKEY hKey, LPCTSTR pszSubKey, LPCTSTR pszValueName, LPTSTR pszData,
                                 UINT cchData);

// ---- Power notifications ----------------------------------------------------
#define PBT_TRANSITION 0x00000001

#ifdef __cplusplus
}
#endif
