// A thread held suspended inside a system call reports the call's entry
// stub as its instruction pointer; so a thread parked in a wait can be told
// from one that runs, or that waits for a sent message's answer (whose stub
// is another one), without waking it.
#include "threadwait.h"

namespace {

// A system-call stub is at most this long; a thread stopped inside the call
// reports an address within its stub.
const DWORD SystemCallStubBytes = 32;

// The platform's kernel waits that WaitForSingleObject and
// WaitForMultipleObjects end in.
struct WaitStubs {
    DWORD_PTR Address[2];
};

WaitStubs FindWaitStubs()
{
    static const char *const waits[] = {"NtWaitForMultipleObjects", "NtWaitForSingleObject"};
    WaitStubs stubs = {};
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    for (int i = 0; i < 2 && ntdll; i++)
        stubs.Address[i] = (DWORD_PTR)GetProcAddress(ntdll, waits[i]);
    return stubs;
}

BOOL InsideWaitStub(const WaitStubs *stubs, DWORD_PTR address)
{
    for (DWORD_PTR stub : stubs->Address)
        if (stub != 0 && address >= stub && address - stub < SystemCallStubBytes)
            return TRUE;
    return FALSE;
}

// Where the thread stands, read while it is held suspended; 0 when that
// cannot be read. Nothing that could take a lock the thread might hold is
// called while it is suspended.
DWORD_PTR StoppedInstructionPointer(HANDLE thread)
{
    DWORD_PTR address = 0;
    if (SuspendThread(thread) == (DWORD)-1)
        return 0;
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    if (GetThreadContext(thread, &context)) {
#ifdef _WIN64
        address = context.Rip;
#else
        address = context.Eip;
#endif
    }
    ResumeThread(thread);
    return address;
}

} // namespace

BOOL ThreadIsInKernelWait(DWORD threadId)
{
    WaitStubs stubs = FindWaitStubs();
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, threadId);
    if (thread == NULL)
        return TRUE;
    DWORD_PTR address = StoppedInstructionPointer(thread);
    CloseHandle(thread);
    return address == 0 || InsideWaitStub(&stubs, address);
}
