// PNG files through the platform's imaging codecs (WIC).
#pragma once
#include <windows.h>

// Writes a top-down 32-bit BGRA image (`stride` bytes per row) as a PNG
// file. COM must be initialised on the calling thread. Returns FALSE when
// any step fails; a partly written file is then removed.
BOOL WritePngBgra(const wchar_t *path, int width, int height, const BYTE *pixels, int stride);
