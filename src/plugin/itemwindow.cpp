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

ItemStateRecord ItemState;

namespace {

// Phone status bits that change the operator text, plus roaming.
const DWORD PhoneStatusMask = 0x0060021E;

WORD CurrentMinute()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wMinute;
}

void InvalidateItem(HWND window)
{
    RECT rect;
    ItemRect(window, &rect);
    InvalidateRect(window, &rect, FALSE);
}

// A save in the options writes the marker; the first creation that finds it
// takes the new settings into this process.
void ReloadSettingsIfMarked()
{
    HKEY key = OpenSettingsKey();
    if (key == NULL)
        return;
    if (ReloadMarkerPresent(key)) {
        LoadSettings(key);
        BuildClockFonts();
        ItemState.BackgroundDirty = 1;
        DeleteReloadMarker(key);
    }
    RegCloseKey(key);
}

void UpdatePhoneStatusNotification(HWND window)
{
    if (ClockSettings.ShowOpName && ItemState.PhoneStatusNotification == NULL) {
        NOTIFICATIONCONDITION condition = {};
        condition.ctComparisonType = REG_CT_NOT_EQUAL;
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

LRESULT OnCreate(HWND window)
{
    ItemState.LastMinute = CurrentMinute();
    SetTimer(window, CLOCK_TIMER_ID, CLOCK_TIMER_PERIOD, NULL);
    ReloadSettingsIfMarked();
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

// Counts down to the next operator refresh; TRUE when one ran.
BOOL TickOperatorText()
{
    if (!ClockSettings.ShowOpName)
        return FALSE;
    BOOL refreshed = FALSE;
    if (ItemState.OperatorCountdown <= 0) {
        ItemState.OperatorCountdown = 3;
        RefreshOperatorText();
        refreshed = TRUE;
    }
    ItemState.OperatorCountdown--;
    return refreshed;
}

LRESULT OnTimer(HWND window)
{
    WORD minute = CurrentMinute();
    BOOL refreshed = TickOperatorText();
    if (minute == ItemState.LastMinute && !ClockSettings.ShowSeconds && !refreshed)
        return 0;
    ItemState.LastMinute = minute;
    InvalidateItem(window);
    return 1;
}

LRESULT OnStatusChanged(HWND window)
{
    if (ClockSettings.ShowOpName)
        RefreshOperatorText();
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

LRESULT OnQueryRefreshCache(HWND window, TODAYLISTITEM *item)
{
    BOOL changed = UpdateItemHeight(window, item);
    changed |= UpdateAlarmState();
    changed |= UpdateOrientation();
    changed |= UpdateUiFontSize();
    BOOL relayout = FALSE;
    changed |= RefreshTimeFormat(&relayout);
    if (relayout)
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
