#include "module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ModuleAttach(instance);
    else if (reason == DLL_PROCESS_DETACH)
        ModuleDetach();
    return TRUE;
}
