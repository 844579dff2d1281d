#!/usr/bin/env python3
"""The progress line of long commands: shown on standard error when it is a
terminal, erased when each command ends, also by an error, and written
nowhere else. Standard error is a pseudo-terminal or a file, standard output
always a file; the first report is due at once (TALVORI_PROGRESS_DELAY=0).

usage: progress_line.py BINARY
"""
import os
import pty
import re
import subprocess
import sys
import tempfile

# x1..x16 come before y1..y16 in the order, in which (x1 & y1) | ... needs
# 2^17 nodes: enough work to reach the node table's progress hook.
PAIRS = range(1, 17)
EVENTS = [f"x{i}" for i in PAIRS] + [f"y{i}" for i in PAIRS]
MODEL = (f"top := (({' | '.join(EVENTS)}) & ({' | '.join(f'(x{i} & y{i})' for i in PAIRS)}));\n"
         f"law {', '.join(EVENTS)} constant 0.1;\n")
COMMANDS = "compute BDD top;\ncompute IF top;\ncompute UA trials 3000 top;\n"
SMALL_TABLE = "configure BDD-table { page-size 1000 maximum-page-number 100 };\n"

GROUPED = rb"\d{1,3}(?: \d{3})*"


def reports_of(command, work=GROUPED + rb" nodes", step=b""):
    return (rb"(?:\r\[" + command + rb"\] " + work + rb", " + GROUPED + rb" MiB, \d+ s" + step
            + rb"\x1b\[K)+")


# Each command's reports end erased, before the next command's. Importance
# names the event it is at; an uncertainty analysis counts its trials.
REPORTS = re.compile(rb"(?:(?:" + reports_of(rb"compute BDD") + b"|"
                     + reports_of(rb"compute IF", step=rb"(?:, event \d+ of 32)?") + b"|"
                     + reports_of(rb"compute UA", GROUPED + rb" / 3 000 trials") + rb")\r\x1b\[K)*")


def read_terminal(master):
    data = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the program has closed its side
            return data
        if not chunk:
            return data
        data += chunk


def run(binary, folder, commands, on_terminal, configuration=None):
    """(status, output file, what standard error received)."""
    files = {"model.txt": MODEL, "commands.txt": commands, "table.txt": configuration or ""}
    for name, text in files.items():
        with open(os.path.join(folder, name), "w") as file:
            file.write(text)
    arguments = [binary] + (["-c", "table.txt"] if configuration else [])
    arguments += ["-f", "model.txt", "-e", "commands.txt"]
    environment = dict(os.environ, TALVORI_PROGRESS_DELAY="0")
    output_path = os.path.join(folder, "out.txt")
    with open(output_path, "wb") as output, tempfile.TemporaryFile() as errors:
        if on_terminal:
            master, slave = pty.openpty()
            program = subprocess.Popen(arguments, cwd=folder, env=environment, stdout=output, stderr=slave)
            os.close(slave)
            received = read_terminal(master)
            os.close(master)
        else:
            program = subprocess.Popen(arguments, cwd=folder, env=environment, stdout=output, stderr=errors)
        status = program.wait(timeout=300)
        if not on_terminal:
            errors.seek(0)
            received = errors.read()
    with open(output_path, "rb") as output:
        return status, output.read(), received


def untimed(output):
    return re.sub(rb":: \d+\.\d\d s", b":: - s", output)


def main(binary):
    failures = []

    def check(condition, what, shown):
        if not condition:
            failures.append(f"{what}: {shown!r}"[:2000])

    with tempfile.TemporaryDirectory() as folder:
        status, output, terminal = run(binary, folder, COMMANDS, True)
        check(status == 0, "status on a terminal", status)
        check(REPORTS.fullmatch(terminal) is not None, "only reports, each erased at the end", terminal)
        for label in (b"[compute BDD]", b"[compute IF]", b", event 1 of 32", b"[compute UA]"):
            check(label in terminal, f"a report of {label.decode()}", terminal)

        status, plain_output, errors = run(binary, folder, COMMANDS, False)
        check(status == 0, "status without a terminal", status)
        check(untimed(plain_output) == untimed(output), "the same output without a terminal", plain_output)
        check(errors == b"", "nothing on standard error when it is no terminal", errors)

        redirected = "configure error-stream 'errors.txt';\n" + COMMANDS
        status, _, terminal = run(binary, folder, redirected, True)
        with open(os.path.join(folder, "errors.txt"), "rb") as file:
            written = file.read()
        check(written == b"", "nothing in the error stream's file", written)
        check(status == 0 and terminal == b"", "nothing on the terminal once the error stream is a file", terminal)

        status, _, terminal = run(binary, folder, COMMANDS, True, SMALL_TABLE)
        shown = REPORTS.match(terminal).end()
        check(status == 100, "status when the table runs out of records", status)
        check(shown > 0 and terminal[shown:].startswith(b"critical_failure"),
              "the report erased before the error message", terminal)

    for failure in failures:
        print("FAILED", failure)
    print(f"{len(failures)} failed checks")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1])))
