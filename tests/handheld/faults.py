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
and the parent goes on unfailed, beside as many children as the machine
has processors besides its own. A fork copies the emulator as it is, so no
failure replays the steps before it.

A spread of the failures is played on the desktop DLL too: the recorder
fails the same import's call of the same rank and notes each call of it,
and the ARM DLL plays the failure again with that run's answers. Where
both builds took the same path (as many calls of the import in each step,
nothing asked that the desktop was not asked), both must have the same
effects at every step.

  faults.py ARM_DLL TOOLS_PREFIX DESKTOP_DLL RECORDER WINE_RUN"""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from arm import CallFails, Fault  # noqa: E402
import lives  # noqa: E402

# Lives that between them reach the item's calls: the load, the paints,
# the timer, tap-and-hold and its menu, the alarm, the options sheet and
# its pages, the watcher's thread.
SWEPT = ['stored settings', 'a minute passes', 'an alarm set', 'the options sheet opened and applied',
         'the time hides in suspend and comes back', 'the General page played', 'the Day/Date page played',
         'the Font Size page played', 'the Color page played', 'the Background page played', 'the About page shown',
         'a file chosen for the tap']
# Calls that cannot fail (the C runtime's string and memory routines, the
# clock) or whose failure is the system's own loss (giving back a handle
# or block), and the model's ways into the DLL's own code.
NEVER_FAIL = set('''memcpy memset memcmp wcslen wcscpy wcscmp wcschr wcsstr lstrcmpW lstrcmpiW CharLowerW _wtol
wsprintfW CompareFileTime GetLastError GetTickCount GetLocalTime InterlockedExchange GetProcessHeap fflush
_fcloseall free HeapFree DeleteObject DeleteDC ReleaseDC EndPaint CloseHandle RegCloseKey DestroyMenu
KillTimer CloseMsgQueue StopPowerNotifications RemoveFontResourceW UnregisterClassW DefWindowProcW
CallWindowProcW EndDialog GetStockObject GetSysColor GetDlgItem GetDlgCtrlID GetParent GetWindow IsWindow
GetWindowLongW SetWindowLongW GetCurrentObject EqualRect IntersectRect OffsetRect RegistryCloseNotification'''.split())
ERROR_OUTOFMEMORY, E_OUTOFMEMORY, ERROR_NOT_ENOUGH_MEMORY = 14, 0x8007000E, 8
FAILED_WITH = dict({name: ERROR_OUTOFMEMORY for name in '''RegOpenKeyExW RegCreateKeyExW RegQueryValueExW
RegSetValueExW RegDeleteValueW RegQueryInfoKeyW RegEnumValueW'''.split()},
                   RegistryGetDWORD=E_OUTOFMEMORY, RegistryGetString=E_OUTOFMEMORY, SHGetUIMetrics=E_OUTOFMEMORY,
                   RegistryNotifyWindow=E_OUTOFMEMORY,
                   WaitForSingleObject=0xFFFFFFFF, WaitForMultipleObjects=0xFFFFFFFF,
                   MsgWaitForMultipleObjectsEx=0xFFFFFFFF, GetFileAttributesW=0xFFFFFFFF,
                   SetTextColor=0xFFFFFFFF, SetTextAlign=0xFFFFFFFF)
# Children playing their failures while the sweep goes on: the machine's
# processors, less the sweep's own.
MOST_CHILDREN = max(1, (os.cpu_count() or 1) - 1)
# A failed run may take this many times the instructions of its life
# unfailed, and a million more, before it counts as a hang.
BUDGET_TIMES, BUDGET_MORE = 3, 1000000
# Imports that the desktop DLL's own stand-ins for the handheld's system
# (its message queues, power manager and registry watch) call too: the
# desktop's nth call of them is not the item's.
DESKTOP_OWN = set('CreateThread CreateEventW WaitForSingleObject WaitForMultipleObjects MsgWaitForMultipleObjectsEx '
                  'CloseHandle PostMessageW'.split())
# The desktop DLL fails the first call site of this many imports, spread
# over the sweep's order; with QZL_FAULT_POINTS=all in the environment
# (as tools/reliability.sh runs the desktop's fault test), every call site
# the ARM DLL failed.
DESKTOP_SAMPLE = 24
EVERY_POINT = os.environ.get('QZL_FAULT_POINTS') == 'all'
REFUSED, NO_WINDOW = 'the entry point refused the load', 'no item window was made'


class Tolerant(lives.Handheld):
    """The Today host as it meets an item that failed: a load refused or
    no window made leaves only the unload; no timer, no tick. The steps it
    leaves out are noted."""

    created = False

    def step(self, step):
        if self.gone() and step != 'unload' and not step.startswith(('set:', 'clock=', 'alarm:', 'locale:')):
            self.left_out = getattr(self, 'left_out', set()) | {len(self.effects)}
            self.effects.append([])
            return
        super().step(step)

    def gone(self):
        return getattr(self, 'refused', False) or self.created and not self.item

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


class Point:
    """One call site failed: where, the how-many-th call of its import it
    was in the life, and in which steps that import was called up to it."""

    def __init__(self, life, name, where, rva, nth, value, steps):
        self.life, self.name, self.where, self.rva = life, name, where, rva
        self.nth, self.value, self.steps = nth, value, steps
        self.outcome, self.unrecorded, self.effects, self.left_out = None, 0, [], []


class FailOnce:
    """A failing hook that fails the point's call site at its first reach
    and notes the step of each call of its import; calls off the recorded
    answers fail too, and are counted."""

    def __init__(self, point, host):
        self.point, self.host, self.done = point, host, False
        self.calls, self.unrecorded = [], [0]
        fail_unrecorded(host.dev, self.unrecorded)

    def __call__(self, cpu, name, site):
        if name != self.point.name:
            return None
        self.calls.append(len(self.host.effects) - 1)
        if self.done or site - cpu.base != self.point.rva:
            return None
        self.done = True
        return self.point.value


def fail_unrecorded(dev, count):
    """Has the calls that a failure leads to and that the recorded answers
    do not cover fail too, as a device short of memory would fail them;
    count[0] counts them."""
    recorded = dev.answer

    def answer(*key):
        try:
            return recorded(*key)
        except Fault:
            count[0] += 1
            raise CallFails(FAILED_WITH.get(str(key[0]).split(' ')[0], 0))
    dev.answer = answer


class Sweep:
    """Fails each call site at its first reach, in a child of a fork."""

    def __init__(self):
        self.seen, self.points, self.budget = set(), [], 0
        self.child = None        # in a child: the pipe its outcome goes to
        self.life = self.host = self.dev = None
        self.had = {}            # DC -> every object it has had selected
        self.calls = {}          # import -> the step of each of its calls in this life
        self.flying = []         # (pid, pipe, point) of the children still playing
        self.unrecorded = [0]    # in a child: calls off the recorded answers, failed too

    def start(self, life, host, budget):
        self.life, self.host, self.dev, self.budget = life, host, host.dev, budget
        self.calls, self.had = {}, {}

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
        if self.child is not None:
            return None
        self.calls.setdefault(name, []).append(len(self.host.effects) - 1)
        if name == 'SelectObject' and self.puts_back(cpu):
            return None
        if name in NEVER_FAIL or (name, site) in self.seen:
            return None
        self.seen.add((name, site))
        value = FAILED_WITH.get(name, 0)
        point = Point(self.life, name, cpu.where(site).split(' (')[0], site - cpu.base, len(self.calls[name]), value,
                      list(self.calls[name]))
        read, write = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.close(read)
            self.child = write
            cpu.budget = cpu.instructions + self.budget
            self.dev.last_error = ERROR_NOT_ENOUGH_MEMORY
            fail_unrecorded(self.dev, self.unrecorded)
            return value
        os.close(write)
        self.points.append(point)
        self.flying.append((pid, read, point))
        if len(self.flying) > MOST_CHILDREN:
            self.land(*self.flying.pop(0))
        return None

    def land(self, pid, read, point):
        """Takes a child's outcome once it has ended."""
        with os.fdopen(read) as pipe:
            outcome = pipe.read()
        os.waitpid(pid, 0)
        if outcome:
            point.outcome, point.unrecorded, point.effects, point.left_out = json.loads(outcome)
        else:
            point.outcome = 'the child ended without an outcome'

    def land_all(self):
        while self.flying:
            self.land(*self.flying.pop(0))

    def report(self, outcome):
        """In a child: the outcome of the life, then the child ends."""
        os.write(self.child, json.dumps([outcome, self.unrecorded[0], self.host.effects,
                                         sorted(getattr(self.host, 'left_out', ()))]).encode())
        os.close(self.child)
        os._exit(0)


