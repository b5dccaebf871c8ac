// The item window procedure and the state it keeps for painting.
#include "itemwindow.h"
#include "module.h"
#include "todaycmn.h"
#include "settings.h"
#include "fonts.h"
#include "layout.h"
#include "timeformat.h"
#include "paint.h"
#include "alarm.h"
#include "phone.h"
#include "watcher.h"
#include "tap.h"

namespace {

// Phone status bits that change the operator text, plus roaming.
const DWORD PhoneStatusMask = 0x0060021E;

DWORD DateStamp(const SYSTEMTIME *time)
{
    return ((DWORD)time->wYear << 16) | ((DWORD)time->wMonth << 8) | time->wDay;
}

// The strip shows minute, hour and date: a clock set by whole hours, a new
// day or a wake-up hours later in the same minute all change what it shows.
BOOL ShownTimeDiffers(const SYSTEMTIME *now)
{
    return now->wMinute != ItemState.LastMinute || now->wHour != ItemState.LastHour ||
           DateStamp(now) != ItemState.LastDate;
}

void RememberShownTime(const SYSTEMTIME *now)
{
    ItemState.LastMinute = now->wMinute;
    ItemState.LastHour = now->wHour;
    ItemState.LastDate = DateStamp(now);
}

void InvalidateItem(HWND window)
{
    RECT rect;
    ItemRect(window, &rect);
    InvalidateRect(window, &rect, FALSE);
}

// The marker is removed through a key opened for writing.
void RemoveReloadMarker()
{
    HKEY key = OpenSettingsKey(RegistryWrite);
    if (key == NULL)
        return;
    DeleteReloadMarker(key);
    RegCloseKey(key);
}

// A save in the options writes the marker; the first creation that finds it
// takes the new settings into this process. The key is opened for reading,
// and for writing only to remove the marker: a key that may be read but not
// written still gives its settings.
void ReloadSettingsIfMarked()
{
    HKEY key = OpenSettingsKey(RegistryRead);
    if (key == NULL)
        return;
    BOOL marked = ReloadMarkerPresent(key);
    if (marked) {
        LoadSettings(key);
        BuildClockFonts();
        ItemState.BackgroundDirty = 1;
    }
    RegCloseKey(key);
    if (marked)
        RemoveReloadMarker();
}

void UpdatePhoneStatusNotification(HWND window)
{
    if (ClockSettings.ShowOpName && ItemState.PhoneStatusNotification == NULL) {
        // Any change of the watched bits, into a state without network as
        // much as back out of it: a phone that recovers must not keep
        // showing its old state until the next refresh.
        NOTIFICATIONCONDITION condition = {};
        condition.ctComparisonType = REG_CT_ANYCHANGE;
        condition.dwMask = PhoneStatusMask;
        condition.TargetValue.dw = 0;
        HREGNOTIFY notification = NULL;
        if (SUCCEEDED(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, PHONE_STATE_KEY, L"Status", window, WM_USER, 0,
                                           &condition, &notification)))
            ItemState.PhoneStatusNotification = notification;
    } else if (!ClockSettings.ShowOpName && ItemState.PhoneStatusNotification != NULL) {
        RegistryCloseNotification(ItemState.PhoneStatusNotification);
        ItemState.PhoneStatusNotification = NULL;
    }
}

void ClosePhoneStatusNotification()
{
    if (ItemState.PhoneStatusNotification == NULL)
        return;
    RegistryCloseNotification(ItemState.PhoneStatusNotification);
    ItemState.PhoneStatusNotification = NULL;
}

void RegisterPhoneStatusNotificationAgain(HWND window)
{
    ClosePhoneStatusNotification();
    UpdatePhoneStatusNotification(window);
}

// The operator text refreshes at the first tick after the option is
// switched on.
void StartOperatorCountdownIfSwitchedOn(DWORD wasShown)
{
    if (!wasShown && ClockSettings.ShowOpName)
        ItemState.OperatorCountdown = 0;
}

LRESULT OnCreate(HWND window)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    RememberShownTime(&now);
    SetTimer(window, CLOCK_TIMER_ID, CLOCK_TIMER_PERIOD, NULL);
    DWORD operatorShown = ClockSettings.ShowOpName;
    ReloadSettingsIfMarked();
    StartOperatorCountdownIfSwitchedOn(operatorShown);
    ClockLayout.DigitHeight = MeasureDigitHeight(window);
    LayOutFace(window);
    UpdatePhoneStatusNotification(window);
    if (ClockSettings.HideTimeInSleep)
        StartSuspendWatcher();
    else
        StopSuspendWatcher();
    return 1;
}

LRESULT OnDestroy(HWND window)
{
    KillTimer(window, CLOCK_TIMER_ID);
    ClosePhoneKey();
    ClosePhoneStatusNotification();
    StopSuspendWatcher();
    // A suspend that arrived while the watcher was stopping was served by
    // the stop and may have read the phone state again.
    ClosePhoneKey();
    // No window, no paint: nothing of the face's surfaces is needed.
    ReleaseFaceSurfaces();
    return 0;
}

