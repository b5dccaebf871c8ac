#!/usr/bin/python3
"""Quartzel.cab's install, upgrade and removal on the ARM model: the
installer model (install/installer.py) follows the cabinet's instructions
on a device in memory, and the setup library it calls is the cabinet's own
ARM one, run on the emulated CPU with the registry of that device. The
device's Today screen holds the DLL of each enabled Today item and reads
its list again at the broadcast WM_WININICHANGE 0xF2, so a file it holds
cannot be replaced or deleted until the setup library has let it go.

  setup_life.py CABINET TOOLS_PREFIX"""
import os
import struct
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, '..', '..', 'install')]
from arm import STACK, STACK_SIZE, Cpu, Fault  # noqa: E402
from calls import table  # noqa: E402
from device import Device  # noqa: E402
from installer import Cabinet, MemoryDevice, Refused, install, remove  # noqa: E402
from instructions import APP_NAME, SETUP, document, members  # noqa: E402
import makecab  # noqa: E402

LOAD_BASE = 0x01C10000
HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD = 0xFFFF, 0x001A, 0xF2
TODAY_ITEM = 'HKLM\\software\\microsoft\\today\\items\\quartzel'


class NoSymbols(list):
    """The setup library's faults are named by address and instruction."""

    def __init__(self, tools):
        super().__init__()
        self.objdump = tools + 'objdump'


def exports(cpu):
    """{name: address} of the DLL's exports by name."""
    rva = cpu.image.directory[0][0]
    _, _, names, table_at, names_at, ordinals_at = struct.unpack('<IIIIII', cpu.uc.mem_read(cpu.base + rva + 16, 24))
    out = {}
    for i in range(names):
        ordinal = struct.unpack('<H', cpu.uc.mem_read(cpu.base + ordinals_at + 2 * i, 2))[0]
        out[cpu.cstring(cpu.base + cpu.read32(cpu.base + names_at + 4 * i))] = \
            cpu.base + cpu.read32(cpu.base + table_at + 4 * ordinal)
    return out


def export_named(cpu, name):
    if name not in exports(cpu):
        raise Fault('the setup library exports no %s' % name)
    return exports(cpu)[name]


class ArmDevice(MemoryDevice):
    """The device in memory whose installer runs the ARM setup library:
    loaded afresh for each call, as the installer loads it, and unloaded
    after it with every handle and heap block given back. `enabled` lists
    the Today item key's Enabled value at each broadcast (None: no key)."""

    def __init__(self, tools):
        super().__init__()
        self.tools, self.enabled, self.calls = tools, [], []

    def today_reads_items(self):
        values = self.registry.get(TODAY_ITEM)
        self.enabled.append(None if values is None else struct.unpack('<I', values['Enabled'][1])[0])
        super().today_reads_items()

    def answers(self, dev):
        def SendMessageW(c):
            hwnd, msg, wp, _ = [c.arg(i) for i in range(4)]
            if (hwnd, msg, wp) != (HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD):
                raise Fault('SendMessageW 0x%x 0x%x 0x%x is not the Today reload broadcast' % (hwnd, msg, wp))
            self.today_reads_items()
            return 0

        def RegDeleteKeyW(c):
            path = {0x80000001: 'HKCU', 0x80000002: 'HKLM'}[c.arg(0)] + '\\' + c.wstring(c.arg(1)).lower()
            if path not in dev.registry:
                return 2
            self.reg_delete(path)
            return 0
        return {'SendMessageW': SendMessageW, 'RegDeleteKeyW': RegDeleteKeyW,
                'DisableThreadLibraryCalls': lambda c: 1}

    def setup(self, path, export, *args):
        with tempfile.NamedTemporaryFile(suffix='.dll') as f:
            f.write(self.read(path))
            f.flush()
            cpu = Cpu(f.name, LOAD_BASE, NoSymbols(self.tools))
            dev = Device(cpu, {'Screen': [240, 320]}, self.registry, None)
            answers = table(dev)
            answers.update(self.answers(dev))
            cpu.bind(answers)
            entry = cpu.base + cpu.image.entry
            if cpu.call(entry, cpu.base, 1, 0) != 1:
                raise Fault('the setup library refused its load')
            words = [self.argument(dev, a) for a in args]
            sp = STACK + STACK_SIZE - 0x100
            for i, word in enumerate([0] + words):
                if i >= 4:
                    cpu.write32(sp + 4 * (i - 4), word)
            result = cpu.call(export_named(cpu, export), 0, *words[:3])
            for at in [w for w, a in zip(words, args) if isinstance(a, str)]:
                dev.heap.free(at)
            cpu.call(entry, cpu.base, 0, 0)
        left = [kind for h, (kind, _) in dev.handles.live.items() if h != dev.host]
        if left or dev.heap.blocks:
            raise Fault('%s left %s handles and %d heap blocks' % (export, left, len(dev.heap.blocks)))
        self.calls.append('%s %d' % (export, result))
        return result

    @staticmethod
    def argument(dev, value):
        if not isinstance(value, str):
            return value
        at = dev.heap.alloc(2 * len(value) + 2)
        dev.cpu.put_wstring(at, value)
        return at


