#include "callcount.h"
#include <string.h>

namespace {

struct CountedImport {
    char Dll[32];
    char Function[64];
    void **Slot;
    volatile LONGLONG Calls;
};

const int MaxCounted = 512;
const int StubSize = 32;

struct CallCountRecord {
    CountedImport Imports[MaxCounted];
    int Count;
    BYTE *Stubs;
};
CallCountRecord CallCount;

// mov rax, imm64 ; lock inc qword [rax] ; mov rax, imm64 ; jmp rax
// rax carries no argument in the x64 calling convention, so it is free.
void WriteStub(BYTE *stub, volatile LONGLONG *counter, void *target)
{
    BYTE code[] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x48, 0xFF, 0x00,
                   0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
    memcpy(code + 2, &counter, 8);
    memcpy(code + 16, &target, 8);
    memcpy(stub, code, sizeof(code));
}

BOOL AlreadyCounted(void **slot)
{
    for (int i = 0; i < CallCount.Count; i++)
        if (CallCount.Imports[i].Slot == slot)
            return TRUE;
    return FALSE;
}

BOOL CountSlot(const char *dll, const char *function, void **slot)
{
    if (CallCount.Count >= MaxCounted || AlreadyCounted(slot))
        return FALSE;
    if (CallCount.Stubs == NULL) {
        CallCount.Stubs = (BYTE *)VirtualAlloc(NULL, MaxCounted * StubSize, MEM_COMMIT | MEM_RESERVE,
                                               PAGE_EXECUTE_READWRITE);
        if (CallCount.Stubs == NULL)
            return FALSE;
    }
    CountedImport *entry = &CallCount.Imports[CallCount.Count];
    lstrcpynA(entry->Dll, dll, sizeof(entry->Dll));
    lstrcpynA(entry->Function, function, sizeof(entry->Function));
    entry->Slot = slot;
    entry->Calls = 0;
    BYTE *stub = CallCount.Stubs + CallCount.Count * StubSize;
    WriteStub(stub, &entry->Calls, *slot);
    DWORD old;
    VirtualProtect(slot, sizeof(void *), PAGE_READWRITE, &old);
    *slot = stub;
    VirtualProtect(slot, sizeof(void *), old, &old);
    CallCount.Count++;
    return TRUE;
}

} // namespace

int CountImportCalls(HMODULE module, const char *dll)
{
    BYTE *base = (BYTE *)module;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return 0;
    int wrapped = 0;
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name; d++) {
        if (lstrcmpiA((const char *)(base + d->Name), dll) != 0)
            continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk
                                                                                     : d->FirstThunk));
        void **slots = (void **)(base + d->FirstThunk);
        for (int i = 0; names[i].u1.AddressOfData; i++) {
            if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *name = (IMAGE_IMPORT_BY_NAME *)(base + names[i].u1.AddressOfData);
            if (CountSlot(dll, (const char *)name->Name, &slots[i]))
                wrapped++;
        }
    }
    return wrapped;
}

LONGLONG ImportCalls(const char *function)
{
    LONGLONG total = 0;
    for (int i = 0; i < CallCount.Count; i++)
        if (strcmp(CallCount.Imports[i].Function, function) == 0)
            total += CallCount.Imports[i].Calls;
    return total;
}

LONGLONG ImportCallsTo(const char *dll)
{
    LONGLONG total = 0;
    for (int i = 0; i < CallCount.Count; i++)
        if (lstrcmpiA(CallCount.Imports[i].Dll, dll) == 0)
            total += CallCount.Imports[i].Calls;
    return total;
}

void ResetImportCalls()
{
    for (int i = 0; i < CallCount.Count; i++)
        CallCount.Imports[i].Calls = 0;
}

void PrintImportCalls(FILE *out)
{
    for (int i = 0; i < CallCount.Count; i++)
        if (CallCount.Imports[i].Calls)
            fprintf(out, "  %-24s %lld\n", CallCount.Imports[i].Function, CallCount.Imports[i].Calls);
}
