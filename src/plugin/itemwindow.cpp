// The item window procedure and the state it keeps for painting.
#include "itemwindow.h"
#include "module.h"
#include "handheld.h"
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

// Fonts, then the layout measured from them, brought up to date: the one
// routine behind every message that may change them (reload, refresh, UI
// font size), and behind the tick while a step of it is still undone. Each
// step that fails stays undone and runs again at the next of those; it
// never records a result it did not get. TRUE when the face is up to date.
BOOL RefreshFace()
{
    RetryFontProbe();
    if (ClockLayout.DpiX <= 0 && !ProbeDpiX())
        return FALSE;
    // The markers' column is laid out from the locale's time format.
    if (!TimeFormatInfo.Known) {
        BOOL relayout = FALSE;
        RefreshTimeFormat(&relayout);
        if (!TimeFormatInfo.Known)
            return FALSE;
    }
    if (ClockFonts.Wanted) {
        ClockLayout.Known = 0;
        if (!BuildClockFonts())
            return FALSE;
        // New fonts, new cells (whoever asked for them has said so too).
        ItemState.BackgroundDirty = 1;
    }
    return ClockLayout.Known || LayOutFace();
}

// What the tick takes up again. The settings and the font probe wait for
// the host's next refresh: a key or a font file that keeps failing would
// otherwise cost registry and font calls at every tick.
BOOL FaceUndone()
{
    return ClockFonts.Wanted || !ClockLayout.Known || ClockLayout.DpiX <= 0 || !TimeFormatInfo.Known;
}

// The UI font size as the fonts should have it, whichever of the system's
// notice and the host's refresh brings it first: fonts built for another
// size (or all fonts, at the system's notice) are built again and the face
// laid out from them. Run twice, it ends in the same fonts and layout.
// `points` is the size as read (-1: not read); the system's notice calls
// for new fonts whatever it is, and the build reads the size itself.
void FollowUiFontSize(BOOL rebuild, int points)
{
    if (rebuild || (points >= 0 && points != ClockFonts.UiPoints)) {
        ClockFonts.Wanted = 1;
        ItemState.BackgroundDirty = 1;
    }
    RefreshFace();
}

// New settings (the defaults without a key) call for new fonts and cells.
void TakeSettings(HKEY key)
{
    ItemState.SettingsUnread = !LoadSettings(key);
    ClockFonts.Wanted = 1;
    ItemState.BackgroundDirty = 1;
}

// The settings key for reading, and the registry's answer for the marker
// in it; the caller closes the key before the creation returns.
HKEY OpenSettingsForReload(LONG *error, LONG *marker)
{
    HKEY key = OpenSettingsKey(RegistryRead, error);
    if (key != NULL)
        *marker = QueryReloadMarker(key);
    return key;
}

// A save in the options writes the marker; the first creation that finds it
// takes the new settings into this process. The key is opened for reading,
// and for writing only to remove the marker: a key that may be read but not
// written still gives its settings. A read that failed (here or at load)
// leaves SettingsUnread set, and the key is read whole at the next chance.
void ReloadSettingsIfMarked()
{
    LONG error = ERROR_SUCCESS, marker = ERROR_FILE_NOT_FOUND;
    HKEY key = OpenSettingsForReload(&error, &marker);
    if (key == NULL) {
        if (error != ERROR_FILE_NOT_FOUND)
            ItemState.SettingsUnread = 1;
        else if (ItemState.SettingsUnread)
            TakeSettings(NULL);
        return;
    }
    BOOL marked = marker == ERROR_SUCCESS;
    if (marked || ItemState.SettingsUnread)
        TakeSettings(key);
    RegCloseKey(key);
    if (marked)
        RemoveReloadMarker();
}

