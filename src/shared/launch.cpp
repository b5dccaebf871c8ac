#include "launch.h"
#include <shellapi.h>

BOOL LaunchAction(const WCHAR *path)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // A failure is ignored and nothing is shown: the desktop shell would
    // otherwise put up a modal error box over the Today screen.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info);
}
