// The texts the item draws, one line each in a UTF-8 file (--log-texts):
// what reached the item, as its own ExtTextOutW and DrawTextW calls draw
// it. The DLL's imports of both are redirected here, and pass on.
#include "todayemu.h"
#include "iat.h"

struct TextLogState {
    HANDLE File;    // INVALID_HANDLE_VALUE while no log is kept
};

static TextLogState TextLog = {INVALID_HANDLE_VALUE};

static void LogText(const wchar_t *text, int chars)
{
    if (TextLog.File == INVALID_HANDLE_VALUE || !text || chars <= 0)
        return;
    char bytes[1024];
    int size = WideCharToMultiByte(CP_UTF8, 0, text, chars < 300 ? chars : 300, bytes, sizeof(bytes) - 1, NULL,
                                   NULL);
    bytes[size] = '\n';
    DWORD written;
    WriteFile(TextLog.File, bytes, (DWORD)size + 1, &written, NULL);
}

static BOOL WINAPI LoggedExtTextOutW(HDC dc, int x, int y, UINT options, const RECT *rect, LPCWSTR text,
                                     UINT chars, const INT *dx)
{
    // Glyph indices are no text.
    if (!(options & ETO_GLYPH_INDEX))
        LogText(text, (int)chars);
    return ExtTextOutW(dc, x, y, options, rect, text, chars, dx);
}

static int WINAPI LoggedDrawTextW(HDC dc, LPCWSTR text, int chars, LPRECT rect, UINT format)
{
    if (!(format & DT_CALCRECT))
        LogText(text, chars < 0 && text ? lstrlenW(text) : chars);
    return DrawTextW(dc, text, chars, rect, format);
}

BOOL OpenTextLog(const wchar_t *path)
{
    TextLog.File = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    return TextLog.File != INVALID_HANDLE_VALUE;
}

void InstallTextLog(HMODULE module)
{
    if (TextLog.File == INVALID_HANDLE_VALUE)
        return;
    ReplaceImport(module, NULL, "ExtTextOutW", (void *)LoggedExtTextOutW, NULL);
    ReplaceImport(module, NULL, "DrawTextW", (void *)LoggedDrawTextW, NULL);
}

void CloseTextLog(void)
{
    if (TextLog.File != INVALID_HANDLE_VALUE)
        CloseHandle(TextLog.File);
    TextLog.File = INVALID_HANDLE_VALUE;
}
