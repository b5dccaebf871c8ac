#!/usr/bin/python3
"""Scripted lives of the item, each run through the handheld's ARM DLL on
an emulated CPU and through the desktop DLL under Wine: at each step both
must draw the same texts at the same places, the same shapes, blends and
copies, build the same menus and make the same registry writes; the ARM
DLL must make no unaligned access, give back every handle it was given
and every heap block it took, and have ended its threads by its unload.

  lives.py ARM_DLL TOOLS_PREFIX DESKTOP_DLL RECORDER WINE_RUN DEVICES_DIR [--notes FILE]

With --notes, the figures of each device profile the lives ran on
(tests/handheld/figures.py) are written to FILE."""
import difflib
import json
import re
import os
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from arm import Cpu, Fault, Symbols  # noqa: E402
from calls import table  # noqa: E402
from device import (REG_DWORD, REG_SZ, WM_CREATE, WM_PAINT, WM_TIMER, WM_DESTROY, OBJ_BITMAP, OBJ_BRUSH,  # noqa: E402
                    OBJ_FONT, OBJ_PEN, Device)
from dialogs import RT_DIALOG, Dialogs  # noqa: E402
from threads import Threads  # noqa: E402
import figures  # noqa: E402

# Where the handheld maps the DLL: not its preferred base, so every
# relocation must be applied for it to run.
LOAD_BASE = 0x01C10000
PREFERRED_BASE = 0x10000000
SETTINGS_KEY = 'HKCU\\software\\marrowfen\\quartzel'
# Friday 15 March 2024, 09:41:00 (SYSTEMTIME order: year, month, weekday, day, ...).
CLOCK = (2024, 3, 5, 15, 9, 41, 0, 0)
WM_TODAYCUSTOM_QUERYREFRESHCACHE = 0x0400 + 243
WM_TODAYCUSTOM_RECEIVEDSELECTION, WM_TODAYCUSTOM_LOSTSELECTION = 0x0400 + 244, 0x0400 + 245
VK_DOWN = 0x28
WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON = 0x0201, 0x0202, 0x0001
TODAY_KEY = 'HKLM\\software\\microsoft\\today\\items\\quartzel'
ALARM_KEY = 'HKLM\\software\\microsoft\\clock\\0'
PHONE_KEY = 'HKLM\\system\\state\\phone'
REG_BINARY = 3

# A life is its name and its steps. The steps each build knows:
#   load, create, height (the host's refresh query and resize), paint
#   (invalidate), destroy, unload; set:NAME=NUMBER (a DWORD stored in the
#   settings key), clock=H:M:S, timer (the item's timer fires), select,
#   unselect, locale:NAME (answered for the user's), reload (what the
#   options do when they have saved), hold:X,Y (tap-and-hold there), tap:X,Y,
#   alarm:DAYS,MINUTES (the first alarm on: weekday bits from Monday, minute
#   of the day), options:PAGE/ID[ACT],... (the options opened as the Today
#   settings open them, for each an act on control ID of page PAGE: a tap,
#   "+" or "-" an arrow in an edit's up-down, "=N" entry or position N of a
#   combo box or track bar; ID 0 only shows the page; then OK; only the
#   registry writes are compared while the sheet is open),
#   suspend, resume (the power manager's broadcasts),
#   operator:HEX (the phone on a network, its operator named),
#   font:FILE (the device's QZL.ttf is the font file FILE, of another
#   face: the desktop's answers for the private font are the ones of that
#   file, which the model replays).
# A life runs on the device named after its steps (qvga96 without), its
# screen at the bits per pixel given there (the device's own without). The
# lives must run on screens of 16 and of 32 bits.
# After each step, posted messages are delivered, then an invalidated item
# is painted.
LIFE = ['load', 'create', 'height', 'paint']
END = ['destroy', 'unload']
# The operator's name in the day slot, beside the short date. The long
# name is longer than the item reads whole (59 characters).
OPERATOR = ['set:ShowOpName=1', 'set:ShowShortDate=1', 'set:CenterDayDate=0']
LONG_OPERATOR = 'Marrowfen Mobile Telecommunications of the Northern Isles and the Southern Reaches'
ARABIC_OPERATOR = ('\u0634\u0631\u0643\u0629 \u0627\u0644\u0627\u062a\u0635\u0627\u0644\u0627\u062a '
                   '\u0627\u0644\u0645\u062a\u0646\u0642\u0644\u0629 \u0644\u062c\u0632\u0631 '
                   '\u0627\u0644\u0634\u0645\u0627\u0644')


