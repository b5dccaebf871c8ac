// Load and unload of the library, the window class and item creation.
#include "module.h"
#include "itemwindow.h"
#include "todaycmn.h"
#include "settings.h"
#include "fonts.h"
#include "layout.h"
#include "paint.h"
#include "alarm.h"

UINT UiMetricMessage;

BOOL RegisterItemClass()
{
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ItemWindowProc;
    wc.hInstance = ModuleInstance;
    // No background brush: paint covers the whole item from its own image.
    wc.lpszClassName = ITEM_CLASS;
    return RegisterClassW(&wc) != 0;
}

void ModuleAttach(HINSTANCE instance)
{
    ModuleInstance = instance;
    LoadSettingsAtAttach();
    ReadSelectability();
    InstallAndProbePrivateFont();
    BuildClockFonts();
    if (ClockSettings.AlarmIconEnabled)
        ItemState.AlarmSet = AnyAlarmEnabled();
    ItemState.Landscape = ProbeLandscape();
    ProbeDpiX();
    UiMetricMessage = RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE");
    // A class left registered by an earlier load of this instance would make
    // the registration fail.
    UnregisterClassW(ITEM_CLASS, ModuleInstance);
    RegisterItemClass();
    ItemState.Window = NULL;
}

void ModuleDetach()
{
    RemovePrivateFont();
    DeleteClockFonts();
    ReleaseFaceSurfaces();
    UnregisterClassW(ITEM_CLASS, ModuleInstance);
    ModuleInstance = NULL;
}

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM *, HWND parent)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    HWND window = CreateWindowExW(0, ITEM_CLASS, PROGRAM_NAME, WS_CHILD | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  width, 0, parent, NULL, ModuleInstance, NULL);
    ItemState.Window = window;
    if (window == NULL)
        return NULL;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}
