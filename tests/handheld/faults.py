#!/usr/bin/python3
"""Every call the ARM DLL makes to the system, failing once: for each
import and each place in the DLL that calls it, the first time a life
reaches that call it fails as a device out of memory fails it. After it,
the life goes on with nothing failing, through the same model: the DLL
must make no unaligned access, use no handle it was not given, end each
call within an instruction budget, and by its unload give back every
handle and heap block.

The run is one pass per life: at the first reach of each call site the
process forks, the child fails the call and plays the rest of the life,
and the parent goes on unfailed. A fork copies the emulator as it is, so
no failure replays the steps before it.

  faults.py ARM_DLL TOOLS_PREFIX DESKTOP_DLL RECORDER WINE_RUN"""
import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from arm import CallFails, Fault  # noqa: E402
import lives  # noqa: E402

# Lives that between them reach the item's calls: the load, the paints,
# the timer, tap-and-hold and its menu, the alarm, the options sheet, the
# watcher's thread.
SWEPT = ['stored settings', 'a minute passes', 'an alarm set', 'the options sheet opened and applied',
         'the time hides in suspend and comes back']
# Calls that cannot fail (the C runtime's string and memory routines, the
# clock) or whose failure is the system's own loss (giving back a handle
# or block), and the model's ways into the DLL's own code.
NEVER_FAIL = set('''memcpy memset memcmp wcslen wcscpy wcscmp wcschr wcsstr lstrcmpW lstrcmpiW CharLowerW _wtol
wsprintfW CompareFileTime GetLastError GetTickCount GetLocalTime InterlockedExchange GetProcessHeap fflush
_fcloseall free HeapFree DeleteObject DeleteDC ReleaseDC EndPaint CloseHandle RegCloseKey DestroyMenu
KillTimer CloseMsgQueue StopPowerNotifications RemoveFontResourceW UnregisterClassW DefWindowProcW
CallWindowProcW EndDialog GetStockObject GetSysColor GetDlgItem GetDlgCtrlID GetParent GetWindow IsWindow
GetWindowLongW SetWindowLongW GetCurrentObject EqualRect IntersectRect'''.split())
ERROR_OUTOFMEMORY, E_OUTOFMEMORY, ERROR_NOT_ENOUGH_MEMORY = 14, 0x8007000E, 8
FAILED_WITH = dict({name: ERROR_OUTOFMEMORY for name in '''RegOpenKeyExW RegCreateKeyExW RegQueryValueExW
RegSetValueExW RegDeleteValueW RegQueryInfoKeyW RegEnumValueW'''.split()},
                   RegistryGetDWORD=E_OUTOFMEMORY, RegistryGetString=E_OUTOFMEMORY, SHGetUIMetrics=E_OUTOFMEMORY,
                   WaitForSingleObject=0xFFFFFFFF, WaitForMultipleObjects=0xFFFFFFFF,
                   MsgWaitForMultipleObjectsEx=0xFFFFFFFF, GetFileAttributesW=0xFFFFFFFF,
                   SetTextColor=0xFFFFFFFF, SetTextAlign=0xFFFFFFFF)
# A failed run may take this many times the instructions of its life
# unfailed, and a million more, before it counts as a hang.
BUDGET_TIMES, BUDGET_MORE = 3, 1000000
REFUSED, NO_WINDOW = 'the entry point refused the load', 'no item window was made'


class Tolerant(lives.Handheld):
    """The Today host as it meets an item that failed: a load refused or
    no window made leaves only the unload; no timer, no tick."""

    def step(self, step):
        if self.gone() and step != 'unload' and not step.startswith(('set:', 'clock=', 'alarm:', 'locale:')):
            self.effects.append([])
            return
        super().step(step)

    def gone(self):
        return getattr(self, 'refused', False) or self.created and not self.item

    created = False

    def load(self):
        try:
            super().load()
        except Fault as e:
            if str(e) != REFUSED:
                raise
            self.refused = True

    def create(self):
        self.created = True
        try:
            super().create()
        except Fault as e:
            if str(e) != NO_WINDOW:
                raise
            self.dev.heap.free(self.listing)

    def timer(self):
        if self.dev.window(self.item).timers:
            super().timer()

    def destroy(self):
        if self.item in self.dev.handles.live:
            super().destroy()