def operator(name):
    """The step that names the phone's operator, its UTF-16 in hex."""
    return 'operator:' + name.encode('utf-16-le').hex()


LIVES = [
    ('first paint', LIFE + END),
    ('stored settings', ['set:ShowSeconds=0', 'set:TextColorEnabled=1', 'set:ColorExHour=0x0000FF',
                         'set:HourMinFontSize=30', 'set:CenterDayDate=0'] + LIFE + END),
    ('a minute passes', LIFE + ['clock=9:41:59', 'timer', 'clock=9:42:00', 'timer'] + END),
    ('selection', LIFE + ['select', 'paint', 'unselect', 'paint'] + END),
    ('the locale changes', LIFE + ['locale:de-DE', 'height', 'paint'] + END),
    ('settings saved by the options', LIFE + ['set:ShowSeconds=0', 'set:ShowTimeMarkers=0', 'reload', 'height',
                                              'paint'] + END),
    ('time hidden in sleep', ['set:HideTimeInSleep=1'] + LIFE + END),
    # The watcher's thread hides the time before the device sleeps and
    # brings it back at the wake-up; a second suspend in a row wakes it
    # and hides the time again; the item goes while the time is hidden.
    ('the time hides in suspend and comes back', ['set:HideTimeInSleep=1'] + LIFE +
     ['suspend', 'resume', 'suspend', 'suspend', 'resume', 'suspend'] + END),
    ('tap and hold', ['set:TapAndHoldEnabled=1'] + LIFE + ['hold:120,30', 'hold:222,27'] + END),
    # Friday's bit, 11:00: the bell shows, and holding it lists the alarm.
    ('an alarm set', ['alarm:16,660', 'set:TapAndHoldEnabled=1'] + LIFE + ['hold:222,27'] + END),
    ('a tap', LIFE + ['tap:120,30'] + END),
    # The private face is refused, and the time drawn in Tahoma, on both.
    ('a QZL.ttf of another face', ['font:marlett.ttf'] + LIFE + END),
    # A stored border the General page's up-down shows and saves again;
    # "Disable time display in suspend mode" ticked (1001), then the Time
    # page's "Show seconds" cleared (1201).
    ('the options sheet opened and applied', ['set:VerticalBorderHeight=4'] + LIFE +
     ['options:0/1001,2/1201', 'height', 'paint'] + END),
    # The fit measures by ink. kde's fifty-character long date gives way to
    # its short date.
    ('a long date', ['locale:kde-TZ'] + LIFE + END),
    # Operator names wider than their slot are cut, one of them right to
    # left; the first tick reads the name. The Arabic name, in the slot at
    # the right, leans out of it by 5 pixels, which the fit insets it by.
    ('a long operator name', OPERATOR + [operator(LONG_OPERATOR)] + LIFE + ['timer'] + END),
    ('an Arabic operator name', OPERATOR + ['set:CenterDayDate=2', operator(ARABIC_OPERATOR)] + LIFE + ['timer'] +
     END),
    # Arabic letters join as they are drawn, narrower than they add up.
    ('a joined Arabic date', ['locale:ar-SA'] + LIFE + END),
    # The devices draw at 16 bits per pixel, where the face's surfaces are
    # compatible bitmaps; square128 keeps a 32-bit screen, where they are DIB
    # sections. 128 and 192 dpi; turned.
    ('first paint at 32 bits', LIFE + END, 'square128', 32),
    ('a selection at 32 bits', LIFE + ['select', 'paint'] + END, 'square128', 32),
    ('an alarm at 128 dpi', ['alarm:16,660'] + LIFE + END, 'square128'),
    ('an alarm at 192 dpi', ['alarm:16,660'] + LIFE + END, 'vga192'),
    ('a long operator name at 192 dpi, turned', OPERATOR + [operator(LONG_OPERATOR)] + LIFE + ['timer'] + END,
     'vga192-landscape'),
    # Every page played: each control it has set at least once, then OK.
    # The action list's entries: 0 no action, 2 a file, which the browse
    # button's chooser picks.
    ('the General page played', LIFE + ['options:0/1001,0/1002=0,0/1004,0/1006+,0/1006+', 'height', 'paint'] + END),
    ('a file chosen for the tap', LIFE + ['options:0/1002=2,0/1003', 'height', 'paint'] + END),
    # Ends on a split layout, whose texts are fitted by their ink.
    ('the Day/Date page played', LIFE + ['options:1/1101,1/1101,1/1102,1/1103,1/1103,1/1105,1/1106', 'height',
                                         'paint'] + END),
    ('the Time page played', LIFE + ['options:2/1201,2/1202,2/1203,2/1204', 'height', 'paint'] + END),
    ('the Font Size page played', LIFE + ['options:3/1301+,3/1303-,3/1305+', 'height', 'paint'] + END),
    ('the Color page played', LIFE + ['options:4/1401,4/1403-,4/1403-,4/1405-,4/1407-,4/1411-,4/1413-,4/1413-,'
                                      '4/1415-', 'height', 'paint'] + END),
    ('the Background page played', LIFE + ['options:5/1501,5/1503=128,5/1504,5/1506=64,5/1507,5/1509=200,5/1510,'
                                           '5/1512=32', 'height', 'paint'] + END),
    ('the ClearType page played', LIFE + ['options:6/1602,6/1603', 'height', 'paint'] + END),
    ('the About page shown', LIFE + ['options:7/0', 'height', 'paint'] + END),
]
OPTIONS_HOST_DIALOG = 500
# What a paint step must show on the item's window: its picture copied or
# blended there.
DRAWN = [['BitBlt', 'window'], ['AlphaBlend', 'window']]


