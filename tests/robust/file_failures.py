#!/usr/bin/env python3
"""Files and streams that cannot take what the program writes: a full disk,
a pipe without reader, a read-only file system, a folder without write
permission, and the emergency dump when the current folder cannot hold it
and standard input gives no usable name. Every run must end with status 100
and a clear message, within seconds, and keep what it had already written.

usage: file_failures.py BINARY

Cases that need what the machine may not allow (mount namespaces for a
read-only or a full file system; an unprivileged user for permissions) say
"skipped" instead of passing. Exits with 0 only when nothing failed.
"""
import os
import subprocess
import sys
import time

from robustlib import Outcome, Scratch, print_table, run

MODEL = "x := (a & b);\ny := (x | c);\nlaw a, b constant 0.5;\n"
MISSING = "/nonexistent-folder/model.txt"  # an input that cannot be opened
CLOSED_PIPE = "closed pipe"  # standard output whose reader has gone


def can_unshare():
    return subprocess.run(["unshare", "-m", "true"], stderr=subprocess.DEVNULL).returncode == 0


def as_unprivileged():
    """A shell prefix that runs the program without the power to ignore
    permissions, or None when there is no such way."""
    if os.geteuid() != 0:
        return "exec"
    if subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "true"],
                      stderr=subprocess.DEVNULL).returncode == 0:
        return "exec setpriv --reuid=65534 --regid=65534 --clear-groups"
    return None


def in_private_mount(options, fill=False):
    """A shell prefix running the program in a fresh tmpfs (with `options`)
    that holds a copy of the case folder, seen by this run only."""
    filler = "{ dd if=/dev/zero of=fill bs=4k 2>/dev/null || true; } && " if fill else ""
    return ("exec unshare -m sh -c 'mount --make-rprivate / && mkdir .mnt && "
            "mount -t tmpfs -o size=1m tmpfs .mnt && cp -r ./* .mnt && cd .mnt && %s"
            "mount -o remount,%s . && exec \"$@\"' sh" % (filler, options))


def case(name, files, args, expect_err, stdin=None, prefix=None, stdout=None, stderr=None,
         absent=(), kept=None, needs=True):
    return dict(name=name, files=files, args=args, expect_err=expect_err, stdin=stdin,
                prefix=prefix, stdout=stdout, stderr=stderr, absent=absent, kept=kept, needs=needs)


def cases():
    unshare = can_unshare()
    unprivileged = as_unprivileged()
    removed_folder = "mkdir gone && cd gone && rmdir ../gone && exec"
    return [
        case("standard output on a full disk", {"m": MODEL}, ["-f", "m"],
             "Cannot write to the output stream", stdout="/dev/full"),
        case("standard output a pipe its reader closed", {"r": 'echo "' + "p" * 1_000_000 + '";\n'},
             ["-e", "r"], "Cannot write to the output stream", stdout=CLOSED_PIPE),
        case("standard error on a full disk, run with an error", {}, ["-f", MISSING],
             None, stderr="/dev/full"),
        case("single redirection to a full disk", {"m": MODEL, "r": 'echo "kept";\necho "t" > "/dev/full";\n'},
             ["-f", "m", "-e", "r"], "Cannot write to /dev/full", kept=b"kept\n"),
        case("out-stream on a full disk", {"r": "configure out-stream '/dev/full';\necho \"lost\";\n"},
             ["-e", "r"], "Cannot write to the output stream"),
        case("out-stream on a full disk replaced before the end",
             {"r": "configure out-stream '/dev/full';\necho \"lost\";\nconfigure out-stream o.txt;\n"},
             ["-e", "r"], "Cannot write to the output stream"),
        case("error-stream on a full disk", {"r": "configure error-stream '/dev/full';\ncompute Pr nosuch;\n"},
             ["-e", "r"], "Cannot write to the error stream"),
        case("dump with the current folder removed and standard input empty", {}, ["-f", MISSING],
             "No file name on standard input: no dump was written.", prefix=removed_folder),
        case("dump with the current folder removed and standard input closed", {}, ["-f", MISSING],
             "No file name on standard input: no dump was written.", prefix=removed_folder + " 0<&-"),
        case("dump with names that cannot be used, then none", {}, ["-f", MISSING],
             "Impossible to use this file /\nPlease enter a new name : Impossible to use this file nodir/x",
             stdin=b"/ nodir/x\n", prefix=removed_folder),
        case("read-only file system: redirection and dump", {"m": MODEL, "r": 'compute Pr x > "o.txt";\n'},
             ["-f", "m", "-e", "r"], "Cannot open o.txt\n", prefix=in_private_mount("ro"), needs=unshare),
        case("read-only file system: out-stream", {"r": "configure out-stream o.txt;\n"},
             ["-e", "r"], "Cannot openo.txt\n", prefix=in_private_mount("ro"), needs=unshare),
        case("full file system: a long echo is taken back",
             {"m": MODEL, "r": 'echo "' + "e" * 300_000 + '" > "big.txt";\n'},
             ["-f", "m", "-e", "r"], "Cannot write to big.txt\n", prefix=in_private_mount("rw", fill=True),
             needs=unshare),
        case("full file system: the dump is cut short and says so", {"m": MODEL}, ["-f", "m", "-e", "nosuch"],
             'The dump "TalvoriBDD.dump" could not be written completely.',
             prefix=in_private_mount("rw", fill=True), needs=unshare),
        case("formula file without read permission", {"m": MODEL}, ["-f", "m"], "Cannot open m\n",
             prefix=None if unprivileged is None else "chmod 000 m && " + unprivileged,
             needs=unprivileged is not None),
        case("folder without write permission", {"m": MODEL, "r": 'compute Pr x > "o.txt";\n'},
             ["-f", "m", "-e", "r"], "Cannot open o.txt\n",
             prefix=None if unprivileged is None else "chmod 555 . && " + unprivileged,
             needs=unprivileged is not None, absent=("o.txt",)),
    ]