// The clock ticks from creation on; a timer that could not be set is set
// at the next refresh.
void StartClockTimer(HWND window)
{
    ItemState.ClockTimerSet = SetTimer(window, CLOCK_TIMER_ID, CLOCK_TIMER_PERIOD, NULL) != 0;
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

// What follows the settings: the operator text, its notice and the
// suspend watcher. Each is started only when not running already, so a
// start that failed is simply made again at the next call.
void FollowSettings(HWND window, DWORD operatorShown)
{
    StartOperatorCountdownIfSwitchedOn(operatorShown);
    UpdatePhoneStatusNotification(window);
    if (ClockSettings.HideTimeInSleep)
        StartSuspendWatcher();
    else
        StopSuspendWatcher();
}

// A creation (or the options' reload) lays the face out afresh.
LRESULT OnCreate(HWND window)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    RememberShownTime(&now);
    StartClockTimer(window);
    DWORD operatorShown = ClockSettings.ShowOpName;
    ReloadSettingsIfMarked();
    ClockLayout.Known = 0;
    RefreshFace();
    FollowSettings(window, operatorShown);
    return 1;
}

// A settings read that failed is tried again at the refresh.
void RetrySettingsIfUnread(HWND window)
{
    if (!ItemState.SettingsUnread)
        return;
    DWORD operatorShown = ClockSettings.ShowOpName;
    ReloadSettingsIfMarked();
    if (!ItemState.SettingsUnread)
        FollowSettings(window, operatorShown);
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
    // No window, no paint: nothing of the face's surfaces is needed, and
    // no refresh asks about the alarms.
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

// A step of the face left undone, or a paint that could not show it, is
// taken up again at the tick; a quiet tick finds nothing to do and draws
// nothing.
BOOL MendFace()
{
    BOOL mend = FaceSurfaces.PaintFailed;
    if (FaceUndone())
        mend |= RefreshFace();
    return mend;
}

LRESULT OnTimer(HWND window)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    BOOL refreshed = TickOperatorText(window);
    refreshed |= MendFace();
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
BOOL UpdateItemHeight(TODAYLISTITEM *item)
{
    // A height measured with no known resolution or from a failed measure
    // would be wrong: the host keeps the one it has until the next refresh.
    if (ClockLayout.DpiX <= 0)
        return FALSE;
    int content = ComputeContentHeight();
    if (content < 0)
        return FALSE;
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

BOOL UpdateOrientation(DWORD landscape)
{
    if (landscape == ItemState.Landscape)
        return FALSE;
    ItemState.Landscape = landscape;
    ItemState.BackgroundDirty = 1;
    return TRUE;
}

BOOL UpdateUiFontSize(int read)
{
    DWORD points = (DWORD)read;
    if (read < 0 || points == ItemState.LastUiFontSize)
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

// Whatever failed before is taken up first; the height is measured last,
// from the fonts and layout as they now are.
LRESULT OnQueryRefreshCache(HWND window, TODAYLISTITEM *item)
{
    if (!ItemState.ClockTimerSet)
        StartClockTimer(window);
    RetrySettingsIfUnread(window);
    FollowSettings(window, ClockSettings.ShowOpName);
    BOOL changed = UpdateAlarmState();
    // The host asks at once after it created the window: the orientation the
    // creation found is this moment's, and so is the size of fonts that the
    // creation itself built; neither is asked again (under Wine each costs
    // server round trips). Fonts built before the creation may be older
    // than a size changed while no item window was there to be told, and
    // every later refresh asks for both.
    BOOL screenFresh = ItemState.CreationScreenFresh;
    BOOL fontsFresh = ItemState.CreationFontsFresh && !ClockFonts.Wanted;
    ItemState.CreationScreenFresh = ItemState.CreationFontsFresh = 0;
    if (!screenFresh)
        changed |= UpdateOrientation(ProbeLandscape());
    // The bell stands below the day/date line, whose height follows the
    // font size. One read serves the strip and the fonts.
    int uiPoints = fontsFresh ? ClockFonts.UiPoints : SystemUiFontPoints();
    changed |= UpdateUiFontSize(uiPoints);
    BOOL formatChanged = FALSE;
    changed |= RefreshTimeFormat(&formatChanged);
    if (formatChanged)
        ClockLayout.Known = 0;
    FollowUiFontSize(FALSE, uiPoints);
    changed |= UpdateItemHeight(item);
    changed |= UpdateShownTime(window);
    return changed ? TRUE : FALSE;
}

LRESULT OnUiMetricChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    FollowUiFontSize(TRUE, -1);
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void NoteCreation(int width, int height, BOOL fontsBuilt)
{
    UpdateOrientation(LandscapeFor(width, height));
    ItemState.CreationScreenFresh = 1;
    ItemState.CreationFontsFresh = fontsBuilt;
}

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
