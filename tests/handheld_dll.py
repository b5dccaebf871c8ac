#!/usr/bin/env python3
"""The facts of the handheld's quartzel.dll that its loader and the Today
screen depend on, read with the toolchain's objdump and from the file's own
bytes: format, machine, subsystem and versions, relocations, exports,
imports, resources and size.

    handheld_dll.py OBJDUMP DLL API_LIST
"""
import os
import re
import struct
import subprocess
import sys

OBJDUMP, DLL, API_LIST = sys.argv[1:4]
SYSTEM_LIBRARIES = {"coredll.dll": "coredll", "aygshell.dll": "aygshell", "commctrl.dll": "commctrl",
                    "commdlg.dll": "commdlg"}
RT_STRING, RT_DIALOG = 6, 5
SIZE_LIMIT = 128 * 1024


def objdump(*flags):
    return subprocess.run([OBJDUMP, *flags, DLL], capture_output=True, text=True, check=True).stdout


PRIVATE = objdump("-p")
FILE = open(DLL, "rb").read()


def field(name):
    """A value of the PE header as objdump prints it (hexadecimal)."""
    match = re.search(r"^%s\s+([0-9a-fA-F]+)" % name, PRIVATE, re.M)
    return int(match.group(1), 16) if match else None


def machine():
    pe = struct.unpack_from("<I", FILE, 0x3C)[0]
    return struct.unpack_from("<H", FILE, pe + 4)[0]


def file_format():
    return re.search(r"file format (\S+)", PRIVATE).group(1)


def relocation_bytes():
    match = re.search(r"^Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation Directory", PRIVATE, re.M)
    return int(match.group(1), 16) if match else 0


def export_ordinals():
    return [int(n) for n in re.findall(r"^\s+\[\s*\d+\] \+base\[\s*(\d+)\]", PRIVATE, re.M)]


def export_names():
    table = PRIVATE.split("[Ordinal/Name Pointer] Table", 1)[1].split("PE File Base Relocations", 1)[0]
    return re.findall(r"^\s+\[\s*\d+\]\s+(\S+)", table, re.M)


def imports():
    """{library: [names]} of the import tables."""
    found = {}
    for block in PRIVATE.split("DLL Name: ")[1:]:
        library = block.split("\n", 1)[0].strip()
        names = re.findall(r"^\t[0-9a-f]+\s+\d+\s+(\S+)", block.split("\n\n", 1)[0] + "\n", re.M)
        found.setdefault(library, []).extend(names)
    return found


def handheld_api():
    listed = set()
    for line in open(API_LIST):
        parts = line.split()
        if len(parts) == 2 and not line.startswith("#"):
            listed.add((parts[0].lower(), parts[1]))
    return listed


def foreign_libraries():
    return sorted(lib for lib in imports() if lib.lower() not in SYSTEM_LIBRARIES)


def unlisted_imports():
    listed = handheld_api()
    return sorted("%s!%s" % (lib, name) for lib, names in imports().items() for name in names
                  if (SYSTEM_LIBRARIES.get(lib.lower(), lib), name) not in listed)


def resource_section():
    """The .rsrc section's bytes and its address."""
    line = re.search(r"^\s+\d+ \.rsrc\s+[0-9a-f]+\s+([0-9a-f]+)", objdump("-h"), re.M)
    base = int(line.group(1), 16) - field("ImageBase")
    data = bytearray()
    for row in objdump("-s", "-j", ".rsrc").splitlines():
        match = re.match(r"^ ([0-9a-f]{4,}) ((?:[0-9a-f]{2,8} ?){1,4})", row)
        if match:
            data += bytes.fromhex(match.group(2).replace(" ", ""))
    return bytes(data), base


def resources():
    """[(type, name, bytes)] of every resource."""
    data, base = resource_section()

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, offset + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, offset + 16 + 8 * i)
            yield ident, target

    found = []
    for kind, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            for _, leaf in entries(languages & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, leaf)
                found.append((kind, name, data[rva - base:rva - base + size]))
    return found


def string_entries():
    """(id, UTF-16 bytes) of every string-table entry that is not empty."""
    for kind, block, body in resources():
        if kind != RT_STRING:
            continue
        at = 0
        for slot in range(16):
            length = struct.unpack_from("<H", body, at)[0]
            if length:
                yield (block - 1) * 16 + slot, body[at + 2:at + 2 + 2 * length]
            at += 2 + 2 * length


def resource_type_names():
    """The names of the resource types that have one (not a number)."""
    data, _ = resource_section()
    names = []
    for kind, _, _ in resources():
        if kind & 0x80000000:
            at = kind & 0x7FFFFFFF
            length = struct.unpack_from("<H", data, at)[0]
            names.append(data[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
    return sorted(set(names))


FACTS = [
    # (what, how it is read, what the handheld needs)
    ("format", file_format, "pei-arm-wince-little"),
    ("machine", machine, 0x01C0),
    ("subsystem (Windows CE GUI)", lambda: field("Subsystem"), 9),
    ("subsystem version", lambda: (field("MajorSubsystemVersion"), field("MinorSubsystemVersion")), (5, 2)),
    ("OS version", lambda: (field("MajorOSystemVersion"), field("MinorOSystemVersion")), (5, 2)),
    ("base relocations kept", lambda: relocation_bytes() > 0, True),
    ("export ordinals", export_ordinals, [240, 241]),
    ("export names", export_names, []),
    ("libraries other than the system's", foreign_libraries, []),
    ("imports absent from the handheld's list", unlisted_imports, []),
    ("string ids", lambda: [ident for ident, _ in string_entries()], list(range(1, 31))),
    ("the first string", lambda: next(string_entries())[1].decode("utf-16-le"), "Run...\0"),
    ("strings without a terminator", lambda: [i for i, text in string_entries() if text[-2:] != b"\0\0"], []),
    ("dialogs", lambda: sum(1 for kind, _, _ in resources() if kind == RT_DIALOG), 9),
    ("named resource types (the high-resolution marker)", resource_type_names, ["CEUX"]),
    ("size within %d bytes" % SIZE_LIMIT, lambda: os.path.getsize(DLL) <= SIZE_LIMIT, True),
]

failures = 0
for what, read, expected in FACTS:
    seen = read()
    ok = seen == expected
    failures += not ok
    print("%s %s: %r%s" % ("ok  " if ok else "FAIL", what, seen, "" if ok else " (expected %r)" % (expected,)))
print("%s: %d bytes, %d imports from %s" % (os.path.basename(DLL), os.path.getsize(DLL),
      sum(len(names) for names in imports().values()), ", ".join(sorted(imports()))))
sys.exit(1 if failures else 0)