class Sweep:
    """Fails each call site at its first reach, in a child of a fork."""

    def __init__(self, budget):
        self.seen, self.results, self.budget = set(), [], budget
        self.child = None        # in a child: the pipe its outcome goes to
        self.life = self.dev = None
        self.had = {}            # DC -> every object it has had selected
        self.unrecorded = 0      # in a child: calls off the recorded answers, failed too

    def puts_back(self, cpu):
        """Whether a SelectObject puts back an object the DC had before: a
        select the system cannot refuse."""
        hdc, h = cpu.arg(0), cpu.arg(1)
        had = self.had.setdefault(hdc, set())
        dc = self.dev.handles.get(hdc, 'dc')
        had.update(dc.selected.values() if dc else ())
        return h in had

    def failing(self, cpu, name, site):
        """The value the call at `site` fails with, or None to answer it."""
        if name == 'SelectObject' and self.puts_back(cpu):
            return None
        if self.child is not None or name in NEVER_FAIL or (name, site) in self.seen:
            return None
        self.seen.add((name, site))
        read, write = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.close(read)
            self.child = write
            cpu.budget = cpu.instructions + self.budget
            self.dev.last_error = ERROR_NOT_ENOUGH_MEMORY
            self.fail_unrecorded()
            return FAILED_WITH.get(name, 0)
        os.close(write)
        with os.fdopen(read) as pipe:
            outcome = pipe.read()
        os.waitpid(pid, 0)
        self.results.append((self.life, name, cpu.where(site).split(' (')[0], site - cpu.base,
                             *(json.loads(outcome) if outcome else ('the child ended without an outcome', 0))))
        return None

    def fail_unrecorded(self):
        """Calls that the failure leads to and that the desktop's recorded
        answers do not cover fail too, as a device short of memory would
        fail them."""
        recorded = self.dev.answer

        def answer(*key):
            try:
                return recorded(*key)
            except Fault:
                self.unrecorded += 1
                raise CallFails(FAILED_WITH.get(str(key[0]).split(' ')[0], 0))
        self.dev.answer = answer

    def report(self, outcome):
        """In a child: the outcome of the life, then the child ends."""
        os.write(self.child, json.dumps(outcome).encode())
        os.close(self.child)
        os._exit(0)


def play(args, answers, steps, sweep):
    today = {'Selectability': (lives.REG_DWORD, lives.struct.pack('<I', answers['Selectability']))}
    device = Tolerant(args, answers, {lives.SETTINGS_KEY: {}, lives.TODAY_KEY: today})
    if sweep:
        sweep.dev = device.dev
        device.cpu.failing = sweep.failing
    outcome = None
    try:
        for step in steps:
            device.step(step)
    except Exception as e:   # noqa: BLE001 -- a failed call may reach the model's own limits
        outcome = '%s: %s' % (type(e).__name__, e) if not isinstance(e, Fault) else str(e)
    if sweep and sweep.child is not None:
        sweep.report([outcome, sweep.unrecorded])
    return device, outcome


def main(argv):
    args = lives.Args(argv)
    table = dict(lives.LIVES)
    failures = points = off_record = 0
    start = time.time()
    sweep = Sweep(0)
    for name in SWEPT:
        steps = table[name]
        answers, _ = lives.desktop_life(args, steps)
        plain, outcome = play(args, answers, steps, None)
        if outcome:
            print('FAIL %s, unfailed: %s' % (name, outcome))
            failures += 1
            continue
        sweep.budget = BUDGET_TIMES * plain.cpu.instructions + BUDGET_MORE
        sweep.life, sweep.results = name, []
        begun = time.time()
        play(args, answers, steps, sweep)
        for life, call, where, rva, result, unrecorded in sweep.results:
            off_record += unrecorded > 0
            if result:
                failures += 1
                print('FAIL %s: %s failing at %s (rva 0x%x): %s' % (life, call, where, rva, result))
        points += len(sweep.results)
        print('%s: %d more call sites failed in turn in %.1f s' % (name, len(sweep.results), time.time() - begun))
    print('%d failure points (after %d of them, calls the recorded answers do not cover failed too), '
          '%d failures, %.1f s' % (points, off_record, failures, time.time() - start))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
