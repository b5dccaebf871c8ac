#include "tap.h"

LRESULT OnItemButtonDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)window; (void)message; (void)wParam; (void)lParam;
    return 0;
}
LRESULT OnItemButtonUp(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)window; (void)message; (void)wParam; (void)lParam;
    return 0;
}
LRESULT OnTodayAction(HWND) { return 0; }
BOOL LaunchAction(const WCHAR *) { return FALSE; }
