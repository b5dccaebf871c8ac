#!/usr/bin/python3
"""An emulated device (a Wine prefix made by device/make-device.sh) as the
installer model's device: its files are the prefix's drive C:, its registry
is Wine's (written with regedit, read with reg), and its setup library is
called through setupcall.exe. The desktop builds stand in for the ARM ones:
the cabinet installed here is Quartzel-desktop.cab, the same instructions
over the desktop DLLs.

  winedevice.py fresh DEVICE COPY [LANGUAGE]      a copy of a device without the item
  winedevice.py install COPY CABINET LANGUAGE
  winedevice.py remove COPY LANGUAGE
  winedevice.py installed DEVICE COPY CABINET     a fresh copy, the cabinet installed
                                                  in the device's language

A fresh copy shares the device's files by hard links (the installer
replaces a file, it never writes into one) and has its own registry. On a
German device the program-files folder is \\Programme, as its installer's
%CE1% says. Exit codes: 0 done; 1 refused (one line says why); 2 a bad
command line."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
from installer import DeviceError, Refused, install, remove  # noqa: E402
from instructions import APP_NAME, MACROS, REG_DWORD, REG_SZ  # noqa: E402

ROOT = os.path.dirname(here)
ROOTS = {'HKLM': 'HKEY_LOCAL_MACHINE', 'HKCU': 'HKEY_CURRENT_USER'}
HAND_INSTALL = ['HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel', 'HKCU\\SOFTWARE\\Marrowfen\\Quartzel']
# The Today emulator's own records of its runs (their undo journals).
EMULATOR_RECORDS = 'HKCU\\Software\\TodayEmu'
CURRENT_VERSION = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion'


class WineDevice:
    def __init__(self, prefix, bin_dir):
        self.prefix, self.bin = os.path.abspath(prefix), bin_dir

    # ---- Wine ----------------------------------------------------------------
    def wine(self, *args):
        env = dict(os.environ, QZL_PREFIX=self.prefix)
        return subprocess.run([os.path.join(ROOT, 'tools', 'wine-run.sh')] + list(args), env=env,
                              capture_output=True, encoding='utf-8', errors='replace', timeout=120)

    @staticmethod
    def windows(path):
        return 'Z:' + path.replace('/', '\\')

    # ---- files ---------------------------------------------------------------
    def host(self, path):
        """The prefix's file of a device path; each existing folder is
        found whatever the case of its name, as the device finds it."""
        at = os.path.join(self.prefix, 'drive_c')
        for part in [p for p in path.split('\\') if p]:
            names = {n.lower(): n for n in os.listdir(at)} if os.path.isdir(at) else {}
            at = os.path.join(at, names.get(part.lower(), part))
        return at

    def exists(self, path):
        return os.path.exists(self.host(path))

    def read(self, path):
        at = self.host(path)
        return open(at, 'rb').read() if os.path.isfile(at) else None

    def write(self, path, content):
        at = self.host(path)
        if not os.path.isdir(os.path.dirname(at)):
            raise DeviceError('no folder %s' % path.rsplit('\\', 1)[0])
        with open(at + '.new', 'wb') as f:
            f.write(content)
        os.replace(at + '.new', at)

    def remove(self, path):
        if os.path.isfile(self.host(path)):
            os.unlink(self.host(path))

    def make_dir(self, path):
        os.mkdir(self.host(path))

    def remove_dir(self, path):
        if os.path.isdir(self.host(path)) and not os.listdir(self.host(path)):
            os.rmdir(self.host(path))

    # ---- registry ------------------------------------------------------------
    def reg_values(self, key):
        """{name: (type, bytes)} of a key's string and number values, None
        when there is no key."""
        run = self.wine('reg', 'query', key)
        if run.returncode:
            return None
        values = {}
        for line in run.stdout.splitlines():
            words = line.strip().split(None, 2)
            if len(words) >= 2 and words[1] == 'REG_DWORD':
                values[words[0]] = (REG_DWORD, struct.pack('<I', int(words[2], 16)))
            elif len(words) >= 2 and words[1] == 'REG_SZ':
                values[words[0]] = (REG_SZ, ((words[2] if len(words) > 2 else '') + '\0').encode('utf-16-le'))
        return values

    def reg_write(self, key, values):
        root, _, rest = key.partition('\\')
        lines = ['Windows Registry Editor Version 5.00', '', '[%s\\%s]' % (ROOTS[root], rest)]
        for name, (kind, raw) in values.items():
            if kind == REG_DWORD:
                lines.append('"%s"=dword:%08x' % (name, struct.unpack('<I', raw)[0]))
            else:
                text = raw.decode('utf-16-le').rstrip('\0').replace('\\', '\\\\').replace('"', '\\"')
                lines.append('"%s"="%s"' % (name, text))
        with tempfile.NamedTemporaryFile('w', suffix='.reg', delete=False, encoding='utf-8') as f:
            f.write('\r\n'.join(lines) + '\r\n')
        run = self.wine('regedit', '/S', self.windows(f.name))
        os.unlink(f.name)
        # regedit once reported a failure in a full test run, for a reason
        # not found again: the values are read back before the step counts
        # as failed, and the message keeps what regedit said.
        if run.returncode and not values.items() <= (self.reg_values(key) or {}).items():
            raise DeviceError('regedit could not write %s (exit %d: %s)' % (
                key, run.returncode, (run.stdout + run.stderr).strip()[-300:]))

    def reg_delete(self, key):
        self.wine('reg', 'delete', key, '/f')

    # ---- the setup library -----------------------------------------------------
    def setup(self, path, export, *args):
        run = self.wine(os.path.join(self.bin, 'setupcall.exe'), 'C:' + path, export, *[str(a) for a in args])
        if run.returncode:
            raise DeviceError('setupcall %s: %s' % (export, run.stderr.strip()))
        return int(run.stdout.split()[-1])


def fresh(device, copy, language='en'):
    """A copy of a device as it was before the item came: no item key, no
    settings key, no item folder; on a German device, \\Programme."""
    if os.path.exists(copy):
        shutil.rmtree(copy)
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    subprocess.run(['cp', '-al', device, copy], check=True)
    for name in os.listdir(copy):
        if name.endswith('.reg') or name == 'wineserver':
            os.unlink(os.path.join(copy, name))
            if name.endswith('.reg'):
                shutil.copy2(os.path.join(device, name), os.path.join(copy, name))
    target = WineDevice(copy, None)
    shutil.rmtree(target.host(MACROS['en']['%CE1%'] + '\\Quartzel'), ignore_errors=True)
    # The device's files may be older than its running server's registry:
    # an emulator run's undo record, taken back since, can still be in them.
    for key in HAND_INSTALL + [EMULATOR_RECORDS]:
        target.reg_delete(key)
    if MACROS[language]['%CE1%'] != MACROS['en']['%CE1%']:
        os.makedirs(target.host(MACROS[language]['%CE1%']), exist_ok=True)
        target.reg_write(CURRENT_VERSION, {'ProgramFilesDir': (
            REG_SZ, ('C:' + MACROS[language]['%CE1%'] + '\0').encode('utf-16-le'))})
    return target


def stop(prefix):
    """Ends the Wine server of a copy, with the windows it kept on this
    run's display."""
    subprocess.run(['wineserver', '-k'], env=dict(os.environ, WINEPREFIX=prefix))


