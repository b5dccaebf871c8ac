"""The install instructions of Quartzel.cab: what the cabinet holds, the
provisioning document (_setup.xml) that tells the device's installer where
it goes, and the reading of such a document back, refusing one that a
device's installer could not follow.

The document has three parts: the Install characteristic (the application's
name, its folder, the counts of what follows and the setup library), the
FileOperation characteristic (the folder made and each file extracted from
its cabinet member) and the Registry characteristic (the Today item key and
its values, each with its data type). Paths hold the install macros
(%CE1% is the program-files folder) and carry translation="install"."""
import re
import struct
import xml.etree.ElementTree as ET

APP_NAME = 'Marrowfen Quartzel'
INSTALL_DIR = '%CE1%\\Quartzel'
TODAY_ITEM_KEY = 'HKLM\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel'
# (file name on the device, what the build calls it)
FILES = [('quartzel.dll', 'item'), ('QZL.ttf', 'font')]
SETUP = 'setup'
# The Today item key's values: the item's DLL where it really lands, a
# custom item with an options dialog, shown, first, selectable.
VALUES = [('DLL', 'string', INSTALL_DIR + '\\quartzel.dll'), ('Type', 'integer', '4'),
          ('Enabled', 'integer', '1'), ('Options', 'integer', '1'), ('Order', 'integer', '0'),
          ('Selectability', 'integer', '2')]
# The macros of a device's installer; the folders' names follow the
# device's language.
MACROS = {
    'en': {'%CE1%': '\\Program Files', '%CE2%': '\\Windows', '%CE5%': '\\My Documents'},
    'de': {'%CE1%': '\\Programme', '%CE2%': '\\Windows', '%CE5%': '\\Eigene Dateien'},
}
REG_SZ, REG_DWORD = 1, 4
COUNTS = ('NumDirs', 'NumFiles', 'NumRegKeys', 'NumRegVals', 'NumShortcuts')


class Refused(Exception):
    """Instructions or a cabinet that the installer does not follow; the
    message is the one line it says."""


def member_name(name, index):
    """The cabinet member of a file: 8.3, its stem cut to six characters,
    numbered in the cabinet's order."""
    stem = re.sub(r'[^0-9a-z]', '', name.rsplit('.', 1)[0].lower())[:6]
    return '%s~1.%03d' % (stem, index)


def members():
    """(member, role) of the files and the setup library, in cabinet order."""
    return [(member_name(name, i + 1), role) for i, (name, role) in enumerate(FILES)] + \
        [(member_name('qzlsetup.dll', len(FILES) + 1), SETUP)]


def parm(parent, name, value, **extra):
    ET.SubElement(parent, 'parm', dict(name=name, value=value, **extra))


def characteristic(parent, kind, **extra):
    return ET.SubElement(parent, 'characteristic', dict(type=kind, **extra))


def document():
    """The _setup.xml text."""
    order = members()
    root = ET.Element('wap-provisioningdoc')
    install = characteristic(root, 'Install')
    parm(install, 'InstallPhase', 'install')
    parm(install, 'AppName', APP_NAME)
    parm(install, 'InstallDir', INSTALL_DIR, translation='install')
    for name, count in zip(COUNTS, (1, len(FILES), 1, len(VALUES), 0)):
        parm(install, name, str(count))
    parm(install, 'SetupDLL', order[-1][0])
    folder = characteristic(characteristic(root, 'FileOperation'), INSTALL_DIR, translation='install')
    characteristic(folder, 'MakeDir')
    for (name, _), (member, _) in zip(FILES, order):
        extract = characteristic(characteristic(folder, name, translation='install'), 'Extract')
        parm(extract, 'Source', member)
    key = characteristic(characteristic(root, 'Registry'), TODAY_ITEM_KEY)
    for name, kind, value in VALUES:
        extra = {'translation': 'install'} if '%' in value else {}
        parm(key, name, value, datatype=kind, **extra)
    ET.indent(root)
    return '<?xml version="1.0" encoding="utf-8"?>\n' + ET.tostring(root, encoding='unicode') + '\n'