def play(args, answers, steps, sweep, budget=0, failing=None):
    """Plays a life on the tolerant host: each call site failing in turn
    with a sweep, the one call of a failure point with `failing`."""
    today = {'Selectability': (lives.REG_DWORD, lives.struct.pack('<I', answers['Selectability']))}
    device = Tolerant(args, answers, {lives.SETTINGS_KEY: {}, lives.TODAY_KEY: today})
    if sweep:
        sweep.start(sweep.life, device, budget)
        device.cpu.failing = sweep.failing
    if failing:
        device.cpu.failing = device.failing = FailOnce(failing, device)
    outcome = None
    try:
        for step in steps:
            device.step(step)
    except Exception as e:   # noqa: BLE001 -- a failed call may reach the model's own limits
        outcome = '%s: %s' % (type(e).__name__, e) if not isinstance(e, Fault) else str(e)
    if sweep and sweep.child is not None:
        sweep.report(outcome)
    if sweep:
        sweep.land_all()
    return device, outcome


def on_the_desktop(args, steps, plain_answers, point):
    """The same failure on the desktop DLL, the nth call of the same
    import, then on the ARM DLL again with the desktop's answers of that
    run: 'not imported' when the desktop DLL does not import it, None when
    the builds took other paths (their calls of the import fell in other
    steps, or the ARM DLL asked what the desktop did not); else the
    failures (steps whose effects differ, or a fault)."""
    name = '%s, %s failing at %s' % (point.life, point.name, point.where)
    try:
        answers, effects = lives.desktop_life(args, ['fail:%s/%d/%d' % (point.name, point.nth, point.value)] + steps)
    except subprocess.TimeoutExpired:
        print('FAIL %s: the desktop DLL did not end its life within a minute' % name)
        return 1
    # What the device answered, asked in either run.
    answers = dict(plain_answers, **answers)
    if not answers.get('FailBound'):
        return 'not imported'
    again, outcome = play(args, answers, steps, None, failing=point)
    if outcome:
        print('FAIL %s, with the desktop\'s answers: %s' % (name, outcome))
        return 1
    calls = [i for i, lines in enumerate(effects) for line in lines if line == 'F']
    if calls != again.failing.calls or again.failing.unrecorded[0]:
        return None
    played = [(i, step) for i, step in enumerate(steps) if i not in getattr(again, 'left_out', ())]
    desktop = [[line for line in effects[i] if line != 'F'] for i, _ in played]
    return lives.compare(name, [s for _, s in played], desktop, [again.effects[i] for i, _ in played])


