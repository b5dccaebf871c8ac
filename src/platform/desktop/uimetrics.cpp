// SHGetUIMetrics: the device's user-interface font size.
#include "shell-standins.h"

namespace {

// Device default: 8 points.
const DWORD DefaultFontSizePoint = 800;

// A device that never set the size has the default; a read that failed
// for another reason reports the failure (0) rather than a size the
// device does not have.
DWORD ReadDeviceFontSizePoint()
{
    DWORD value = 0, size = sizeof(value);
    LONG rc = RegGetValueW(HKEY_CURRENT_USER, DEVICE_APPEARANCE_KEY, DEVICE_FONTSIZE_VALUE, RRF_RT_REG_DWORD, NULL,
                           &value, &size);
    if (rc == ERROR_FILE_NOT_FOUND || (rc == ERROR_SUCCESS && value == 0))
        return DefaultFontSizePoint;
    return rc == ERROR_SUCCESS ? value : 0;
}

int PointsToPixels(DWORD hundredths)
{
    HDC screen = GetDC(NULL);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(NULL, screen);
    return MulDiv((int)hundredths, dpi, 7200);
}

} // namespace

HRESULT SHGetUIMetrics(SHUIMETRIC shuim, PVOID pvBuffer, DWORD cbBufferSize, DWORD *pcbRequired)
{
    if (pcbRequired)
        *pcbRequired = sizeof(DWORD);
    if (pvBuffer == NULL || cbBufferSize < sizeof(DWORD))
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    DWORD points = ReadDeviceFontSizePoint();
    if (points == 0)
        return E_FAIL;
    DWORD value;
    switch (shuim) {
    case SHUIM_FONTSIZE_POINT: value = points; break;
    case SHUIM_FONTSIZE_PIXEL: value = (DWORD)PointsToPixels(points); break;
    case SHUIM_FONTSIZE_PERCENTAGE: value = MulDiv((int)points, 100, (int)DefaultFontSizePoint); break;
    default: return E_INVALIDARG;
    }
    *(DWORD *)pvBuffer = value;
    return S_OK;
}
