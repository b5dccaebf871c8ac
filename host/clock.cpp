// The device clock. Without a setting the device runs on the host
// machine's local time; a setting fixes the time that the Today item and
// the title band see, optionally running on from it. The item reads the
// time through its GetLocalTime import, which InstallDeviceClock redirects
// here, so the item itself carries no test code.
#include "todayemu.h"
#include "iat.h"

struct DeviceClockState {
    BOOL Set;             // FALSE: the machine's own local time
    BOOL Ticking;
    ULONGLONG Base;       // the set time as a FILETIME count
    ULONGLONG StartTick;  // GetTickCount64 when it was set
};

static DeviceClockState DeviceClock;

static ULONGLONG FileTimeCount(const FILETIME *ft)
{
    return ((ULONGLONG)ft->dwHighDateTime << 32) | ft->dwLowDateTime;
}

void SetDeviceClock(const SYSTEMTIME *time, BOOL ticking)
{
    FILETIME ft;
    if (!SystemTimeToFileTime(time, &ft))
        return;
    DeviceClock.Set = TRUE;
    DeviceClock.Ticking = ticking;
    DeviceClock.Base = FileTimeCount(&ft);
    DeviceClock.StartTick = GetTickCount64();
}

void DeviceLocalTime(SYSTEMTIME *time)
{
    if (!DeviceClock.Set) {
        GetLocalTime(time);
        return;
    }
    ULONGLONG now = DeviceClock.Base;
    if (DeviceClock.Ticking)
        now += (GetTickCount64() - DeviceClock.StartTick) * 10000;   // ms -> 100 ns
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)now;
    ft.dwHighDateTime = (DWORD)(now >> 32);
    FileTimeToSystemTime(&ft, time);
}

static void WINAPI DeviceGetLocalTime(SYSTEMTIME *time)
{
    DeviceLocalTime(time);
}

BOOL InstallDeviceClock(HMODULE module)
{
    if (!DeviceClock.Set)
        return TRUE;
    return ReplaceImport(module, NULL, "GetLocalTime", (void *)DeviceGetLocalTime, NULL) > 0;
}
