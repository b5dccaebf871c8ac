#!/usr/bin/python3
"""Quartzel.cab read back: cabextract finds it whole; one uncompressed or
MSZIP folder with the instructions first and 8.3 member names; every file
the instructions name is in it and nothing else; the counts of the Install
characteristic; the DLL value names the file the instructions extract, on
an English and a German device; the setup library is ARM, exports its four
functions by name and imports only names the handheld exports. Then bad
cabinets: the installer model refuses each with one line and leaves the
device as it was, and the generator refuses to build one whose
instructions and members disagree.

  install_cab.py CABINET TOOLS_PREFIX API_LIST"""
import os
import re
import struct
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(here, 'handheld'), os.path.join(here, '..', 'install')]
from arm import MACHINE_ARM, Cpu  # noqa: E402
from setup_life import LOAD_BASE, NoSymbols, exports, report  # noqa: E402
from installer import Cabinet, MemoryDevice, Plan, Refused, install  # noqa: E402
from instructions import MACROS, Instructions, document  # noqa: E402

MAKECAB = os.path.join(here, '..', 'install', 'makecab.py')
COUNTS = {'NumDirs': 1, 'NumFiles': 2, 'NumRegKeys': 1, 'NumRegVals': 6, 'NumShortcuts': 0}
DLL_VALUE = {'en': '\\Program Files\\Quartzel\\quartzel.dll', 'de': '\\Programme\\Quartzel\\quartzel.dll'}
SETUP_EXPORTS = ['Install_Exit', 'Install_Init', 'Uninstall_Exit', 'Uninstall_Init']
NONE, MSZIP = 0, 1
# Bad cabinets: what changes in the good one's instructions (or its bytes),
# and the start of the one line the installer says.
BAD = [
    ('a member missing', ('"qzl~1.002"', '"qzl~1.009"'),
     'the instructions extract qzl~1.009, which is not in the cabinet'),
    ('an unknown macro', ('%CE1%\\Quartzel" translation', '%CE99%\\Quartzel" translation'),
     'unknown install macro %CE99% in %CE99%\\Quartzel'),
    ('a malformed integer', ('"Order" value="0"', '"Order" value="first"'),
     'registry value HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel\\Order is not a signed 32-bit integer'),
    ('an integer out of range', ('"Order" value="0"', '"Order" value="4294967295"'),
     'registry value HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel\\Order is not a signed 32-bit integer'),
    ('a value with no data type', (' datatype="integer" />\n    </', ' />\n    </'),
     'registry value HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel\\Selectability has no data type'),
    ('a count that is wrong', ('"NumFiles" value="2"', '"NumFiles" value="3"'),
     'Install says NumFiles 3, the instructions hold 2'),
    ('a file out of its folder', ('type="QZL.ttf"', 'type="..\\..\\Windows\\QZL.ttf"'),
     'path \\Program Files\\Quartzel\\..\\..\\Windows\\QZL.ttf is not a folder or file from the device\'s root'),
    ('instructions cut short', ('</wap-provisioningdoc>', ''), '_setup.xml is not well-formed XML'),
    ('a cabinet cut short', None, 'is not a cabinet that can be read'),
]


def cabinet_layout(data):
    """(folders, compression of the first, member names in order) from the
    cabinet's own header."""
    files_at, = struct.unpack_from('<I', data, 16)
    folders, count = struct.unpack_from('<HH', data, 26)
    compression = struct.unpack_from('<H', data, 36 + 6)[0] & 0xF
    names, at = [], files_at
    for _ in range(count):
        end = data.index(b'\0', at + 16)
        names.append(data[at + 16:end].decode('ascii'))
        at = end + 1
    return folders, compression, names


def handheld_api(path):
    return {line.split()[1] for line in open(path) if re.match(r'^[a-z]+ \w+$', line)}


