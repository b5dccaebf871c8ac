#include "mappeddll.h"

namespace {

typedef BOOL(WINAPI *EntryPoint)(HINSTANCE, DWORD, LPVOID);

IMAGE_NT_HEADERS *Headers(HMODULE module)
{
    BYTE *base = (BYTE *)module;
    return (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
}

void WriteSlot(void **slot, void *value)
{
    DWORD old;
    VirtualProtect(slot, sizeof(void *), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(void *), old, &old);
}

BOOL BindImports(HMODULE module, ImportBinder bind)
{
    BYTE *base = (BYTE *)module;
    IMAGE_DATA_DIRECTORY dir = Headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name; d++) {
        HMODULE lib = LoadLibraryA((const char *)(base + d->Name));
        if (lib == NULL)
            return FALSE;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk
                                                                                     : d->FirstThunk));
        void **slots = (void **)(base + d->FirstThunk);
        for (int i = 0; names[i].u1.AddressOfData; i++) {
            const char *name = NULL;
            void *real;
            if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) {
                real = (void *)GetProcAddress(lib, MAKEINTRESOURCEA(IMAGE_ORDINAL(names[i].u1.Ordinal)));
            } else {
                name = (const char *)((IMAGE_IMPORT_BY_NAME *)(base + names[i].u1.AddressOfData))->Name;
                real = (void *)GetProcAddress(lib, name);
            }
            if (real == NULL)
                return FALSE;
            WriteSlot(&slots[i], bind(name, real));
        }
    }
    return TRUE;
}

} // namespace

HMODULE MapAndBind(const WCHAR *path, ImportBinder bind)
{
    HMODULE dll = LoadLibraryExW(path, NULL, DONT_RESOLVE_DLL_REFERENCES);
    if (dll != NULL && !BindImports(dll, bind)) {
        FreeLibrary(dll);
        return NULL;
    }
    return dll;
}

BOOL CallDllEntry(HMODULE dll, DWORD reason)
{
    EntryPoint entry = (EntryPoint)(void *)((BYTE *)dll + Headers(dll)->OptionalHeader.AddressOfEntryPoint);
    return entry(dll, reason, NULL);
}