class Instructions:
    """A _setup.xml read back: the application, its counts, its setup
    library's member, the folders made, the files extracted (device path
    with macros, member) and the registry values (key, name, data type,
    text, whether its macros are expanded)."""

    def __init__(self, text):
        try:
            root = ET.fromstring(text)
        except ET.ParseError as e:
            raise Refused('_setup.xml is not well-formed XML (%s)' % e)
        if root.tag != 'wap-provisioningdoc':
            raise Refused('_setup.xml is not a provisioning document (its root is <%s>)' % root.tag)
        self.counts, self.dirs, self.files, self.values, self.keys = {}, [], [], [], []
        self.app = self.install_dir = self.setup = None
        for part in root.findall('characteristic'):
            getattr(self, 'read_' + {'Install': 'install', 'FileOperation': 'files',
                                     'Registry': 'registry'}.get(part.get('type'), 'unknown'))(part)
        if not self.app:
            raise Refused('_setup.xml has no Install characteristic with an AppName')
        self.check_counts()

    def read_unknown(self, part):
        raise Refused('_setup.xml has a characteristic the installer does not know: %s' % part.get('type'))

    def read_install(self, part):
        parms = {p.get('name'): p.get('value') for p in part.findall('parm')}
        self.app, self.install_dir, self.setup = parms.get('AppName'), parms.get('InstallDir'), parms.get('SetupDLL')
        for name in COUNTS:
            if not re.fullmatch(r'[0-9]{1,5}', parms.get(name) or ''):
                raise Refused('Install count %s is not a number: %r' % (name, parms.get(name)))
            self.counts[name] = int(parms[name])

    def read_files(self, part):
        for folder in part.findall('characteristic'):
            path = translated(folder)
            for op in folder.findall('characteristic'):
                if op.get('type') == 'MakeDir':
                    self.dirs.append(path)
                    continue
                source = op.find("characteristic[@type='Extract']/parm[@name='Source']")
                if source is None or not source.get('value'):
                    raise Refused('file %s\\%s has no Extract source' % (path, op.get('type')))
                self.files.append((path + '\\' + translated(op), source.get('value')))

    def read_registry(self, part):
        for key in part.findall('characteristic'):
            self.keys.append(key.get('type'))
            for p in key.findall('parm'):
                value = (key.get('type'), p.get('name'), p.get('datatype'), p.get('value'))
                data(*value)
                self.values.append(value + (p.get('translation') == 'install',))

    def check_counts(self):
        found = {'NumDirs': len(self.dirs), 'NumFiles': len(self.files), 'NumRegKeys': len(self.keys),
                 'NumRegVals': len(self.values), 'NumShortcuts': 0}
        for name in COUNTS:
            if found[name] != self.counts[name]:
                raise Refused('Install says %s %d, the instructions hold %d' % (name, self.counts[name], found[name]))

    def needed_members(self):
        return [member for _, member in self.files] + ([self.setup] if self.setup else [])


def translated(element):
    path = element.get('type')
    if '%' in path and element.get('translation') != 'install':
        raise Refused('path %s holds a macro but no translation="install"' % path)
    return path


def data(key, name, kind, text):
    """(registry type, bytes) of a Registry parm; refuses a malformed one."""
    if kind == 'integer':
        if not re.fullmatch(r'-?[0-9]{1,10}', text or '') or not -2**31 <= int(text) < 2**31:
            raise Refused('registry value %s\\%s is not a signed 32-bit integer: %r' % (key, name, text))
        return REG_DWORD, struct.pack('<i', int(text))
    if kind == 'string' and text is not None:
        return REG_SZ, (text + '\0').encode('utf-16-le')
    raise Refused('registry value %s\\%s has no data type the installer writes (%r)' % (key, name, kind))


def expand(text, macros):
    """A path with the device's macros put in; refuses an unknown one."""
    def one(m):
        if m.group(0) not in macros:
            raise Refused('unknown install macro %s in %s' % (m.group(0), text))
        return macros[m.group(0)]
    return re.sub(r'%[^%\\]*%', one, text)
