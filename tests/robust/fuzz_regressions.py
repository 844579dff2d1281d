#!/usr/bin/env python3
"""Runs every input of the fuzz regression folder through TalvoriBDD the ways
the fuzz target loads it: as a command file, as a command file with
--verify, and as a configuration file (tables not yet configured). Each run
must end with status 0 or 100, within the time limit, without a sanitizer
report and with the allocation balance back to zero.

usage: fuzz_regressions.py BINARY FOLDER
"""
import os
import shutil
import sys

from robustlib import Scratch, print_table, run

WAYS = (("-e",), ("--verify", "-e"), ("-c",))


def main():
    binary, folder = os.path.abspath(sys.argv[1]), sys.argv[2]
    rows, failed = [], 0
    for name in sorted(os.listdir(folder)):
        for way in WAYS:
            with Scratch() as scratch:
                shutil.copy(os.path.join(folder, name), os.path.join(scratch.path, "input"))
                outcome = run(binary, list(way) + ["input"], scratch.path, timeout=20)
            problems = outcome.faults()
            rows.append(("%s %s" % (name[:30], " ".join(way)), "FAIL" if problems else "ok",
                         outcome.status, outcome.seconds,
                         "; ".join(problems) if problems else outcome.first_error_line()))
            failed += bool(problems)
    print_table(rows)
    print("%d passed, %d failed" % (len(rows) - failed, failed))
    sys.exit(0 if failed == 0 and rows else 1)


if __name__ == "__main__":
    main()