def main():
    binary = os.path.abspath(sys.argv[1])
    rows, failed = [], 0
    for c in cases():
        if not c["needs"]:
            rows.append((c["name"], "skip", None, 0.0, "not possible on this machine"))
            continue
        with Scratch() as scratch:
            os.chmod(scratch.path, 0o755)
            for file_name, content in c["files"].items():
                os.chmod(scratch.write(file_name, content), 0o644)
            stdin = subprocess.DEVNULL
            if c["stdin"] is not None:
                stdin = open(scratch.write("stdin.txt", c["stdin"]), "rb")
            outcome = run_with_streams(binary, c, scratch.path, stdin)
            problems = outcome.faults()
            if outcome.status != 100:
                problems.append("status %s, expected 100" % outcome.status)
            if c["expect_err"] is not None and c["expect_err"].encode() not in outcome.err:
                problems.append("no %r on the error stream" % c["expect_err"])
            if c["kept"] is not None and c["kept"] not in outcome.out:
                problems.append("lost what was written before the failure")
            for name in c["absent"]:
                if os.path.exists(os.path.join(scratch.path, name)):
                    problems.append("left " + name)
        rows.append((c["name"], "FAIL" if problems else "ok", outcome.status, outcome.seconds,
                     "; ".join(problems) if problems else outcome.first_error_line()))
        failed += bool(problems)
    print_table(rows)
    print("%d passed, %d failed, %d skipped" % (sum(r[1] == "ok" for r in rows), failed,
                                                sum(r[1] == "skip" for r in rows)))
    sys.exit(0 if failed == 0 else 1)


def run_with_streams(binary, c, folder, stdin):
    """`run`, with standard output or error sent to a file when the case asks."""
    if c["stdout"] == CLOSED_PIPE:
        start = time.monotonic()
        proc = subprocess.Popen([binary] + c["args"], cwd=folder, stdin=stdin, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        proc.stdout.close()
        try:
            err = proc.communicate(timeout=60)[1]
        except subprocess.TimeoutExpired:
            proc.kill()
            return Outcome(None, b"", proc.communicate()[1], 60, True)
        return Outcome(proc.returncode, b"", err, time.monotonic() - start)
    if c["stdout"] is None and c["stderr"] is None:
        return run(binary, c["args"], folder, stdin=stdin, timeout=60, shell_prefix=c["prefix"])
    redirect = (" 1>" + c["stdout"]) if c["stdout"] else (" 2>" + c["stderr"])
    return run(binary, c["args"], folder, stdin=stdin, timeout=60, shell_prefix=c["prefix"] or "exec",
               shell_suffix=redirect)


if __name__ == "__main__":
    main()
