#!/usr/bin/python3
"""Builds Quartzel.cab: the install instructions (_setup.xml) first, then
the item's DLL, QZL.ttf and the setup library under their 8.3 member
names, uncompressed, in one cabinet folder, with Debian's gcab.

  makecab.py OUT.cab ITEM_DLL QZL_TTF SETUP_DLL [--instructions SETUP_XML]

--instructions packs a _setup.xml of its own instead of the generated one.
A cabinet whose instructions and members disagree is not built: one line
says why, and the exit code is 2."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from instructions import SETUP, FILES, Instructions, Refused, document, members  # noqa: E402


def check(text, names):
    """Refuses instructions that name a member the cabinet lacks, or a
    member that no instruction names."""
    wanted = Instructions(text).needed_members()
    for member in wanted:
        if member not in names:
            raise Refused('the instructions extract %s, which is not in the cabinet' % member)
    for member in names:
        if member not in wanted:
            raise Refused('member %s is named by no instruction' % member)


def build(out, sources, text):
    """Stages the members and packs them; the cabinet appears whole or not at all."""
    roles = dict((role, path) for role, path in zip([r for _, r in FILES] + [SETUP], sources))
    order = members()
    check(text, [member for member, _ in order])
    stage = tempfile.mkdtemp(prefix='qzlcab-')
    try:
        with open(os.path.join(stage, '_setup.xml'), 'w', encoding='utf-8') as f:
            f.write(text)
        for member, role in order:
            shutil.copyfile(roles[role], os.path.join(stage, member))
        partial = out + '.part'
        subprocess.run(['gcab', '--create', '--nopath', partial, os.path.join(stage, '_setup.xml')] +
                       [os.path.join(stage, member) for member, _ in order], check=True)
        os.replace(partial, out)
    finally:
        shutil.rmtree(stage)


def main(argv):
    text = document()
    if len(argv) == 6 and argv[4] == '--instructions':
        text = open(argv[5], encoding='utf-8').read()
        argv = argv[:4]
    if len(argv) != 4:
        print('usage: makecab.py OUT.cab ITEM_DLL QZL_TTF SETUP_DLL [--instructions SETUP_XML]', file=sys.stderr)
        return 2
    try:
        build(argv[0], argv[1:], text)
    except Refused as e:
        print('makecab: %s' % e, file=sys.stderr)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