def language_of(device):
    """The installer's language of a device: German for a German locale."""
    env = os.path.join(device, 'quartzel-profile.env')
    locale = open(env).read() if os.path.exists(env) else ''
    return 'de' if 'LC_ALL=de_' in locale else 'en'


def main(argv):
    bin_dir = os.path.join(os.environ.get('QZL_BUILD', os.path.join(ROOT, 'build')), 'bin')
    try:
        if len(argv) in (3, 4) and argv[0] == 'fresh':
            fresh(argv[1], argv[2], *argv[3:])
        elif len(argv) == 4 and argv[0] == 'install':
            install(WineDevice(argv[1], bin_dir), argv[2], argv[3])
        elif len(argv) == 4 and argv[0] == 'installed':
            language = language_of(argv[1])
            copy = fresh(argv[1], argv[2], language)
            copy.bin = bin_dir
            install(copy, argv[3], language)
            stop(copy.prefix)
        elif len(argv) == 3 and argv[0] == 'remove':
            remove(WineDevice(argv[1], bin_dir), APP_NAME, argv[2])
        else:
            print('usage: winedevice.py fresh DEVICE COPY [LANGUAGE] | install COPY CABINET LANGUAGE | '
                  'remove COPY LANGUAGE | installed DEVICE COPY CABINET', file=sys.stderr)
            return 2
    except (Refused, DeviceError) as e:
        print('winedevice: %s' % e, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
