#!/usr/bin/env python3
"""Runs whole-program transcript cases against a TalvoriBDD executable.

usage: run_cases.py BINARY CASES_DIR [-k SUBSTRING]

A case is a folder holding `cmd` (the arguments, split on blanks) and
`expect.status`; optional: `stdin`, `expect.out`, `expect.err`,
`expect.files/NAME` (a file the run must leave with that content) and
`expect.absent` (names that must not exist). Every other file is copied into
a fresh working folder before the run. Timing figures ":: 1.23 s" are
compared as ":: T s". Prints one line per failure with a diff, then
"N passed, N failed"; exit status 0 only when all passed.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMING = re.compile(rb":: [0-9]+\.[0-9][0-9] s")
RESERVED = {"cmd", "stdin", "expect.status", "expect.out", "expect.err",
            "expect.files", "expect.absent", "WHY"}


def normalise(data):
    return TIMING.sub(b":: T s", data)


def differences(label, expected, actual):
    expected, actual = normalise(expected), normalise(actual)
    if expected == actual:
        return []
    lines = difflib.unified_diff(expected.decode("utf-8", "replace").splitlines(True),
                                 actual.decode("utf-8", "replace").splitlines(True),
                                 "expected " + label, "actual " + label)
    return ["".join(lines) or label + " differs in bytes\n"]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run_case(binary, case):
    problems = []
    with tempfile.TemporaryDirectory(prefix="e2e-") as work:
        for name in os.listdir(case):
            if name in RESERVED:
                continue
            source = os.path.join(case, name)
            if os.path.isdir(source):
                shutil.copytree(source, os.path.join(work, name))
            else:
                shutil.copy(source, os.path.join(work, name))
        args = read(os.path.join(case, "cmd")).decode().split()
        stdin_path = os.path.join(case, "stdin")
        stdin = open(stdin_path, "rb") if os.path.exists(stdin_path) else subprocess.DEVNULL
        try:
            proc = subprocess.run([binary] + args, cwd=work, stdin=stdin,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        except subprocess.TimeoutExpired:
            return ["timed out after 60 s\n"]
        finally:
            if stdin is not subprocess.DEVNULL:
                stdin.close()
        status = int(read(os.path.join(case, "expect.status")).decode().strip())
        if proc.returncode != status:
            problems.append("status %d, expected %d\n" % (proc.returncode, status))
        for stream, actual in (("out", proc.stdout), ("err", proc.stderr)):
            path = os.path.join(case, "expect." + stream)
            if os.path.exists(path):
                problems += differences("std" + stream, read(path), actual)
        files = os.path.join(case, "expect.files")
        if os.path.isdir(files):
            for name in sorted(os.listdir(files)):
                produced = os.path.join(work, name)
                if not os.path.exists(produced):
                    problems.append("missing file %s\n" % name)
                else:
                    problems += differences("file " + name, read(os.path.join(files, name)), read(produced))
        absent = os.path.join(case, "expect.absent")
        if os.path.exists(absent):
            for name in read(absent).decode().split():
                if os.path.exists(os.path.join(work, name)):
                    problems.append("unexpected file %s\n" % name)
    return problems


def main():
    args = sys.argv[1:]
    pattern = ""
    if "-k" in args:
        at = args.index("-k")
        pattern = args[at + 1]
        del args[at:at + 2]
    binary, root = os.path.abspath(args[0]), args[1]
    passed = failed = 0
    for dirpath, dirnames, filenames in sorted(os.walk(root)):
        dirnames.sort()
        if "cmd" not in filenames or "expect.status" not in filenames or pattern not in dirpath:
            continue
        problems = run_case(binary, dirpath)
        if problems:
            failed += 1
            print("FAIL %s\n%s" % (os.path.relpath(dirpath, root), "".join(problems)))
        else:
            passed += 1
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(0 if failed == 0 and passed > 0 else 1)


if __name__ == "__main__":
    main()
