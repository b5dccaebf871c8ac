// Import-table patching. A loaded image keeps, per imported module, two
// parallel thunk arrays: the lookup table (names or ordinals, left as the
// linker wrote it) and the address table (overwritten by the loader with
// the resolved addresses). The module calls through the address table, so
// swapping one entry there redirects every call the module makes.
#include "iat.h"

#include <string.h>

static const IMAGE_NT_HEADERS *ImageHeaders(HMODULE module)
{
    const BYTE *base = (const BYTE *)module;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return NULL;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return NULL;
    return nt;
}

static const IMAGE_IMPORT_DESCRIPTOR *FirstImportDescriptor(HMODULE module)
{
    const IMAGE_NT_HEADERS *nt = ImageHeaders(module);
    if (!nt)
        return NULL;
    const IMAGE_DATA_DIRECTORY *dir =
        &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir->VirtualAddress == 0 || dir->Size == 0)
        return NULL;
    return (const IMAGE_IMPORT_DESCRIPTOR *)((const BYTE *)module + dir->VirtualAddress);
}

static BOOL ImportNameMatches(HMODULE module, const IMAGE_THUNK_DATA *lookup,
                              const char *function)
{
    if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal))
        return FALSE;
    const IMAGE_IMPORT_BY_NAME *byName =
        (const IMAGE_IMPORT_BY_NAME *)((const BYTE *)module + lookup->u1.AddressOfData);
    return strcmp((const char *)byName->Name, function) == 0;
}

static BOOL WriteThunk(IMAGE_THUNK_DATA *thunk, void *value)
{
    DWORD oldProtect;
    if (!VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function),
                        PAGE_READWRITE, &oldProtect))
        return FALSE;
    thunk->u1.Function = (ULONG_PTR)value;
    DWORD ignored;
    VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), oldProtect, &ignored);
    FlushInstructionCache(GetCurrentProcess(), &thunk->u1.Function,
                          sizeof(thunk->u1.Function));
    return TRUE;
}

// Replaces the matching entries of one imported module's address table.
static int ReplaceInDescriptor(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR *desc,
                               const char *function, void *replacement,
                               void **original)
{
    // Without a lookup table (an old bound image) the names are gone.
    if (desc->OriginalFirstThunk == 0)
        return 0;
    BYTE *base = (BYTE *)module;
    const IMAGE_THUNK_DATA *lookup = (const IMAGE_THUNK_DATA *)(base + desc->OriginalFirstThunk);
    IMAGE_THUNK_DATA *address = (IMAGE_THUNK_DATA *)(base + desc->FirstThunk);
    int replaced = 0;
    for (; lookup->u1.AddressOfData != 0; ++lookup, ++address) {
        if (!ImportNameMatches(module, lookup, function))
            continue;
        void *previous = (void *)address->u1.Function;
        if (!WriteThunk(address, replacement))
            continue;
        if (original && replaced == 0)
            *original = previous;
        ++replaced;
    }
    return replaced;
}

int ReplaceImport(HMODULE module, const char *dll, const char *function,
                  void *replacement, void **original)
{
    if (!module || !function || !replacement)
        return 0;
    const IMAGE_IMPORT_DESCRIPTOR *desc = FirstImportDescriptor(module);
    if (!desc)
        return 0;
    int replaced = 0;
    for (; desc->Name != 0; ++desc) {
        const char *name = (const char *)module + desc->Name;
        if (dll && lstrcmpiA(name, dll) != 0)
            continue;
        replaced += ReplaceInDescriptor(module, desc, function, replacement,
                                        replaced == 0 ? original : NULL);
    }
    return replaced;
}
