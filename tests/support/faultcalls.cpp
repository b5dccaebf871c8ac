#include "faultcalls.h"
#include "mappeddll.h"
#include <string.h>

namespace {

const int MaxRows = 128;
const int MaxFamilies = 32;
const int StubSize = 128;

struct FaultCallsRecord {
    const FaultFunction *Rows;
    int RowCount;
    int Families;
    BYTE *Stubs;                    // one per row, made at the first resolve
    void *Real[MaxRows];
    volatile LONG Calls[MaxFamilies];
    volatile LONG Injected;
    FaultChoice Choice;
};
FaultCallsRecord Faults;

} // namespace

// Called by every stub with its row, before anything else: TRUE fails the
// call. Threads of the DLL call it too, hence the interlocked counts.
extern "C" int FaultDecide(int row)
{
    const FaultFunction &f = Faults.Rows[row];
    LONG n = InterlockedIncrement(&Faults.Calls[f.Family]);
    const FaultChoice &c = Faults.Choice;
    if (c.K <= 0 || c.Family != f.Family || (c.Lasting ? n < c.K : n != c.K))
        return 0;
    InterlockedIncrement(&Faults.Injected);
    SetLastError(f.Error);
    return 1;
}

namespace {

// Keeps the four argument registers (and the four float ones) across the
// call to FaultDecide, then either jumps on to the real function with the
// stack as it came or returns the failure value:
//   push rcx/rdx/r8/r9; sub rsp,0x68; movdqu [rsp+0x20..0x50],xmm0..3
//   mov ecx,row; mov rax,FaultDecide; call rax; (restore all); test eax,eax
//   jnz fail; mov rax,real; jmp rax; fail: mov rax,value; ret
void WriteStub(BYTE *stub, int row, void *real, ULONG_PTR failValue)
{
    static const BYTE head[] = {0x51, 0x52, 0x41, 0x50, 0x41, 0x51, 0x48, 0x83, 0xEC, 0x68,
                                0xF3, 0x0F, 0x7F, 0x44, 0x24, 0x20, 0xF3, 0x0F, 0x7F, 0x4C, 0x24, 0x30,
                                0xF3, 0x0F, 0x7F, 0x54, 0x24, 0x40, 0xF3, 0x0F, 0x7F, 0x5C, 0x24, 0x50};
    static const BYTE tail[] = {0xFF, 0xD0,
                                0xF3, 0x0F, 0x6F, 0x44, 0x24, 0x20, 0xF3, 0x0F, 0x6F, 0x4C, 0x24, 0x30,
                                0xF3, 0x0F, 0x6F, 0x54, 0x24, 0x40, 0xF3, 0x0F, 0x6F, 0x5C, 0x24, 0x50,
                                0x48, 0x83, 0xC4, 0x68, 0x41, 0x59, 0x41, 0x58, 0x5A, 0x59,
                                0x85, 0xC0, 0x75, 0x0C};
    BYTE *p = stub;
    memcpy(p, head, sizeof(head));
    p += sizeof(head);
    *p++ = 0xB9;
    memcpy(p, &row, 4);
    p += 4;
    *p++ = 0x48;
    *p++ = 0xB8;
    void *decide = (void *)FaultDecide;
    memcpy(p, &decide, 8);
    p += 8;
    memcpy(p, tail, sizeof(tail));
    p += sizeof(tail);
    *p++ = 0x48;
    *p++ = 0xB8;
    memcpy(p, &real, 8);
    p += 8;
    *p++ = 0xFF;
    *p++ = 0xE0;
    *p++ = 0x48;
    *p++ = 0xB8;
    memcpy(p, &failValue, 8);
    p += 8;
    *p++ = 0xC3;
}

int RowOf(const char *name)
{
    for (int i = 0; i < Faults.RowCount; i++)
        if (strcmp(Faults.Rows[i].Name, name) == 0)
            return i;
    return -1;
}

// The stub for a table function (made once; the system DLLs stay where
// they are), or the real function itself.
void *Target(const char *name, void *real)
{
    int row = name ? RowOf(name) : -1;
    if (row < 0 || real == NULL)
        return real;
    if (Faults.Real[row] == NULL) {
        Faults.Real[row] = real;
        WriteStub(Faults.Stubs + row * StubSize, row, real, Faults.Rows[row].FailValue);
        FlushInstructionCache(GetCurrentProcess(), Faults.Stubs + row * StubSize, StubSize);
    }
    return Faults.Stubs + row * StubSize;
}

} // namespace

void UseFaultTable(const FaultFunction *functions, int count, int families)
{
    Faults.Rows = functions;
    Faults.RowCount = count < MaxRows ? count : MaxRows;
    Faults.Families = families < MaxFamilies ? families : MaxFamilies;
    if (Faults.Stubs == NULL)
        Faults.Stubs = (BYTE *)VirtualAlloc(NULL, MaxRows * StubSize, MEM_COMMIT | MEM_RESERVE,
                                            PAGE_EXECUTE_READWRITE);
}

HMODULE LoadWithFaults(const WCHAR *path)
{
    HMODULE dll = MapAndBind(path, Target);
    if (dll != NULL && !CallDllEntry(dll, DLL_PROCESS_ATTACH)) {
        FreeLibrary(dll);
        return NULL;
    }
    return dll;
}

void UnloadWithFaults(HMODULE dll)
{
    CallDllEntry(dll, DLL_PROCESS_DETACH);
    FreeLibrary(dll);
}

void ChooseFault(const FaultChoice &choice)
{
    Faults.Choice = choice;
}

void ResetFaultCounts()
{
    for (int i = 0; i < MaxFamilies; i++)
        Faults.Calls[i] = 0;
    Faults.Injected = 0;
}

LONG FaultCalls(int family)
{
    return family >= 0 && family < MaxFamilies ? Faults.Calls[family] : 0;
}

LONG FaultsInjected()
{
    return Faults.Injected;
}
