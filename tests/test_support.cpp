// The measuring tools the other tests and the benchmarks rely on.
#include "testlib.h"
#include "callcount.h"
#include "usage.h"

static void test_call_counting()
{
    ok(CountImportCalls(GetModuleHandleW(NULL), "gdi32.dll") > 0, "gdi32 imports wrapped");
    ResetImportCalls();
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ok(brush != NULL, "wrapped call still works");
    LOGBRUSH info = {};
    GetObjectW(brush, sizeof(info), &info);
    ok_int(info.lbColor, RGB(1, 2, 3));
    DeleteObject(brush);
    ok_int(ImportCalls("CreateSolidBrush"), 1);
    ok_int(ImportCalls("DeleteObject"), 1);
    ok_int(ImportCallsTo("gdi32.dll"), 3);
    ok(CountImportCalls(GetModuleHandleW(NULL), "gdi32.dll") == 0, "second wrap adds nothing");
}

static void test_gdi_object_count()
{
    int before = CountGdiObjects();
    ok(before >= 0, "handle table found");
    HBRUSH brushes[5];
    for (int i = 0; i < 5; i++)
        brushes[i] = CreateSolidBrush(RGB(i, 0, 0));
    ok_int(CountGdiObjects(), before + 5);
    for (int i = 0; i < 5; i++)
        DeleteObject(brushes[i]);
    ok_int(CountGdiObjects(), before);
}

static void test_private_bytes()
{
    SIZE_T before = PrivateBytes();
    void *block = VirtualAlloc(NULL, 1 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T after = PrivateBytes();
    ok(after - before >= (1 << 20), "a committed megabyte shows: %zu -> %zu", before, after);
    VirtualFree(block, 0, MEM_RELEASE);
}

int main()
{
    run_test(test_call_counting);
    run_test(test_gdi_object_count);
    run_test(test_private_bytes);
    return TestSummary();
}
