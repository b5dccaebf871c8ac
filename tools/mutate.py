#!/usr/bin/env python3
"""Puts single small faults into src/ one at a time and asks the suite
whether it notices.

    tools/mutate.py [--count N] [--seed S] [--files GLOB...] [--tests REGEX|auto]
                    [--list] [--only ID...] [--log FILE]

With --tests auto, each fault runs only the tests that exercise the part
of src/ it is in (SUBSETS below), which keeps a fault near a minute.

Each fault is one of: a comparison flipped or moved by one (== != < <= > >=),
an integer constant moved by one, TRUE for FALSE and back. For each, the
file is changed, the build is brought up to date (-j2), ctest runs until the
first failure, and the file is put back. A fault that does not build counts
as neither caught nor missed. The log has one line per fault: its id, the
verdict (caught by which test, missed, or no build) and the change.

The per-device Wine servers are started for the run and stopped after it,
as tools/test.sh does.
"""
import argparse
import glob
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("QZL_BUILD", os.path.join(ROOT, "build"))

COMPARISONS = {"==": ["!="], "!=": ["=="], "<": ["<="], "<=": ["<"], ">": [">="], ">=": [">"]}
COMPARISON = re.compile(r"(?<![<>=!&|+\-*/%^-])(==|!=|<=|>=|<|>)(?![<>=])")
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
BOOLEAN = re.compile(r"\b(TRUE|FALSE)\b")


# The tests that exercise each part of src/, first match wins.
SUBSETS = [
    ("src/face/", "face_|tap_menu|test_fuzz_locale|test_host_faults|test_soak"),
    ("src/options/", "options_|test_soak|test_exports"),
    ("src/platform/gesture", "tap_menu"),
    ("src/platform/msgqueue", "watcher|test_itemwindow"),
    ("src/platform/powermanager", "watcher|test_itemwindow"),
    ("src/platform/postmessage", "watcher|test_itemwindow|options_sheet"),
    ("src/platform/registry", "test_settings|test_fuzz_settings|status_|test_itemwindow|face_units"),
    ("src/platform/uimetrics", "face_units|test_itemwindow"),
    ("src/platform/", "options_|tap_menu|test_exports"),
    ("src/plugin/", "test_itemwindow|watcher|tap_menu|test_exports|test_host_faults|face_paint|test_soak"),
    ("src/settings/", "test_settings|test_fuzz_settings|options_sheet|face_paint"),
    ("src/status/", "status_|test_itemwindow|tap_menu"),
]


def subset_for(rel):
    for prefix, regex in SUBSETS:
        if rel.startswith(prefix):
            return regex
    return ""


def code_part(line):
    """The line without its comment and string literals (blanked, same length)."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            out.append(" ")
            if c == "\\":
                out.append(" ")
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[: len(line)]


def skippable(line):
    s = line.strip()
    return (not s or s.startswith("#") or s.startswith("//") or s.startswith("*")
            or "template" in s or "static_assert" in s)


def candidates(path):
    rel = os.path.relpath(path, ROOT)
    with open(path) as f:
        lines = f.read().split("\n")
    found = []
    for n, line in enumerate(lines):
        if skippable(line):
            continue
        code = code_part(line)
        for m in COMPARISON.finditer(code):
            op = m.group(1)
            for new in COMPARISONS[op]:
                found.append((rel, n, m.start(), op, new))
        for m in NUMBER.finditer(code):
            value = int(m.group(1))
            if value > 100000:
                continue
            found.append((rel, n, m.start(), m.group(1), str(value + 1)))
            if value > 0:
                found.append((rel, n, m.start(), m.group(1), str(value - 1)))
        for m in BOOLEAN.finditer(code):
            found.append((rel, n, m.start(), m.group(1), "FALSE" if m.group(1) == "TRUE" else "TRUE"))
    return found


def apply(fault):
    rel, n, col, old, new = fault
    path = os.path.join(ROOT, rel)
    with open(path) as f:
        text = f.read()
    lines = text.split("\n")
    line = lines[n]
    assert line[col: col + len(old)] == old, (fault, line)
    lines[n] = line[:col] + new + line[col + len(old):]
    with open(path, "w") as f:
        f.write("\n".join(lines))
    return path, text


def servers(action):
    for device in glob.glob(os.path.join(BUILD, "devices", "*", "")):
        env = dict(os.environ, WINEPREFIX=os.path.realpath(device))
        subprocess.run(["wineserver", action], env=env, stderr=subprocess.DEVNULL)


def build():
    return subprocess.run(["cmake", "--build", BUILD, "-j2"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def run_tests(regex):
    cmd = [os.path.join(ROOT, "tools", "with-display.sh"), "ctest", "--stop-on-failure", "--timeout", "120"]
    if regex:
        cmd += ["-R", regex]
    p = subprocess.run(cmd, cwd=BUILD, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    failed = re.findall(r"\d+ - (\S+) \(", p.stdout)
    if p.returncode == 0:
        return None
    return failed[0] if failed else "ctest rc=%d" % p.returncode


def describe(fault):
    rel, n, col, old, new = fault
    return "%s:%d: %s -> %s" % (rel, n + 1, old, new)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--count", type=int, default=50)
    ap.add_argument("--seed", type=int, default=10)
    ap.add_argument("--files", nargs="*", default=["src/**/*.cpp"])
    ap.add_argument("--tests", default="")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--only", nargs="*", type=int)
    ap.add_argument("--log", default=os.path.join(BUILD, "mutants.log"))
    args = ap.parse_args()

    paths = sorted({p for g in args.files for p in glob.glob(os.path.join(ROOT, g), recursive=True)})
    faults = [f for p in paths for f in candidates(p)]
    sample = random.Random(args.seed).sample(faults, min(args.count, len(faults)))
    chosen = [(i, f) for i, f in enumerate(sample) if not args.only or i in args.only]
    if args.list:
        for i, f in chosen:
            print("%3d %s" % (i, describe(f)))
        return 0

    # The devices are brought up to date before their servers start: a
    # device being prepared stops its server.
    build()
    servers("-p")
    caught = missed = broken = 0
    try:
        with open(args.log, "a") as log:
            for i, fault in chosen:
                start = time.time()
                path, original = apply(fault)
                try:
                    if not build():
                        verdict = "no build"
                        broken += 1
                    else:
                        regex = subset_for(fault[0]) if args.tests == "auto" else args.tests
                        failed = run_tests(regex)
                        if failed:
                            verdict = "caught by " + failed
                            caught += 1
                        else:
                            verdict = "MISSED"
                            missed += 1
                finally:
                    with open(path, "w") as f:
                        f.write(original)
                line = "%3d %-24s %s (%ds)" % (i, verdict, describe(fault), time.time() - start)
                print(line, flush=True)
                log.write(line + "\n")
                log.flush()
    finally:
        build()
        servers("-k")
    total = caught + missed
    print("caught %d of %d (%.0f%%), %d did not build" % (caught, total, 100.0 * caught / max(total, 1), broken))
    return 0


if __name__ == "__main__":
    sys.exit(main())
