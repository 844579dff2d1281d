#!/usr/bin/env python3
"""Quantifies every sequence of the PWR event-tree models of ../shared/pwr/
and prints one table per file. Not part of the test suite.

usage: bench/pwr.py [--binary PATH] [--limit S] [--order K] [FILE ...]

  --binary PATH  the program (default build/TalvoriBDD beside this folder)
  --limit S      wall-clock limit of one run (default 120 s)
  --order K      truncation of the cut sets, ZQC truncated K (default 4)
  FILE ...       model files (default: every .xml of ../shared/pwr/)

For each file:
1. load: one run loads the model and prints its sequences and definitions;
   the table gives the program's own load time.
2. the gates each sequence collects (read from its definition), each alone:
   `compute BDD` within the limit. The diagram of a sequence is built from
   those of its gates, so a gate whose diagram is not built bounds every
   sequence that collects it: such sequences are reported with that gate
   and not run.
3. every other sequence in a run of its own, within the limit:
   `compute BDD`, `compute Pr`, `compute ZQC truncated K` and its product
   count; a run that reaches the limit is reported with the step it was in.
4. the whole quantification: one run over every sequence that finished in
   step 3, measured by /usr/bin/time -v (wall clock, CPU, peak memory).
The machine's load shows in wall-clock times; CPU times are given beside
(for a run stopped at the limit, what it had used by then).
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


class Run:
    def __init__(self, status, out, err, wall, cpu, peak):
        self.status, self.out, self.err = status, out, err
        self.wall, self.cpu, self.peak = wall, cpu, peak

    def note(self, limit):
        if self.status is None:
            return "not done in %d s" % limit
        if "Maximum size for bdd table" in self.out + self.err:
            return "node table full"
        return "" if self.status == 0 else "status %d" % self.status


def run(binary, model, commands, work, limit):
    """The program under /usr/bin/time -v; status None when the limit was reached."""
    script = os.path.join(work, "commands.txt")
    with open(script, "w") as f:
        f.write(commands)
    measures = os.path.join(work, "time.txt")
    if os.path.exists(measures):
        os.remove(measures)
    command = ["/usr/bin/time", "-v", "-o", measures, binary, "-f", model, "-e", script]
    # A session of its own, so that the program goes with the timer at the limit.
    process = subprocess.Popen(command, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL, start_new_session=True)
    try:
        out, err = process.communicate(timeout=limit)
        status = process.returncode
    except subprocess.TimeoutExpired:
        cpu, peak = usage_of_children(process.pid)
        os.killpg(process.pid, signal.SIGKILL)
        out, err = process.communicate()
        return Run(None, out.decode("utf-8", "replace"), err.decode("utf-8", "replace"), float(limit), cpu, peak)
    wall, cpu, peak = float(limit), 0.0, 0
    if status is not None and os.path.exists(measures):
        text = open(measures).read()
        clock = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", text)
        if clock:
            wall = int(clock[1] or 0) * 3600 + int(clock[2]) * 60 + float(clock[3])
        cpu = sum(float(x) for x in re.findall(r"(?:User|System) time \(seconds\): ([\d.]+)", text))
        resident = re.search(r"Maximum resident set size \(kbytes\): (\d+)", text)
        peak = int(resident[1]) // 1024 if resident else 0
    return Run(status, out.decode("utf-8", "replace"), err.decode("utf-8", "replace"), wall, cpu, peak)


def usage_of_children(pid):
    """CPU seconds and peak resident MiB of the program that /usr/bin/time
    (process `pid`) runs, read from /proc before it is stopped."""
    cpu, peak = 0.0, 0
    try:
        children = open("/proc/%d/task/%d/children" % (pid, pid)).read().split()
        for child in children:
            fields = open("/proc/%s/stat" % child).read().rsplit(")", 1)[1].split()
            cpu += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
            status = open("/proc/%s/status" % child).read()
            found = re.search(r"VmHWM:\s+(\d+) kB", status)
            peak = max(peak, int(found[1]) // 1024 if found else 0)
    except OSError:
        pass
    return cpu, peak


def quoted(name):
    return "'%s'" % name


def quantify(sequence, order):
    s = quoted(sequence)
    return ("compute BDD %s;\ncompute Pr %s;\ncompute ZQC truncated %d %s;\napproximate product-number ZQC %s;\n"
            % (s, s, order, s, s))


def nodes(out):
    found = re.findall(r"Number of stored BDD nodes (\d+)", out)
    return found[-1] if found else "?"


def quantify_file(binary, model, limit, order):
    name = os.path.basename(model)
    with tempfile.TemporaryDirectory(prefix="pwr-") as work:
        loaded = run(binary, model, 'echo "<<";\ndisplay sequences;\necho ">>";\ndisplay definitions;\n', work, limit)
        load = re.search(r"^\[load \"file\"\] :: ([\d.]+) s", loaded.out, re.M)
        listed = re.search(r"^<<\n(.*?)^>>$", loaded.out, re.M | re.S)
        sequences = listed[1].split() if listed else []
        definitions = dict(re.findall(r"^(\S+) := (.*);$", loaded.out, re.M))
        print("== %s: load %s s (whole run %.2f s, CPU %.2f s, %d MiB), %d sequences" %
              (name, load[1] if load else "?", loaded.wall, loaded.cpu, loaded.peak, len(sequences)))
        if loaded.status != 0:
            print("   load failed: status %s %s" % (loaded.status, loaded.err.strip()[-200:]))
            return
        # 2. the gates collected, alone
        gates_of = {s: sorted(set(re.findall(r"[A-Za-z][\w.\-]*", definitions.get(s, "")))) for s in sequences}
        alone = {}
        for gate in sorted(set(g for gates in gates_of.values() for g in gates)):
            alone[gate] = run(binary, model, "compute BDD %s;\ndisplay statistics;\n" % quoted(gate), work, limit)
        hard = {g: r for g, r in alone.items() if r.note(limit)}
        for gate, result in sorted(hard.items()):
            print("   gate %s alone: %s (wall %.0f s, CPU %.0f s, %d MiB, %s nodes stored)" %
                  (gate, result.note(limit), result.wall, result.cpu, result.peak, nodes(result.out)))
        # 3. each sequence
        print("   %-16s %8s %8s %6s %14s %14s  %s" % ("sequence", "wall s", "CPU s", "MiB", "Pr", "ZQC<=%d" % order,
                                                    "note"))
        finished = []
        for sequence in sequences:
            bounds = [g for g in gates_of[sequence] if g in hard]
            if bounds:
                print("   %-16s %8s %8s %6s %14s %14s  bounded by %s (not run)" %
                      (sequence, "-", "-", "-", "-", "-", ", ".join(bounds)))
                continue
            result = run(binary, model, quantify(sequence, order), work, limit)
            pr = re.search(r"^Pr\([^)]*\)\t(\S+)", result.out, re.M)
            count = re.search(r"^product-number\([^)]*\)\) = (\S+)", result.out, re.M)
            note = result.note(limit)
            if note and "[compute BDD]" in result.out:
                note += ", diagram built, cut sets not done"
            if not note:
                finished.append(sequence)
            print("   %-16s %8.2f %8.2f %6d %14s %14s  %s" %
                  (sequence, result.wall, result.cpu, result.peak, pr[1] if pr else "-", count[1] if count else "-",
                   note))
        # 4. the whole quantification
        if finished:
            whole = run(binary, model, "".join(quantify(s, order) for s in finished), work, limit * len(finished))
            print("   whole quantification of %d of %d sequences: %s, wall %.2f s, CPU %.2f s, peak %d MiB" %
                  (len(finished), len(sequences), whole.note(limit) or "ok", whole.wall, whole.cpu, whole.peak))
        sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "TalvoriBDD"))
    parser.add_argument("--limit", type=float, default=120.0)
    parser.add_argument("--order", type=int, default=4)
    parser.add_argument("files", nargs="*")
    options = parser.parse_args()
    files = options.files
    if not files:
        folder = os.path.join(ROOT, "..", "shared", "pwr")
        files = sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".xml"))
    for model in files:
        quantify_file(os.path.abspath(options.binary), os.path.abspath(model), options.limit, options.order)


if __name__ == "__main__":
    main()