LRESULT OnWindowPosChanged(const WINDOWPOS *pos)
{
    if (pos->cy != ItemState.LastHeight) {
        ItemState.BackgroundDirty = 1;
        ItemState.LastHeight = pos->cy;
    }
    if (pos->y != ItemState.LastTop) {
        ItemState.WatermarkDirty = 1;
        ItemState.LastTop = pos->y;
    }
    return 0;
}

// A phone stack that restarts deletes the key that the status notice
// watches, and a notice on a deleted key never fires again (Wine does not
// even signal the deletion): whenever the operator text opened the phone
// key afresh, the notice is registered again on the key that is there now.
void RefreshOperator(HWND window)
{
    if (RefreshOperatorText())
        RegisterPhoneStatusNotificationAgain(window);
}

// Counts down to the next operator refresh; TRUE when one ran.
BOOL TickOperatorText(HWND window)
{
    if (!ClockSettings.ShowOpName)
        return FALSE;
    BOOL refreshed = FALSE;
    if (ItemState.OperatorCountdown <= 0) {
        ItemState.OperatorCountdown = 3;
        RefreshOperator(window);
        refreshed = TRUE;
    }
    ItemState.OperatorCountdown--;
    return refreshed;
}

LRESULT OnTimer(HWND window)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    BOOL refreshed = TickOperatorText(window);
    if (!ShownTimeDiffers(&now) && !ClockSettings.ShowSeconds && !refreshed)
        return 0;
    RememberShownTime(&now);
    InvalidateItem(window);
    return 1;
}

LRESULT OnStatusChanged(HWND window)
{
    if (ClockSettings.ShowOpName)
        RefreshOperator(window);
    InvalidateItem(window);
    UpdateWindow(window);
    return 1;
}

// The item's height: content plus two borders, written into the host's
// record. TRUE when it differs from what the host had.
BOOL UpdateItemHeight(HWND window, TODAYLISTITEM *item)
{
    int content = ComputeContentHeight(window);
    DWORD height = (DWORD)(content + 2 * (int)ClockSettings.VerticalBorderHeight);
    ClockLayout.ContentHeight = content;
    if (item == NULL || item->cyp == height)
        return FALSE;
    item->cyp = height;
    return TRUE;
}

BOOL UpdateAlarmState()
{
    if (!ClockSettings.AlarmIconEnabled)
        return FALSE;
    DWORD set = AnyAlarmEnabled();
    if (set == ItemState.AlarmSet)
        return FALSE;
    ItemState.AlarmSet = set;
    return TRUE;
}

BOOL UpdateOrientation()
{
    DWORD landscape = ProbeLandscape();
    if (landscape == ItemState.Landscape)
        return FALSE;
    ItemState.Landscape = landscape;
    ItemState.BackgroundDirty = 1;
    return TRUE;
}

BOOL UpdateUiFontSize()
{
    DWORD points = (DWORD)SystemUiFontPoints();
    if (points == ItemState.LastUiFontSize)
        return FALSE;
    ItemState.BackgroundDirty = 1;
    ItemState.LastUiFontSize = points;
    return TRUE;
}

// A host that asks after the clock jumped learns that the strip changed,
// even before the next tick.
BOOL UpdateShownTime(HWND window)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (!ShownTimeDiffers(&now))
        return FALSE;
    RememberShownTime(&now);
    InvalidateItem(window);
    return TRUE;
}

LRESULT OnQueryRefreshCache(HWND window, TODAYLISTITEM *item)
{
    BOOL changed = UpdateItemHeight(window, item);
    changed |= UpdateAlarmState();
    changed |= UpdateOrientation();
    // The bell stands below the day/date line, whose height follows the
    // font size.
    BOOL fontSizeChanged = UpdateUiFontSize();
    changed |= fontSizeChanged;
    BOOL formatChanged = FALSE;
    changed |= RefreshTimeFormat(&formatChanged);
    changed |= UpdateShownTime(window);
    if (fontSizeChanged || formatChanged)
        LayOutFace(window);
    return changed ? TRUE : FALSE;
}

LRESULT OnUiMetricChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BuildClockFonts();
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

LRESULT CALLBACK ItemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_PAINT: return PaintItem(window);
    case WM_WINDOWPOSCHANGED: return OnWindowPosChanged((const WINDOWPOS *)lParam);
    case WM_TIMER: return OnTimer(window);
    case WM_LBUTTONDOWN: return OnItemButtonDown(window, message, wParam, lParam);
    case WM_LBUTTONUP: return OnItemButtonUp(window, message, wParam, lParam);
    case WM_USER: return OnStatusChanged(window);
    case WM_TODAYCUSTOM_CLEARCACHE: ItemState.WatermarkDirty = 1; return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE: return OnQueryRefreshCache(window, (TODAYLISTITEM *)wParam);
    case WM_TODAYCUSTOM_RECEIVEDSELECTION: ItemState.Selected = 1; return 1;
    case WM_TODAYCUSTOM_LOSTSELECTION: ItemState.Selected = 0; return 0;
    case WM_TODAYCUSTOM_ACTION: return OnTodayAction(window);
    }
    if (message == UiMetricMessage && UiMetricMessage != 0)
        return OnUiMetricChange(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}
