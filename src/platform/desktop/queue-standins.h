// Point-to-point message queues, power notifications and EventModify of the
// handheld's core library. On the handheld build these come from the SDK;
// on the desktop these stand-ins provide them on top of desktop Win32 with
// the same names, numbers and record layouts.
#pragma once
#include <windows.h>

// ---- Point-to-point message queues ------------------------------------------
typedef struct MSGQUEUEOPTIONS_OS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMaxMessages;    // 0: no limit
    DWORD cbMaxMessage;     // largest message a writer may put
    BOOL bReadAccess;       // TRUE: a read handle, FALSE: a write handle
} MSGQUEUEOPTIONS, *LPMSGQUEUEOPTIONS, *PMSGQUEUEOPTIONS;

#define MSGQUEUE_NOPRECOMMIT  0x00000001
#define MSGQUEUE_ALLOW_BROKEN 0x00000002
#define MSGQUEUE_MSGALERT     0x00000001

// A read handle is signalled while a message is queued; a write handle while
// there is room for one more. Both can be waited on like any other handle.
HANDLE CreateMsgQueue(LPCWSTR lpszName, LPMSGQUEUEOPTIONS lpOptions);
// Another handle to the queue behind hMsgQ, with the access that
// lpOptions->bReadAccess asks for (queues live in this process only).
HANDLE OpenMsgQueue(HANDLE hSrcProc, HANDLE hMsgQ, LPMSGQUEUEOPTIONS lpOptions);
BOOL ReadMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbBufferSize, LPDWORD lpNumberOfBytesRead,
                  DWORD dwTimeout, DWORD *pdwFlags);
BOOL WriteMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbDataSize, DWORD dwTimeout, DWORD dwFlags);
BOOL CloseMsgQueue(HANDLE hMsgQ);

// ---- Power notifications ------------------------------------------------------
#define PBT_TRANSITION        0x00000001
#define PBT_RESUME            0x00000002
#define PBT_POWERSTATUSCHANGE 0x00000004
#define PBT_POWERINFOCHANGE   0x00000008
#define POWER_NOTIFY_ALL      0xFFFFFFFF

#define POWER_STATE_ON        0x00010000
#define POWER_STATE_OFF       0x00020000
#define POWER_STATE_CRITICAL  0x00040000
#define POWER_STATE_BOOT      0x00080000
#define POWER_STATE_IDLE      0x00100000
#define POWER_STATE_SUSPEND   0x00200000
#define POWER_STATE_RESET     0x00800000

typedef struct _POWER_BROADCAST {
    DWORD Message;          // PBT_*
    DWORD Flags;            // POWER_STATE_* of the new state
    DWORD Length;           // bytes of SystemPowerState, terminator included
    WCHAR SystemPowerState[1];
} POWER_BROADCAST, *PPOWER_BROADCAST;

// Registers the queue for the notification classes in Flags; the power
// manager then writes a POWER_BROADCAST into it for each event of those
// classes. Returns a handle for StopPowerNotifications, or NULL.
HANDLE RequestPowerNotifications(HANDLE hMsgQ, DWORD Flags);
DWORD StopPowerNotifications(HANDLE h);

// ---- Events ---------------------------------------------------------------
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET   3

BOOL EventModify(HANDLE hEvent, DWORD func);
