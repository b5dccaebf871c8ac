// setupcall.exe: the device's installer calling a setup library, on the
// emulated devices. It loads the library, calls one of its four exports
// with the arguments the installer gives, and prints the export's result.
//
//   setupcall DLL Install_Init FIRSTCALL PREVIOUSLYINSTALLED INSTALLDIR
//   setupcall DLL Install_Exit INSTALLDIR FAILEDDIRS FAILEDFILES FAILEDKEYS FAILEDVALUES
//   setupcall DLL Uninstall_Init INSTALLDIR
//   setupcall DLL Uninstall_Exit
//   setupcall --wait-today SECONDS | --close-today
//
// The last two wait for the Today screen's window, or close it.
// Exit codes: 0 the call was made (its result is printed), 2 a bad command
// line, a library that does not load or an export it lacks.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

typedef int(WINAPI *InstallInit)(HWND, BOOL, BOOL, LPCWSTR);
typedef int(WINAPI *InstallExit)(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD);
typedef int(WINAPI *UninstallInit)(HWND, LPCWSTR);
typedef int(WINAPI *UninstallExit)(HWND);

static const wchar_t TodayClass[] = L"TodayEmuScreen";

static int Refuse(const char *why)
{
    fprintf(stderr, "setupcall: %s\n", why);
    return 2;
}

static WORD Word(const wchar_t *text)
{
    return (WORD)wcstoul(text, NULL, 10);
}

static int CallExport(HMODULE dll, const wchar_t *name, int argc, wchar_t **argv)
{
    char ascii[32];
    WideCharToMultiByte(CP_ACP, 0, name, -1, ascii, sizeof(ascii), NULL, NULL);
    FARPROC proc = GetProcAddress(dll, ascii);
    if (!proc)
        return Refuse("the setup library has no such export");
    int result;
    if (!wcscmp(name, L"Install_Init") && argc == 3)
        result = ((InstallInit)(void *)proc)(NULL, Word(argv[0]), Word(argv[1]), argv[2]);
    else if (!wcscmp(name, L"Install_Exit") && argc == 5)
        result = ((InstallExit)(void *)proc)(NULL, argv[0], Word(argv[1]), Word(argv[2]), Word(argv[3]),
                                             Word(argv[4]), 0);
    else if (!wcscmp(name, L"Uninstall_Init") && argc == 1)
        result = ((UninstallInit)(void *)proc)(NULL, argv[0]);
    else if (!wcscmp(name, L"Uninstall_Exit") && argc == 0)
        result = ((UninstallExit)(void *)proc)(NULL);
    else
        return Refuse("wrong arguments for that export");
    printf("%d\n", result);
    return 0;
}

static int WaitForToday(int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (FindWindowW(TodayClass, NULL))
            return 0;
        Sleep(100);
    }
    return Refuse("no Today screen came up");
}

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3 && !wcscmp(argv[1], L"--wait-today"))
        return WaitForToday(_wtoi(argv[2]));
    if (argc == 2 && !wcscmp(argv[1], L"--close-today")) {
        HWND today = FindWindowW(TodayClass, NULL);
        return today && PostMessageW(today, WM_CLOSE, 0, 0) ? 0 : Refuse("no Today screen to close");
    }
    if (argc < 3)
        return Refuse("usage: setupcall DLL EXPORT ARGS... | --wait-today SECONDS | --close-today");
    HMODULE dll = LoadLibraryW(argv[1]);
    if (!dll)
        return Refuse("the setup library does not load");
    int rc = CallExport(dll, argv[2], argc - 3, argv + 3);
    FreeLibrary(dll);
    return rc;
}
