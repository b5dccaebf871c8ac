"""The device's installer, as a model of our own: it follows a cabinet's
install instructions on a device as the handheld's installer does. It
expands the macros for the device's language, extracts the files, writes
the registry and calls the setup library's four exports around that; it
keeps a log of what it made, from which a removal takes it all away again.

Everything a cabinet can be refused for is found before the device is
touched; a step that fails on the device takes back what the install had
done, so that a device never holds half an install. The device is an
object with the operations below (MemoryDevice is one in memory)."""
import os
import subprocess
import tempfile
from instructions import MACROS, Instructions, Refused, data, expand

APPMGR = '%CE2%\\AppMgr'    # where the installer keeps a setup library and its log


class DeviceError(Exception):
    """A step the device did not do (a file in use, no room)."""


class Cabinet:
    """A cabinet's members by lower-case name, read with cabextract."""

    def __init__(self, path):
        with tempfile.TemporaryDirectory(prefix='qzlcab-') as out:
            run = subprocess.run(['cabextract', '-q', '-d', out, path], capture_output=True, text=True)
            if run.returncode:
                raise Refused('%s is not a cabinet that can be read (cabextract: %s)' % (
                    path, (run.stderr.strip().splitlines() or ['exit %d' % run.returncode])[-1]))
            self.members = {}
            for name in os.listdir(out):
                with open(os.path.join(out, name), 'rb') as f:
                    self.members[name.lower()] = f.read()
        if '_setup.xml' not in self.members:
            raise Refused('%s holds no _setup.xml' % path)
        try:
            self.text = self.members['_setup.xml'].decode('utf-8')
        except UnicodeDecodeError:
            raise Refused('the _setup.xml of %s is not UTF-8 text' % path)


class Plan:
    """What an install does on one device: the instructions with the
    device's macros put in, and the cabinet's data for each file."""

    def __init__(self, cabinet, macros):
        ins = Instructions(cabinet.text)
        for member in ins.needed_members():
            if member.lower() not in cabinet.members:
                raise Refused('the instructions extract %s, which is not in the cabinet' % member)
        self.app = ins.app
        self.install_dir = expand(ins.install_dir or '', macros)
        self.dirs = [expand(d, macros) for d in ins.dirs]
        self.files = [(expand(path, macros), cabinet.members[member.lower()]) for path, member in ins.files]
        self.keys = {}
        for key, name, kind, text, translate in ins.values:
            self.keys.setdefault(key, {})[name] = data(key, name, kind, expand(text, macros) if translate else text)
        self.setup = cabinet.members[ins.setup.lower()] if ins.setup else None
        self.appmgr = expand(APPMGR, macros)
        for path in self.dirs + [path for path, _ in self.files]:
            if '..' in path.split('\\') or not path.startswith('\\'):
                raise Refused('path %s is not a folder or file from the device\'s root' % path)


def log_path(appmgr, app):
    return '%s\\%s.log' % (appmgr, app)


def setup_path(appmgr, app):
    return '%s\\%s.dll' % (appmgr, app)


class Changes:
    """What an install has done so far, each with what it replaced, so
    that a failed install can be taken back. The keys it writes are
    remembered as they were before the setup library first ran."""

    def __init__(self, device):
        self.device, self.done, self.keys = device, [], {}

    def remember(self, keys):
        self.keys = {key: self.device.reg_values(key) for key in keys}

    def make_dir(self, path):
        if not self.device.exists(path):
            self.device.make_dir(path)
            self.done.append(('dir', path, None))

    def write(self, path, content):
        before = self.device.read(path)
        self.device.write(path, content)
        self.done.append(('file', path, before))

    def set_key(self, key, values):
        self.done.append(('key', key, None))
        self.device.reg_write(key, values)

    def undo(self):
        for kind, path, before in reversed(self.done):
            if kind == 'dir':
                self.device.remove_dir(path)
            elif kind == 'file' and before is None:
                self.device.remove(path)
            elif kind == 'file':
                self.device.write(path, before)
        for key, before in self.keys.items():
            self.device.reg_delete(key)
            if before is not None:
                self.device.reg_write(key, before)
        self.done, self.keys = [], {}


def read_log(device, path):
    """The log's lines as (kind, path), in the order they were made."""
    text = device.read(path)
    return [tuple(line.split(' ', 1)) for line in text.decode('utf-8').splitlines()] if text else []


def install(device, cabinet_path, language):
    """Installs the cabinet on the device; Refused says in one line why not."""
    plan = Plan(Cabinet(cabinet_path), MACROS[language])
    log, dll = log_path(plan.appmgr, plan.app), setup_path(plan.appmgr, plan.app)
    old = read_log(device, log)
    kept, work = Changes(device), Changes(device)
    try:
        kept.make_dir(plan.appmgr)
        if plan.setup:
            kept.write(dll, plan.setup)
        work.remember(plan.keys)
        if plan.setup and device.setup(dll, 'Install_Init', 1, int(bool(old)), plan.install_dir):
            raise Refused('the setup library cancelled the install')
        failed = apply(work, plan)
        if failed:
            work.undo()
        if plan.setup and device.setup(dll, 'Install_Exit', plan.install_dir, *(failed or (0, 0, 0, 0))) or failed:
            raise Refused(failed.reason if failed else 'the setup library asked for the install to be taken back')
        made = [('installdir', plan.install_dir)] + [(kind, path) for kind, path, _ in kept.done + work.done]
        work.write(log, '\n'.join('%s %s' % line for line in merged(old, made)).encode('utf-8'))
    except (Refused, DeviceError) as e:
        work.undo()
        kept.undo()
        raise Refused('%s: %s; the device is as it was' % (plan.app, e))
    return plan


