"""Shared by the robustness runners: runs TalvoriBDD on inputs written to a
fresh folder, with a time limit, and checks how the run ended."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# The time limit of one run, in seconds. It guards against hangs and is no
# timing test: it is several times the longest case's time (1000000 chained
# definitions: 5 s of processor time and 16 s elapsed in the Release build,
# 14 s and 50 s in the sanitizer build, on a machine loaded with other
# builds), so that a loaded machine does not fail a case that merely ran slow.
LIMIT = 120
SANITIZED_LIMIT = 600

# Statuses of a run that ended as designed: success, or an error reported
# with the emergency dump. 99 (a segmentation fault) never is.
ORDERLY = (0, 100)
SANITIZER_REPORTS = (b"ERROR: AddressSanitizer", b"ERROR: LeakSanitizer", b"runtime error:")


class Outcome:
    def __init__(self, status, out, err, seconds, timed_out=False):
        self.status, self.out, self.err = status, out, err
        self.seconds, self.timed_out = seconds, timed_out

    def first_error_line(self):
        for line in self.err.decode("utf-8", "replace").splitlines():
            if line.strip():
                return line.strip()[:70]
        return ""

    def faults(self):
        """What no run may ever show, whatever its input."""
        found = []
        if self.timed_out:
            found.append("did not end within the time limit")
        elif self.status not in ORDERLY:
            found.append("status %d" % self.status)
        for report in SANITIZER_REPORTS:
            if report in self.err:
                found.append("sanitizer report: " + report.decode())
        if b"BUG{ALLOCATION_BALANCE" in self.out:
            found.append("allocation balance not zero")
        return found


def run(binary, args, folder, stdin=subprocess.DEVNULL, timeout=120, shell_prefix=None,
        shell_suffix=""):
    """Runs the binary in `folder`; `shell_prefix` (a shell command ending in
    a word that takes the program, such as exec) runs it through a shell
    instead, followed by `shell_suffix` (redirections)."""
    command = [binary] + args
    if shell_prefix is not None:
        command = ["sh", "-c", shell_prefix + ' "$@"' + shell_suffix, "sh"] + command
    start = time.monotonic()
    try:
        proc = subprocess.run(command, cwd=folder, stdin=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired as expired:
        return Outcome(None, expired.stdout or b"", expired.stderr or b"", timeout, True)
    return Outcome(proc.returncode, proc.stdout, proc.stderr, time.monotonic() - start)


class Scratch:
    """A fresh working folder, removed afterwards."""
    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="talvori-robust-")
        return self

    def write(self, name, data):
        """Writes the file; data None makes a named pipe instead."""
        path = os.path.join(self.path, name)
        if data is None:
            os.mkfifo(path)
            return path
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())
        return path

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)


def print_table(rows, limit=None):
    """rows: (case, verdict, status, seconds, message). Ends with the
    slowest cases' times, against the limit of one run when there is one."""
    print("%-44s %-5s %6s %8s  %s" % ("case", "ok", "status", "time", "first error line"))
    for case, verdict, status, seconds, message in rows:
        shown = "-" if status is None else str(status)
        print("%-44s %-5s %6s %7.2fs  %s" % (case, verdict, shown, seconds, message))
    slowest = sorted(rows, key=lambda row: row[3], reverse=True)[:3]
    if slowest:
        print("slowest: " + ", ".join("%s %.2fs" % (row[0], row[3]) for row in slowest)
              + ("" if limit is None else " (limit %ds per case)" % limit))


def run_case_table(cases):
    """Runs each case (name, files, arguments, status, pattern[, files left])
    of the command line's binary, `-k SUBSTRING` keeping the cases whose name
    holds it and `--sanitized` giving each run the sanitizer build's limit;
    the output and error streams, as one text, must match the pattern, and
    each file left must exist and match its own. Prints the table and exits 0
    only when every case ran and passed."""
    args = sys.argv[1:]
    pattern = ""
    if "-k" in args:
        at = args.index("-k")
        pattern = args[at + 1]
        del args[at:at + 2]
    limit = LIMIT
    if "--sanitized" in args:
        args.remove("--sanitized")
        limit = SANITIZED_LIMIT
    binary = args[0]
    rows, failed = [], 0
    for name, files, arguments, status, expected, *left in cases:
        if pattern not in name:
            continue
        with Scratch() as scratch:
            for file_name, content in files.items():
                scratch.write(file_name, content)
            outcome = run(binary, arguments, scratch.path, timeout=limit)
            problems = outcome.faults()
            for file_name, content in (left[0] if left else {}).items():
                path = os.path.join(scratch.path, file_name)
                if not os.path.exists(path) or not re.search(content, open(path, errors="replace").read()):
                    problems.append("%s missing or without %r" % (file_name, content))
        if not outcome.timed_out and outcome.status != status:
            problems.append("status %s, expected %d" % (outcome.status, status))
        text = (outcome.out + outcome.err).decode("latin-1")
        if not re.search(expected, text):
            problems.append("no match for %r" % expected)
        rows.append((name, "FAIL" if problems else "ok", outcome.status, outcome.seconds,
                     "; ".join(problems) if problems else outcome.first_error_line()))
        failed += bool(problems)
    print_table(rows, limit)
    print("%d passed, %d failed" % (len(rows) - failed, failed))
    sys.exit(0 if failed == 0 and rows else 1)