SETTINGS = 'HKCU\\software\\marrowfen\\quartzel'
OTHER_ITEM = 'HKLM\\software\\microsoft\\today\\items\\another item'
OTHER_VALUES = {'DLL': (1, '\\Windows\\another.dll\0'.encode('utf-16-le')), 'Enabled': (4, b'\1\0\0\0')}
DLL_VALUE = {'en': '\\Program Files\\Quartzel\\quartzel.dll', 'de': '\\Programme\\Quartzel\\quartzel.dll'}
SHOW_SECONDS_OFF = (4, b'\0\0\0\0')
# Each step of a life: the setup library's calls and results, the Today
# item key's Enabled value at each broadcast (None: no key any more), and
# the DLLs the Today screen holds after the step.
LIFE = [
    ('install', ['Install_Init 0', 'Install_Exit 0'], [1], 'dll'),
    ('upgrade', ['Install_Init 0', 'Install_Exit 0'], [0, 1], 'dll'),
    ('removal', ['Uninstall_Init 0', 'Uninstall_Exit 0'], [0, None], None),
]


def fresh_device(tools):
    device = ArmDevice(tools)
    device.registry[OTHER_ITEM] = dict(OTHER_VALUES)
    device.today_reads_items()
    device.enabled = []
    return device


def newer_cabinet(cabinet, folder):
    """The same cabinet with a newer item DLL (its link time one later),
    and that DLL."""
    parts = Cabinet(cabinet).members
    paths = {}
    for member, role in members():
        data = bytearray(parts[member])
        if role == 'item':
            pe = struct.unpack_from('<I', data, 0x3C)[0]
            struct.pack_into('<I', data, pe + 8, struct.unpack_from('<I', data, pe + 8)[0] + 1)
        paths[role] = os.path.join(folder, member)
        open(paths[role], 'wb').write(data)
    out = os.path.join(folder, 'newer.cab')
    makecab.build(out, [paths['item'], paths['font'], paths[SETUP]], document())
    return out, bytes(open(paths['item'], 'rb').read())


def step(device, name, action, failures):
    """Runs one step of a life; the setup library's calls and broadcasts it made."""
    calls, broadcasts = len(device.calls), len(device.enabled)
    try:
        action()
    except (Refused, Fault) as e:
        failures.append('%s: %s' % (name, e))
    return device.calls[calls:], device.enabled[broadcasts:]


def life(cabinet, newer, tools, language):
    """Install, a setting changed, an upgrade, a removal; the failures."""
    device, failures = fresh_device(tools), []
    before = device.snapshot()
    dll_path = DLL_VALUE[language].lower()
    actions = {'install': lambda: install(device, cabinet, language),
               'upgrade': lambda: install(device, newer[0], language),
               'removal': lambda: remove(device, APP_NAME, language)}
    for name, calls, enabled, held in LIFE:
        got = step(device, name, actions[name], failures)
        if got != (calls, enabled):
            failures.append('%s: setup calls %s and Enabled at each broadcast %s, not %s and %s' % (
                name, got[0], got[1], calls, enabled))
        want_held = {dll_path, '\\windows\\another.dll'} if held else {'\\windows\\another.dll'}
        if device.held != want_held:
            failures.append('%s: the Today screen holds %s, not %s' % (name, sorted(device.held), sorted(want_held)))
        if name == 'install':
            value = device.registry.get(TODAY_ITEM, {}).get('DLL', (0, b''))[1].decode('utf-16-le')
            if value != DLL_VALUE[language] + '\0' or device.registry.get(SETTINGS) != {}:
                failures.append('install: DLL value %r, settings key %s' % (value, device.registry.get(SETTINGS)))
            device.registry.get(SETTINGS, {})['ShowSeconds'] = SHOW_SECONDS_OFF
        if name == 'upgrade':
            if device.registry.get(SETTINGS, {}).get('ShowSeconds') != SHOW_SECONDS_OFF:
                failures.append('upgrade: the setting ShowSeconds=0 was lost')
            if device.read(dll_path) != newer[1]:
                failures.append('upgrade: %s is not the newer DLL' % dll_path)
    if device.snapshot() != before:
        failures.append('removal left: %s' % describe_left(before, device.snapshot()))
    return failures


def describe_left(before, after):
    files, dirs, keys = (sorted(set(a) - set(b)) for a, b in zip(after, before))
    changed = [k for k in before[2] if after[2].get(k) != before[2][k]]
    return 'files %s, folders %s, keys %s, keys changed %s' % (files, dirs, keys, changed)


def failed_midway(cabinet, newer, tools):
    """A device with no room for QZL.ttf: a first install, then an upgrade
    over a good install, are each taken back whole; the failures."""
    failures = []
    for name, first in (('a first install', None), ('an upgrade', cabinet)):
        device = fresh_device(tools)
        if first:
            install(device, first, 'en')
        before = device.snapshot()
        held = set(device.held)
        device.failing = '\\program files\\quartzel\\qzl.ttf'
        try:
            install(device, newer[0], 'en')
            failures.append('%s with no room: installed' % name)
        except Refused as e:
            print('%s with no room, refused: %s' % (name, e))
        if device.snapshot() != before or device.held != held:
            failures.append('%s with no room left: %s; the Today screen holds %s' % (
                name, describe_left(before, device.snapshot()), sorted(device.held)))
    return failures


def report(failures):
    """Prints the failures; the exit code."""
    for f in failures:
        print('FAIL ' + f)
    print('%d failures' % len(failures))
    return 1 if failures else 0


def main(argv):
    cabinet, tools = argv
    failures = []
    with tempfile.TemporaryDirectory(prefix='qzlupgrade-') as folder:
        newer = newer_cabinet(cabinet, folder)
        for language in ('en', 'de'):
            found = life(cabinet, newer, tools, language)
            failures += ['%s device, %s' % (language, f) for f in found]
            print('%s device: install, upgrade and removal%s' % (language, ': FAIL' if found else ' ok'))
        failures += failed_midway(cabinet, newer, tools)
    return report(failures)


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