class Failed(tuple):
    """The installer's counts of what failed (folders, files, keys,
    values), and what the device said."""

    def __new__(cls, counts, reason):
        self = super().__new__(cls, counts)
        self.reason = reason
        return self


def apply(work, plan):
    """Makes the folders, extracts the files, writes the keys; on the first
    step the device refuses, the counts of what failed (else empty)."""
    steps = [(0, work.make_dir, (path,)) for path in plan.dirs] + \
        [(1, work.write, item) for item in plan.files] + \
        [(3, work.set_key, item) for item in plan.keys.items()]
    for which, step, args in steps:
        try:
            step(*args)
        except DeviceError as e:
            return Failed([int(i == which) for i in range(4)], str(e))
    return ()


def merged(old, made):
    """The log of an install over an older one: what either made, once."""
    out = []
    for line in old + made:
        if line[0] != 'installdir' and line not in out:
            out.append(line)
    return [line for line in made if line[0] == 'installdir'] + out


def remove(device, app, language):
    """Removes an installed application by the log its install kept, as
    Settings > Remove Programs does."""
    appmgr = expand(APPMGR, MACROS[language])
    log, dll = log_path(appmgr, app), setup_path(appmgr, app)
    lines = read_log(device, log)
    if not lines:
        raise Refused('%s is not installed: there is no %s' % (app, log))
    install_dir = dict(lines).get('installdir', '')
    has_setup = ('file', dll) in lines
    if has_setup and device.setup(dll, 'Uninstall_Init', install_dir):
        raise Refused('the setup library refused the removal of %s' % app)
    for kind, path in reversed(lines):
        if kind == 'file' and path not in (dll, log):
            device.remove(path)
        elif kind == 'key':
            device.reg_delete(path)
    if has_setup:
        device.setup(dll, 'Uninstall_Exit')
    for kind, path in reversed(lines):
        if kind == 'file' and path in (dll, log):
            device.remove(path)
    device.remove(log)
    for kind, path in reversed(lines):
        if kind == 'dir':
            device.remove_dir(path)


def folded(path):
    return path.lower().rstrip('\\')


class MemoryDevice:
    """A device in memory: files, folders and a registry (keys as
    "HKLM\\lower\\case\\path" -> {name: (type, bytes)}), and a Today screen
    that holds the DLL of every enabled item from the Today item list
    until it is told to read the list again. A file named in `failing`
    cannot be written (the device's storage is full)."""

    TODAY_ITEMS = 'HKLM\\software\\microsoft\\today\\items\\'

    def __init__(self):
        self.files, self.dirs, self.registry = {}, {'\\windows'}, {}
        self.held, self.failing = set(), None

    def snapshot(self):
        return dict(self.files), set(self.dirs), {k: dict(v) for k, v in self.registry.items()}

    # ---- files -------------------------------------------------------------
    def exists(self, path):
        return folded(path) in self.files or folded(path) in self.dirs

    def read(self, path):
        return self.files.get(folded(path))

    def write(self, path, content):
        parent = folded(path).rsplit('\\', 1)[0]
        if parent and parent not in self.dirs:
            raise DeviceError('no folder %s' % parent)
        if folded(path) in self.held:
            raise DeviceError('%s is in use by the Today screen' % path)
        if folded(path) == self.failing:
            raise DeviceError('no room for %s' % path)
        self.files[folded(path)] = content

    def remove(self, path):
        if folded(path) in self.held:
            raise DeviceError('%s is in use by the Today screen' % path)
        self.files.pop(folded(path), None)

    def make_dir(self, path):
        self.dirs.add(folded(path))

    def remove_dir(self, path):
        inside = [p for p in list(self.files) + list(self.dirs) if p.startswith(folded(path) + '\\')]
        if not inside:
            self.dirs.discard(folded(path))

    # ---- registry ------------------------------------------------------------
    @staticmethod
    def key(key):
        root, _, rest = key.partition('\\')
        return root.upper() + '\\' + rest.lower()

    def reg_values(self, key):
        values = self.registry.get(self.key(key))
        return None if values is None else dict(values)

    def reg_write(self, key, values):
        self.registry.setdefault(self.key(key), {}).update(values)

    def reg_delete(self, key):
        for k in [k for k in self.registry if k == self.key(key) or k.startswith(self.key(key) + '\\')]:
            del self.registry[k]

    # ---- the Today screen ----------------------------------------------------
    def today_reads_items(self):
        """The Today screen reads its item list again: it lets go of every
        item and loads the enabled ones."""
        self.held = set()
        for key, values in self.registry.items():
            enabled = values.get('Enabled', (4, b'\0\0\0\0'))[1]
            if key.startswith(self.TODAY_ITEMS) and enabled != b'\0\0\0\0' and 'DLL' in values:
                self.held.add(folded(values['DLL'][1].decode('utf-16-le').rstrip('\0')))

    def setup(self, path, export, *args):
        raise DeviceError('this device runs no setup library')
