// Load and unload of the library, the window class and item creation.
#include "module.h"
#include "itemwindow.h"
#include "handheld.h"
#include "settings.h"
#include "fonts.h"
#include "layout.h"
#include "paint.h"

UINT UiMetricMessage;

namespace {

// The item class and the message name are registered at load; either that
// failed there is registered again when the host asks for an item.
struct ModuleRegistrations {
    BOOL ClassRegistered;
};
ModuleRegistrations Registrations;

void RegisterUiMetricMessage()
{
    if (UiMetricMessage == 0)
        UiMetricMessage = RegisterWindowMessageW(L"SH_UIMETRIC_CHANGE");
}

} // namespace

BOOL RegisterItemClass()
{
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ItemWindowProc;
    wc.hInstance = ModuleInstance;
    // No background brush: paint covers the whole item from its own image.
    wc.lpszClassName = ITEM_CLASS;
    Registrations.ClassRegistered = RegisterClassW(&wc) != 0;
    return Registrations.ClassRegistered;
}

void ModuleAttach(HINSTANCE instance)
{
    ModuleInstance = instance;
    ItemState.SettingsUnread = !LoadSettingsAtAttach();
    ReadSelectability();
    InstallAndProbePrivateFont();
    BuildClockFonts();
    // The alarms and the orientation are not asked here: the window has no
    // height, and shows nothing, until the host's first refresh query, which
    // asks for both.
    ProbeDpiX();
    RegisterUiMetricMessage();
    // A class left registered by an earlier load of this instance makes the
    // registration fail: it is taken away and registered again.
    if (!RegisterItemClass()) {
        UnregisterClassW(ITEM_CLASS, ModuleInstance);
        RegisterItemClass();
    }
    ItemState.Window = NULL;
}

void ModuleDetach()
{
    RemovePrivateFont();
    DeleteClockFonts();
    ReleaseFaceSurfaces();
    UnregisterClassW(ITEM_CLASS, ModuleInstance);
    Registrations.ClassRegistered = FALSE;
    ModuleInstance = NULL;
}

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM *, HWND parent)
{
    // A font probe that failed at load runs again; new fonts it calls for
    // are built by the window's creation.
    RetryFontProbe();
    RegisterUiMetricMessage();
    if (!Registrations.ClassRegistered)
        RegisterItemClass();
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    DWORD fontBuilds = ClockFonts.Builds;
    HWND window = CreateWindowExW(0, ITEM_CLASS, PROGRAM_NAME, WS_CHILD | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  width, 0, parent, NULL, ModuleInstance, NULL);
    ItemState.Window = window;
    if (window == NULL)
        return NULL;
    NoteCreation(width, height, ClockFonts.Builds != fontBuilds);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}