class Clock:
    """The device's clock, set by the lives' clock steps; the tick count
    stands still, as the recorder's does."""
    ticks = 1000
    time = CLOCK

    def __init__(self):
        Clock.time = CLOCK


def desktop_life(args, steps, profile='qvga96', bits=None):
    """Effects and answers of the desktop DLL, from the recorder under Wine
    in the device `profile`, its screen at `bits` per pixel if given."""
    out = tempfile.NamedTemporaryFile(suffix='.txt', delete=False).name
    env = dict(os.environ, QZL_PREFIX=os.path.join(args.devices, profile))
    if bits:
        env['QZL_SCREEN_BITS'] = str(bits)
    run = subprocess.run([args.wine_run, args.recorder, 'Z:' + args.desktop_dll.replace('/', '\\'),
                          'Z:' + out.replace('/', '\\')] + steps, capture_output=True, text=True, timeout=60,
                         env=env)
    lines = open(out, encoding='utf-8').read().splitlines()
    os.unlink(out)
    if run.returncode:
        raise Fault('the recorder failed (%d): %s' % (run.returncode, (run.stdout + run.stderr).strip()))
    answers, effects = {}, []
    for line in lines:
        kind, rest = line[0], line[2:]
        if kind == 'A':
            key, value = rest.split(' = ', 1)
            answers[key] = json.loads(value)
        elif kind == 'S':
            effects.append([])
        else:
            effects[-1].append(rest if kind == 'E' else line)
    return answers, effects


