// The Today screen's item interface: what a Today item and its host
// exchange. On the handheld build this comes from the SDK; for the desktop
// build and the host these are the same names, numbers and record layouts.
#pragma once
#include <windows.h>

typedef enum _TODAYLISTITEMTYPE {
    tlitOwnerInfo = 0,
    tlitAppointments,
    tlitMail,
    tlitTasks,
    tlitCustom,
    tlitNil
} TODAYLISTITEMTYPE;

typedef struct _TODAYLISTITEM {
    WCHAR szName[32];
    TODAYLISTITEMTYPE tlit;
    DWORD dwOrder;
    DWORD cyp;               // item height in pixels, written by the item
    BOOL fEnabled;
    BOOL fOptions;
    DWORD grfFlags;
    WCHAR szDLLPath[MAX_PATH];
    HINSTANCE hinstDLL;
    HWND hwndCustom;
    BOOL fSizeOnDraw;
    BYTE *prgbCachedData;
    DWORD cbCachedData;
    DWORD dwSelectability;
} TODAYLISTITEM;

typedef struct _TODAYDRAWWATERMARKINFO {
    HDC hdc;
    RECT rc;
    HWND hwnd;
} TODAYDRAWWATERMARKINFO;

// Host -> item
#define WM_TODAYCUSTOM_CLEARCACHE          (WM_USER + 242)
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE   (WM_USER + 243)
#define WM_TODAYCUSTOM_RECEIVEDSELECTION   (WM_USER + 244)
#define WM_TODAYCUSTOM_LOSTSELECTION       (WM_USER + 245)
#define WM_TODAYCUSTOM_USERNAVIGATION      (WM_USER + 246)
#define WM_TODAYCUSTOM_ACTION              (WM_USER + 247)

// Item -> host (sent or posted to the item window's parent)
#define TODAYM_GETCOLOR                    (WM_USER + 100)
#define TODAYM_DRAWWATERMARK               (WM_USER + 101)
#define TODAYM_TOOKSELECTION               (WM_USER + 102)

#define TODAYCOLOR_TEXT                    0x10000004
#define TODAYCOLOR_HIGHLIGHT               0x10000022
#define TODAYCOLOR_HIGHLIGHTEDTEXT         0x10000023

// Export ordinals of a custom Today item.
#define ORDINAL_INITIALIZECUSTOMITEM       240
#define ORDINAL_CUSTOMITEMOPTIONSDLGPROC   241
#define IDD_TODAY_CUSTOM                   500

typedef HWND(WINAPI *PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM *, HWND);
// The handheld declares the options procedure's result as BOOL, which is
// as wide as a pointer there; a 64-bit dialog manager reads a whole INT_PTR.
typedef INT_PTR(CALLBACK *PFNCUSTOMOPTIONSDLGPROC)(HWND, UINT, WPARAM, LPARAM);
