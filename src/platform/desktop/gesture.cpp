// The shell's gesture recogniser: called on a button-down, it tells a tap
// from a tap-and-hold. It captures the mouse and waits in a small modal loop:
// the button held without moving beyond the drag tolerance for the hold time
// is a tap-and-hold (GN_CONTEXTMENU); a release, another button or a larger
// move first is not (0). A release stays queued for the window, so a plain
// tap still reaches its WM_LBUTTONUP.
#include "shell-standins.h"

#include <stdlib.h>

namespace {

const DWORD HoldTime = 500;
const DWORD LongHoldTime = 1000;

enum GestureStep { GestureGoesOn, GestureEnded };

struct GestureTrack {
    POINT Down;          // screen coordinates
    int ToleranceX;
    int ToleranceY;
};

BOOL MovedTooFar(const GestureTrack *track, POINT point)
{
    return abs(point.x - track->Down.x) > track->ToleranceX || abs(point.y - track->Down.y) > track->ToleranceY;
}

// The button as this thread's input stands: down from the press it has
// taken until it takes the release. The asynchronous state can lag behind
// a press that another thread (a touch driver) injected, and a held
// stylus would then pass for one already lifted.
BOOL PrimaryButtonDown()
{
    int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    return GetKeyState(button) < 0;
}

// Looks at the thread's queued mouse input. Small moves are taken away;
// anything else that ends the gesture is left for the window.
GestureStep InspectMouseInput(const GestureTrack *track)
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | (QS_MOUSE << 16))) {
        if (msg.message != WM_MOUSEMOVE && msg.message != WM_NCMOUSEMOVE)
            return GestureEnded;
        if (MovedTooFar(track, msg.pt))
            return GestureEnded;
        PeekMessageW(&msg, NULL, msg.message, msg.message, PM_REMOVE);
    }
    // A button-down that was sent rather than pressed has no release to
    // wait for.
    if (!PrimaryButtonDown())
        return GestureEnded;
    return GestureGoesOn;
}

DWORD TrackGesture(HWND window, const GestureTrack *track, DWORD holdTime)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (InspectMouseInput(track) == GestureEnded)
            return 0;
        DWORD spent = GetTickCount() - start;
        if (spent >= holdTime)
            return GN_CONTEXTMENU;
        // Wakes for new mouse input, and serves sent messages meanwhile.
        MsgWaitForMultipleObjectsEx(0, NULL, holdTime - spent, QS_MOUSE | QS_SENDMESSAGE, 0);
        if (GetCapture() != window)
            return 0;
    }
}

} // namespace

DWORD SHRecognizeGesture(SHRGINFO *shrg)
{
    if (shrg == NULL || shrg->cbSize < sizeof(SHRGINFO) || !IsWindow(shrg->hwndClient))
        return 0;
    HWND window = shrg->hwndClient;
    GestureTrack track = {};
    track.Down = shrg->ptDown;
    ClientToScreen(window, &track.Down);
    track.ToleranceX = GetSystemMetrics(SM_CXDRAG);
    track.ToleranceY = GetSystemMetrics(SM_CYDRAG);
    DWORD holdTime = (shrg->dwFlags & SHRG_LONGDELAY) ? LongHoldTime : HoldTime;
    SetCapture(window);
    DWORD result = TrackGesture(window, &track, holdTime);
    if (GetCapture() == window)
        ReleaseCapture();
    return result;
}