class Handheld:
    """The Today host on the handheld, playing the steps of a life."""

    def __init__(self, args, answers, registry, watch=None):
        dll = args.arm_dll
        self.cpu = Cpu(dll, LOAD_BASE, Symbols(args.tools, os.path.splitext(dll)[0] + '.map', PREFERRED_BASE), watch)
        self.dev = Device(self.cpu, answers, registry, Clock())
        self.dev.dialogs = Dialogs(self.dev)
        self.dev.threads = Threads(self.dev)
        answers = table(self.dev)
        answers.update(self.dev.threads.answers())
        self.cpu.bind(answers)
        self.item = 0
        self.listing = 0
        self.effects = []
        self.counts = []     # instructions the DLL ran in each step
        self.foreign_font = False   # a "font:" step: no font may be made in the private face
        self.paints = []     # instructions of each paint the host asked for
        self.held = []       # the GDI objects and DCs the DLL held after each step

    def drive(self, generator):
        """Runs an answer that calls the DLL back, from the host's side."""
        value = None
        try:
            while True:
                address, args = generator.send(value)
                value = self.cpu.call(address, *args)
        except StopIteration as done:
            return done.value

    def send(self, msg, wp=0, lp=0):
        return self.drive(self.dev.send(self.item, msg, wp, lp))

    def step(self, step):
        self.dev.effects = []
        self.effects.append(self.dev.effects)
        before = self.cpu.instructions
        name, value = re.match(r'(\w+)[:=]?(.*)', step).groups()
        getattr(self, name)(*([value] if value else []))
        self.settle()
        self.counts.append('%s %d' % (step, self.cpu.instructions - before))
        self.held.append(self.gdi_held())

    def gdi_held(self):
        """{kind: count} of the GDI objects and DCs alive now."""
        names = {OBJ_FONT: 'fonts', OBJ_BITMAP: 'bitmaps', OBJ_BRUSH: 'brushes', OBJ_PEN: 'pens'}
        held = {}
        for kind, record in self.dev.handles.live.values():
            name = 'DCs' if kind == 'dc' else names[record[0]] if kind == 'gdi' else None
            if name:
                held[name] = held.get(name, 0) + 1
        return held

    def settle(self):
        """Delivers what the step left queued: the turns of threads that can
        go on, posted messages, then the paint of an invalidated item."""
        self.dev.threads.run_ready()
        while self.dev.posted:
            hwnd, msg, wp, lp = self.dev.posted.pop(0)
            # A window's queued messages go with it.
            if hwnd in self.dev.handles.live:
                self.drive(self.dev.send(hwnd, msg, wp, lp))
        if self.item in self.dev.handles.live and self.dev.window(self.item).invalid:
            before = self.cpu.instructions
            self.send(WM_PAINT)
            self.paints.append(self.cpu.instructions - before)

    def set(self, assignment):
        name, value = assignment.split('=')
        self.dev.registry[SETTINGS_KEY][name] = (REG_DWORD, struct.pack('<I', int(value, 0)))

    def alarm(self, values):
        days, minutes = map(int, values.split(','))
        self.dev.registry[ALARM_KEY] = {'AlarmFlags': (REG_BINARY, b'\x01'), 'AlarmDays': (REG_BINARY, bytes([days])),
                                        'AlarmTime': (REG_BINARY, struct.pack('<H', minutes))}

    def operator(self, name):
        self.dev.registry[PHONE_KEY] = {
            'Current Operator Name': (REG_SZ, bytes.fromhex(name) + b'\0\0'),
            'Status': (REG_DWORD, struct.pack('<I', 0x20))}

    def font(self, _file):
        """The recorder's answers are the other face's; the handheld's build
        must refuse it as the desktop's does (checked at unload)."""
        self.foreign_font = True

    def clock(self, when):
        h, m, sec = map(int, when.split(':'))
        Clock.time = CLOCK[:4] + (h, m, sec, 0)

    def timer(self):
        (ident,) = self.dev.window(self.item).timers
        self.send(WM_TIMER, ident)

    def select(self):
        self.dev.effects.append('R %d' % self.send(WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN))

    def hold(self, where, holding=True):
        x, y = map(int, where.split(','))
        self.dev.holding = holding
        self.send(WM_LBUTTONDOWN, MK_LBUTTON, y << 16 | x)
        self.dev.holding = False
        self.send(WM_LBUTTONUP, 0, y << 16 | x)

    def tap(self, where):
        self.hold(where, False)

    def locale(self, name):
        self.dev.locale = name

    def reload(self):
        """What the options sheet does when it has saved."""
        self.set('QZL=0')
        self.dev.posted.append((self.item, WM_CREATE, 0, 0))

    def options(self, clicks):
        """The Today settings' host dialog with the item's options procedure."""
        dev = self.dev
        dev.clicks = [(int(page), int(ident), action) for page, ident, action in
                      (re.match(r'(\d+)/(\d+)(.*)$', click).groups() for click in clicks.split(','))]
        dev.in_sheet = True
        template = dev.resource(RT_DIALOG, OPTIONS_HOST_DIALOG)[0]
        dialog = self.drive(dev.dialogs.create(template, self.cpu.export(241), dev.host, 0))
        if not dev.window(dialog).ended:
            raise Fault('the options host dialog did not end')
        self.drive(dev.dialogs.destroy(dialog))
        dev.in_sheet = False

    def suspend(self):
        """The power manager's suspend broadcast."""
        self.dev.threads.suspend()

    def resume(self):
        self.dev.threads.resume()

    def unselect(self):
        self.send(WM_TODAYCUSTOM_LOSTSELECTION)

    def load(self):
        if self.cpu.call(self.cpu.base + self.cpu.image.entry, self.cpu.base, 1, 0) != 1:
            raise Fault('the entry point refused the load')

    def create(self):
        self.listing = self.dev.heap.alloc(628)
        self.cpu.uc.mem_write(self.listing, bytes(628))
        self.item = self.cpu.call(self.cpu.export(240), self.listing, self.dev.host)
        if not self.item:
            raise Fault('no item window was made')

    def height(self):
        changed = self.send(WM_TODAYCUSTOM_QUERYREFRESHCACHE, self.listing)
        cyp = self.cpu.read32(self.listing + 72)
        self.dev.effects.append('R %d %d' % (changed, cyp))
        x, y, w, _ = self.dev.window(self.item).rect
        self.drive(self.dev.resize(self.item, (x, y, w, cyp), 0x16))

    def paint(self):
        self.dev.window(self.item).invalid = True

    def destroy(self):
        self.send(WM_DESTROY)
        self.dev.handles.close(self.item, 'window')
        self.dev.heap.free(self.listing)

    def unload(self):
        self.cpu.call(self.cpu.base + self.cpu.image.entry, self.cpu.base, 0, 0)
        if self.foreign_font and any(re.match(r'CreateFontIndirectW .*/QZL$', e) for step in self.effects for e in step):
            raise Fault('a font was made in the private face of a QZL.ttf of another face')
        left = [(h, kind) for h, (kind, _) in self.dev.handles.live.items() if h != self.dev.host]
        if left:
            raise Fault('handles not given back at unload: ' + ', '.join('%s 0x%x' % (k, h) for h, k in left))
        if self.dev.heap.taken:
            raise Fault('heap blocks not given back at unload: ' + ', '.join(
                '%d bytes at 0x%08x' % (self.dev.heap.blocks[at], at) for at in sorted(self.dev.heap.taken)))
        if self.dev.threads.still_running():
            raise Fault('still running at unload: ' + ', '.join(self.dev.threads.still_running()))