def read_back(cabinet, tools, api, failures):
    def expect(what, got, want):
        if got != want:
            failures.append('%s: %r, not %r' % (what, got, want))
    test = subprocess.run(['cabextract', '-t', cabinet], capture_output=True, text=True)
    expect('cabextract -t exit code', test.returncode, 0)
    data = open(cabinet, 'rb').read()
    folders, compression, names = cabinet_layout(data)
    expect('folders', folders, 1)
    if compression not in (NONE, MSZIP):
        failures.append('compression %d is neither none nor MSZIP' % compression)
    expect('first member', names[0], '_setup.xml')
    for name in names:
        if not re.fullmatch(r'[^.]{1,8}(\.[^.]{1,3})?', name):
            failures.append('member %s is not an 8.3 name' % name)
    cab = Cabinet(cabinet)
    ins = Instructions(cab.text)
    expect('members the instructions name', sorted(ins.needed_members() + ['_setup.xml']), sorted(names))
    expect('Install counts', ins.counts, COUNTS)
    for language, value in DLL_VALUE.items():
        plan = Plan(cab, MACROS[language])
        dll = plan.keys['HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel']['DLL'][1].decode('utf-16-le')
        expect('%s DLL value' % language, dll, value + '\0')
        extracted = dict(plan.files).get(value)
        expect('%s: the machine of the file the DLL value names' % language,
               extracted and struct.unpack_from('<H', extracted, struct.unpack_from('<I', extracted, 0x3C)[0] + 4)[0],
               MACHINE_ARM)
    with tempfile.NamedTemporaryFile(suffix='.dll') as f:
        f.write(cab.members[ins.setup])
        f.flush()
        cpu = Cpu(f.name, LOAD_BASE, NoSymbols(tools))
        expect('setup library exports', sorted(exports(cpu)), SETUP_EXPORTS)
        expect('setup library imports the handheld lacks',
               sorted({name for _, name, _ in cpu.imports()} - handheld_api(api)), [])


def bad_cabinet(folder, good, change):
    """The good cabinet's members under instructions changed as `change`
    says, packed by gcab itself (the generator would refuse them)."""
    out = os.path.join(folder, 'bad.cab')
    if change is None:
        open(out, 'wb').write(open(good, 'rb').read()[:300])
        return out
    members = Cabinet(good).members
    for name, data in members.items():
        open(os.path.join(folder, name), 'wb').write(data)
    text = document()
    if change[0] not in text:
        raise SystemExit('the good instructions hold no %r' % change[0])
    open(os.path.join(folder, '_setup.xml'), 'w').write(text.replace(change[0], change[1], 1))
    subprocess.run(['gcab', '-c', '-n', out] + [os.path.join(folder, n) for n in ['_setup.xml'] + sorted(
        n for n in members if n != '_setup.xml')], check=True)
    return out


def refusals(cabinet, failures):
    for name, change, message in BAD:
        with tempfile.TemporaryDirectory(prefix='qzlbad-') as folder:
            device = MemoryDevice()
            before = device.snapshot()
            try:
                install(device, bad_cabinet(folder, cabinet, change), 'en')
                failures.append('%s: installed' % name)
            except Refused as e:
                said = str(e)
                print('%s: %s' % (name, said))
                if message not in said or '\n' in said:
                    failures.append('%s: said %r, not one line with %r' % (name, said, message))
            if device.snapshot() != before:
                failures.append('%s: the device changed' % name)


def generator_refuses(cabinet, failures):
    """makecab.py with instructions naming a member it does not pack."""
    with tempfile.TemporaryDirectory(prefix='qzlgen-') as folder:
        members = Cabinet(cabinet).members
        inputs = []
        for member in ('quartz~1.001', 'qzl~1.002', 'qzlset~1.003'):
            inputs.append(os.path.join(folder, member))
            open(inputs[-1], 'wb').write(members[member])
        xml = os.path.join(folder, 'setup.xml')
        open(xml, 'w').write(document().replace('"qzl~1.002"', '"qzl~1.009"'))
        out = os.path.join(folder, 'out.cab')
        run = subprocess.run([sys.executable, MAKECAB, out] + inputs + ['--instructions', xml],
                             capture_output=True, text=True)
        print('the generator, members and instructions apart: exit %d, %s' % (run.returncode, run.stderr.strip()))
        if (run.returncode, run.stderr.count('\n'), os.listdir(folder).count('out.cab')) != (2, 1, 0):
            failures.append('the generator built or did not say in one line: exit %d, %r' % (
                run.returncode, run.stderr))


def main(argv):
    cabinet, tools, api = argv
    failures = []
    read_back(cabinet, tools, api, failures)
    refusals(cabinet, failures)
    generator_refuses(cabinet, failures)
    return report(failures)


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