def desktop_sample(args, table, answers, points):
    """The first failure point of each of a spread of imports, failed on
    the desktop DLL too, one at a time (the runs share the device's
    registry): where both builds took the same path, their effects must be
    the same. Returns the failures."""
    begun = time.time()
    firsts = {}
    for point in points:
        if not point.outcome and point.name not in DESKTOP_OWN:
            firsts.setdefault(point.name if not EVERY_POINT else (point.name, point.rva), point)
    chosen = list(firsts.values())
    if not EVERY_POINT and len(chosen) > DESKTOP_SAMPLE:
        chosen = [chosen[i * len(chosen) // DESKTOP_SAMPLE] for i in range(DESKTOP_SAMPLE)]
    results = [on_the_desktop(args, table[p.life], answers[p.life], p) for p in chosen]
    shared = [r for r in results if r != 'not imported']
    same = [r for r in shared if r is not None]
    print('on the desktop DLL: %d failure points of imports it shares (%s), %d on the same path, %d failures, '
          'in %.1f s' % (len(shared), 'all' if EVERY_POINT else 'the first of each of a spread of imports', len(same),
                         sum(same), time.time() - begun))
    return sum(same)


def main(argv):
    args = lives.Args(argv)
    table = {life[0]: life[1] for life in lives.LIVES}
    failures = 0
    start = time.time()
    sweep = Sweep()
    answered = {}
    for name in SWEPT:
        steps = table[name]
        answers, _ = lives.desktop_life(args, steps)
        answered[name] = answers
        plain, outcome = play(args, answers, steps, None)
        if outcome:
            print('FAIL %s, unfailed: %s' % (name, outcome))
            failures += 1
            continue
        sweep.life, begun, before = name, time.time(), len(sweep.points)
        play(args, answers, steps, sweep, BUDGET_TIMES * plain.cpu.instructions + BUDGET_MORE)
        for point in sweep.points[before:]:
            if point.outcome:
                failures += 1
                print('FAIL %s: %s failing at %s (rva 0x%x): %s' % (point.life, point.name, point.where, point.rva,
                                                                    point.outcome))
        print('%s: %d more call sites failed in turn in %.1f s' % (name, len(sweep.points) - before,
                                                                   time.time() - begun))
    failures += desktop_sample(args, table, answered, sweep.points)
    print('%d failure points (after %d of them, calls the recorded answers do not cover failed too), '
          '%d failures, %.1f s' % (len(sweep.points), sum(p.unrecorded > 0 for p in sweep.points), failures,
                                   time.time() - start))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
