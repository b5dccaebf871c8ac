#!/usr/bin/python3
"""Quartzel-desktop.cab (Quartzel.cab's instructions over the desktop
builds) installed by the installer model on emulated devices, an English
and a German one, each a fresh copy of the device without the item:

- before the install the Today emulator finds no item; after it, the
  emulator finds the item through the Today item key alone and draws the
  picture the README shows;
- with the emulator running, a setting changed and a newer DLL installed
  over it: the emulator lets go of the item at the setup library's
  broadcast and loads the newer DLL, and the setting survives;
- the removal: the emulator lets go again, and no file and no key of the
  item is left, while another item's key is untouched.

  tools/with-display.sh install_devices.py BUILD_DIR CABINET

(one display for the whole run: the devices' windows live on it)."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(here)
sys.path.insert(0, os.path.join(ROOT, 'install'))
sys.path.insert(0, os.path.join(here, 'handheld'))
from installer import install, remove  # noqa: E402
from instructions import APP_NAME, REG_DWORD, REG_SZ  # noqa: E402
from setup_life import newer_cabinet, report  # noqa: E402
from winedevice import fresh, stop  # noqa: E402

TIME = '2024-03-15T09:41:00'    # the README's pictures' clock
DEVICES = [('qvga96', 'en', 'today-qvga96.png', 'C:\\Program Files\\Quartzel\\quartzel.dll'),
           ('qvga96-de', 'de', 'today-qvga96-de.png', 'C:\\Programme\\Quartzel\\quartzel.dll')]
TODAY_KEY = 'HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel'
SETTINGS = 'HKCU\\SOFTWARE\\Marrowfen\\Quartzel'
OTHER_ITEM = 'HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Another Item'
OTHER_VALUES = {'DLL': (REG_SZ, '\\Windows\\another.dll\0'.encode('utf-16-le')), 'Enabled': (REG_DWORD, b'\1\0\0\0'),
                'Order': (REG_DWORD, b'\3\0\0\0')}
SHOW_SECONDS_OFF = {'ShowSeconds': (REG_DWORD, b'\0\0\0\0')}
LET_GO = "todayemu: Today items read again: let go of the item's DLL"
DISABLED = 'todayemu: no Today item: HKLM\\%s has "Enabled" 0' % TODAY_KEY[5:]
MISSING = 'todayemu: no Today item: the registry key HKLM\\%s is missing' % TODAY_KEY[5:]


class Screen:
    """The Today emulator running on a device, its messages kept."""

    def __init__(self, device, build, folder):
        self.device, self.build = device, build
        self.log = open(os.path.join(folder, 'todayemu.txt'), 'w+')
        self.run = subprocess.Popen([os.path.join(ROOT, 'tools', 'wine-run.sh'),
                                     os.path.join(build, 'bin', 'todayemu.exe'), '--time', TIME],
                                    env=dict(os.environ, QZL_PREFIX=device.prefix), stdout=self.log, stderr=self.log)
        self.tell('--wait-today', '60')

    def tell(self, *args):
        run = self.device.wine(os.path.join(self.build, 'bin', 'setupcall.exe'), *args)
        if run.returncode:
            self.log.seek(0)
            raise AssertionError('setupcall %s: %s; the emulator said: %s' % (
                ' '.join(args), (run.stdout + run.stderr).strip(), self.log.read().strip()))

    def close(self):
        """Closes the screen; its messages, one a line."""
        self.tell('--close-today')
        self.run.wait(timeout=60)
        self.log.seek(0)
        return [line.strip() for line in self.log.read().splitlines() if line.strip()]


def picture(device, build, folder):
    shot = os.path.join(folder, 'today.png')
    run = device.wine(os.path.join(build, 'bin', 'todayemu.exe'), '--time', TIME, '--screenshot', device.windows(shot))
    return run, open(shot, 'rb').read() if os.path.exists(shot) else None


def leftovers(device, paths):
    """The item's files and keys still on the device."""
    left = [p for p in paths if device.exists(p)]
    return left + [k for k in (TODAY_KEY, SETTINGS) if device.reg_values(k) is not None]


def life(build, cabinet, profile, language, shot, dll, failures):
    def expect(what, got, want):
        if got != want:
            failures.append('%s, %s: %r, not %r' % (profile, what, got, want))
    copy = os.path.join(build, 'installed', 'test-' + profile)
    device = fresh(os.path.join(build, 'devices', profile), copy, language)
    device.bin = os.path.join(build, 'bin')
    folder = tempfile.mkdtemp(prefix='qzldev-')
    try:
        device.reg_write(OTHER_ITEM, OTHER_VALUES)
        run, _ = picture(device, build, folder)
        expect('the emulator before the install', (run.returncode, (run.stdout + run.stderr).strip()), (2, MISSING))
        plan = install(device, cabinet, language)
        run, png = picture(device, build, folder)
        expect('the picture after the install is the README\'s', png == open(
            os.path.join(ROOT, 'docs', 'screenshots', shot), 'rb').read(), True)
        newer, dll_data = newer_cabinet(cabinet, folder)
        stamp = struct.unpack_from('<I', dll_data, struct.unpack_from('<I', dll_data, 0x3C)[0] + 8)[0]
        screen = Screen(device, build, folder)
        device.reg_write(SETTINGS, SHOW_SECONDS_OFF)
        install(device, newer, language)
        expect('the setting after the upgrade', device.reg_values(SETTINGS), SHOW_SECONDS_OFF)
        remove(device, APP_NAME, language)
        expect("the emulator's messages", screen.close(), [
            LET_GO, DISABLED, "todayemu: Today items read again: loaded '%s', linked at 0x%08x" % (dll, stamp),
            LET_GO, DISABLED, MISSING])
        paths = [path for path, _ in plan.files] + [plan.install_dir, '%s\\%s.dll' % (plan.appmgr, plan.app),
                                                     '%s\\%s.log' % (plan.appmgr, plan.app)]
        left = leftovers(device, paths)
        print('%s: after the removal, left of the item: %s' % (profile, left or 'nothing'))
        expect('left after the removal', left, [])
        expect("another item's key", device.reg_values(OTHER_ITEM), OTHER_VALUES)
    finally:
        shutil.rmtree(folder)
        stop(os.path.abspath(copy))
        shutil.rmtree(copy, ignore_errors=True)


def main(argv):
    build, cabinet = argv
    failures = []
    for profile, language, shot, dll in DEVICES:
        try:
            life(build, cabinet, profile, language, shot, dll, failures)
        except Exception as e:    # a step that could not run fails this device, not the others
            failures.append('%s: %s: %s' % (profile, type(e).__name__, e))
    return report(failures)


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
