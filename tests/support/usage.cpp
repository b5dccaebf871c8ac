#include "usage.h"
#include <winternl.h>
#include <tlhelp32.h>

namespace {

// x64 layout of the GDI handle table that the PEB points at.
const size_t PebGdiTableOffset = 0xF8;
const int GdiTableEntries = 0x10000;
const int GdiEntrySize = 24;
const int GdiEntryUniqueOffset = 12;
const int GdiEntryFlagsOffset = 12;
const int GdiEntryTypeOffset = 14;
const BYTE GdiStockFlag = 0x80;

} // namespace

// mingw's gs-segment read trips -Warray-bounds; the read itself is sound.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
static BYTE *ProcessEnvironmentBlock()
{
    return (BYTE *)NtCurrentTeb()->ProcessEnvironmentBlock;
}
#pragma GCC diagnostic pop

static const BYTE *GdiHandleTable()
{
    BYTE *peb = ProcessEnvironmentBlock();
    return *(BYTE **)(peb + PebGdiTableOffset);
}

static BOOL LiveEntry(const BYTE *entry)
{
    return entry[GdiEntryTypeOffset] != 0 && !(entry[GdiEntryFlagsOffset] & GdiStockFlag);
}

int CountGdiObjects()
{
    const BYTE *table = GdiHandleTable();
    if (table == NULL)
        return -1;
    int live = 0;
    for (int i = 0; i < GdiTableEntries; i++)
        if (LiveEntry(table + (size_t)i * GdiEntrySize))
            live++;
    return live;
}

// A handle is its table index with the entry's unique word above it.
SIZE_T BitmapBytes()
{
    const BYTE *table = GdiHandleTable();
    if (table == NULL)
        return 0;
    SIZE_T total = 0;
    for (int i = 0; i < GdiTableEntries; i++) {
        const BYTE *entry = table + (size_t)i * GdiEntrySize;
        if (!LiveEntry(entry))
            continue;
        WORD unique = *(const WORD *)(entry + GdiEntryUniqueOffset);
        HGDIOBJ handle = (HGDIOBJ)(ULONG_PTR)((ULONG)i | ((ULONG)unique << 16));
        BITMAP bitmap;
        if (GetObjectType(handle) == OBJ_BITMAP && GetObjectW(handle, sizeof(bitmap), &bitmap))
            total += (SIZE_T)bitmap.bmWidthBytes * (SIZE_T)bitmap.bmHeight;
    }
    return total;
}

SIZE_T PrivateBytes()
{
    SIZE_T total = 0;
    BYTE *address = NULL;
    MEMORY_BASIC_INFORMATION info;
    while (VirtualQuery(address, &info, sizeof(info)) == sizeof(info)) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        BYTE *next = (BYTE *)info.BaseAddress + info.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return total;
}

int CountThreads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            count++;
    CloseHandle(snapshot);
    return count;
}

namespace {

// SystemHandleInformation: a count, then one entry per handle of the
// system.
const ULONG SystemHandleList = 16;

struct SystemHandleEntry {
    ULONG ProcessId;
    BYTE ObjectType;
    BYTE Flags;
    USHORT Handle;
    PVOID Object;
    ACCESS_MASK Access;
};

struct SystemHandleTable {
    ULONG Count;
    SystemHandleEntry Handles[1];
};

typedef NTSTATUS(NTAPI *QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);

} // namespace

int CountHandles()
{
    QuerySystemInformation query =
        (QuerySystemInformation)(void *)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    if (query == NULL)
        return -1;
    ULONG size = 1 << 20;
    SystemHandleTable *table = (SystemHandleTable *)HeapAlloc(GetProcessHeap(), 0, size);
    if (table == NULL)
        return -1;
    int count = -1;
    if (query(SystemHandleList, table, size, NULL) == 0) {
        count = 0;
        for (ULONG i = 0; i < table->Count; i++)
            count += table->Handles[i].ProcessId == GetCurrentProcessId();
    }
    HeapFree(GetProcessHeap(), 0, table);
    return count;
}