def compare(name, steps, desktop, handheld):
    """Each step's effects, desktop against handheld; the differing lines
    of a step that differs are printed, "-" the desktop's, "+" the
    handheld's."""
    failures = 0
    if not len(steps) == len(desktop) == len(handheld):
        print('FAIL %s: %d steps, the desktop played %d, the handheld %d' % (name, len(steps), len(desktop),
                                                                           len(handheld)))
        return 1
    for step, want, got in zip(steps, desktop, handheld):
        for build, effects in (('desktop', want), ('handheld', got)):
            if step == 'paint' and not any(e.split(' ')[:2] in DRAWN for e in effects):
                print('FAIL %s, %s: the %s build drew nothing on the item' % (name, step, build))
                failures += 1
        if want == got:
            continue
        failures += 1
        print('FAIL %s, %s: the builds differ' % (name, step))
        for line in difflib.ndiff(want, got):
            if line[0] in '-+':
                print('  ' + line)
    return failures


class Args:
    def __init__(self, argv):
        self.arm_dll, self.tools, self.desktop_dll, self.recorder, self.wine_run, self.devices = argv[:6]
        # --notes FILE: the figures of each device profile written there
        self.notes = argv[7] if argv[6:7] == ['--notes'] else None


def handheld_life(args, answers, steps, watch=None):
    """Plays the steps on the handheld; a fault in a block is played again
    with that block stepped, so that it names its instruction."""
    # The Today item key as the device's installation wrote it.
    today = {'Selectability': (REG_DWORD, struct.pack('<I', answers['Selectability']))}
    device = Handheld(args, answers, {SETTINGS_KEY: {}, TODAY_KEY: today}, watch)
    try:
        for step in steps:
            device.step(step)
    except Fault as e:
        if e.block and not watch:
            return handheld_life(args, answers, steps, e.block)
        raise
    return device


def main(argv):
    args = Args(argv)
    failures = 0
    depths = set()
    played = []
    for name, steps, *screen in LIVES:
        answers, desktop = desktop_life(args, steps, *screen)
        profile = screen[0] if screen else 'qvga96'
        depths.add(answers.get('GetDeviceCaps 12', 0))
        start = time.time()
        try:
            device = handheld_life(args, answers, steps)
        except Fault as e:
            print('FAIL %s: %s' % (name, e))
            failures += 1
            continue
        failures += compare(name, steps, desktop, device.effects)
        played.append((profile, answers, name, steps, device))
        print('%s: %d instructions in %.2f s (%s)' % (
            name, device.cpu.instructions, time.time() - start, ', '.join(device.counts)))
    if not {16, 32} <= depths:
        print('FAIL the lives ran on screens of %s bits per pixel, not of both 16 and 32' % sorted(depths))
        failures += 1
    print('%d lives, %d failures' % (len(LIVES), failures))
    if args.notes:
        with open(args.notes, 'w', encoding='utf-8') as notes:
            notes.write(figures.sections(played))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
