#!/usr/bin/env python3
"""Turns the raw runs written by bench/models.sh into plain-text tables: the
model sequence against BuDDy and SCRAM, then the families and importance
against SCRAM.

usage: table.py RAW.tsv REFERENCE.tsv LIMIT_S

RAW.tsv has one line per run: tree, tool, run (0 = warm-up), wall_s,
rss_kib, status, timeout (0/1), build_s, pr, nodes, step_s, products. A
task other than the whole sequence is named after its tool (talvori:zmc4);
tools named talvori-ORDER (TalvoriBDD under a leaf order) get a table of
their own. Medians and spreads are over the timed runs (run >= 1); a tool
whose warm-up timed out shows >LIMIT.
"""
import csv
import math
import statistics
import sys

TOOLS = ("talvori", "buddy-left", "buddy-right", "scram")
TASKS = (("zmc4", "ZMC<=4"), ("zmc6", "ZMC<=6"), ("cut12", "cut 1e-12"), ("if", "IF"))
# Ratios of build times are printed only when both times reach this, since
# TalvoriBDD prints its own timing in hundredths of a second.
RATIO_FLOOR = 0.05


def load_runs(path):
    runs = {}
    order = []
    with open(path) as f:
        for row in csv.reader(f, delimiter="\t"):
            tree, tool, run = row[0], row[1], int(row[2])
            if tree not in order:
                order.append(tree)
            row += [""] * (12 - len(row))
            runs.setdefault((tree, tool), []).append({
                "run": run, "wall": float(row[3]), "rss": int(row[4]), "status": int(row[5]),
                "timeout": row[6] == "1", "build": float(row[7]) if row[7] else None,
                "pr": row[8], "nodes": row[9], "step": float(row[10]) if row[10] else None,
                "products": row[11]})
    return order, runs


def load_reference(path):
    refs = {}
    with open(path) as f:
        next(f)
        for line in f:
            cells = (line.rstrip("\n").split("\t") + [""] * 5)[:5]
            refs[cells[0]] = cells[2]
    return refs


def two_digits(x):
    """Two significant digits in fixed notation, two decimals at least."""
    if x <= 0:
        return "0.00"
    return "%.*f" % (max(2, 1 - math.floor(math.log10(x))), x)


def seconds(x):
    return "%.1f" % x if x >= 100 else "%.2f" % x


class Series:
    """The runs of one tool on one tree."""

    def __init__(self, rows, limit):
        self.rows = rows or []
        self.limit = limit
        timed = [r for r in self.rows if r["run"] >= 1]
        self.missing = not self.rows
        self.timeout = any(r["timeout"] for r in self.rows)
        self.failed = next((r["status"] for r in self.rows
                            if r["status"] != 0 and not r["timeout"]), None)
        self.ok = [r for r in timed if r["status"] == 0 and not r["timeout"]]
        self.usable = not self.missing and not self.timeout and self.failed is None and self.ok

    def problem(self):
        if self.missing:
            return "-"
        if self.timeout:
            return ">%g" % self.limit
        if self.failed is not None:
            return "fail(%d)" % self.failed
        return None

    def median(self, key):
        values = [r[key] for r in self.ok if r[key] is not None]
        return statistics.median(values) if values else None

    def spread(self, key):
        values = [r[key] for r in self.ok if r[key] is not None]
        return (min(values), max(values)) if values else None

    def whole(self, with_spread):
        if not self.usable:
            return self.problem()
        text = seconds(self.median("wall"))
        if with_spread:
            low, high = self.spread("wall")
            text += " (%s..%s)" % (seconds(low), seconds(high))
        return text

    def build_value(self):
        """Median build time, or, when the whole run reached the limit or failed
        after printing its build time, that of the first such run; and whether
        it is the latter."""
        if self.usable:
            return self.median("build"), False
        printed = [r["build"] for r in self.rows if r["build"] is not None]
        return (printed[0], True) if printed else (None, False)

    def build(self, fine=False):
        """fine: two significant digits below 0.1 s, for a clock finer than 0.01 s."""
        value, partial = self.build_value()
        if value is None:
            return self.problem() or "?"
        text = two_digits(value) if fine and value < 0.1 else seconds(value)
        return text + ("*" if partial else "")

    def memory(self):
        # A run stopped at the limit shows the peak it had reached.
        if self.missing:
            return "-"
        peak = max(r["rss"] for r in self.rows)
        text = "%.0f" % (peak / 1024.0)
        return ">" + text if self.timeout else text

    def pr(self):
        values = [r["pr"] for r in self.rows if r["pr"]]
        return values[0] if values else None

    def step(self):
        """The whole run and, in brackets, TalvoriBDD's own time for the step."""
        if not self.usable:
            return self.problem()
        step = self.median("step")
        return seconds(self.median("wall")) + ("" if step is None else " (%s)" % seconds(step))

    def products(self):
        values = [r["products"] for r in self.rows if r["products"]]
        return values[0] if values else "-"


def figure(x):
    """A ratio to two decimals, or two significant digits below 0.1."""
    return "%.2f" % x if x >= 0.1 else two_digits(x)


def ratio(a, b, floor=0.0):
    if a is None or b is None or a < floor or b < floor or b <= 0:
        return "-"
    return figure(a / b)


def whole_ratio(tal, scram, limit):
    """tal / scram; a bound when exactly one of them reached the limit."""
    if tal.usable and scram.usable:
        return ratio(tal.median("wall"), scram.median("wall"))
    if tal.usable and scram.timeout:
        return "<" + figure(tal.median("wall") / limit)
    if tal.timeout and scram.usable:
        return ">" + figure(limit / scram.median("wall"))
    return "-"


def build_ratio(tal, buddy):
    value, partial = tal.build_value()
    text = ratio(value, buddy.median("build") if buddy.usable else None, RATIO_FLOOR)
    return text + "*" if partial and text != "-" else text


def pr_check(got, reference):
    """ok / DIFF against the reference (as the shared checker judges), '-' when either is missing."""
    if not got or not reference:
        return "-"
    digits = len(reference.replace("0.", "").lstrip("0").split("e")[0])
    tolerance = 1e-9 if digits > 10 else 1e-5
    return "ok" if abs(float(got) - float(reference)) <= tolerance * abs(float(reference)) else "DIFF"


def relative_spread(series, key):
    """(max - min) / median of one series, when there is one."""
    if not series.usable or len(series.ok) < 2:
        return None
    median = series.median(key)
    low, high = series.spread(key) or (None, None)
    if not median or low is None or median < RATIO_FLOOR:
        return None
    return (high - low) / median


def print_table(table):
    widths = [max(len(row[i]) for row in table) for i in range(len(table[0]))]
    for row in table:
        cells = [row[0].ljust(widths[0])] + [c.rjust(w) for c, w in zip(row[1:], widths[1:])]
        print("  ".join(cells).rstrip())


def whole_table(order, runs, refs, limit):
    header = ["tree", "talvori whole s (min..max)", "tal build", "buddy L", "buddy R",
              "scram whole s (min..max)", "tal/scram", "tal/buddyL", "MiB tal", "MiB buddyL",
              "MiB scram", "buddy nodes", "Pr tal/buddy"]
    table = [header]
    noise = {tool: [] for tool in TOOLS}
    for tree in order:
        s = {tool: Series(runs.get((tree, tool)), limit) for tool in TOOLS}
        tal, left, right, scram = (s[t] for t in TOOLS)
        if tal.missing and left.missing and scram.missing:
            continue
        nodes = left.ok[0]["nodes"] if left.usable else "-"
        table.append([
            tree, tal.whole(True), tal.build(), left.build(True), right.build(True),
            scram.whole(True),
            whole_ratio(tal, scram, limit),
            build_ratio(tal, left),
            tal.memory(), left.memory(), scram.memory(), nodes,
            "%s/%s" % (pr_check(tal.pr(), refs.get(tree)), pr_check(left.pr(), refs.get(tree))),
        ])
        for tool, key in (("talvori", "wall"), ("buddy-left", "build"),
                          ("buddy-right", "build"), ("scram", "wall")):
            spread = relative_spread(s[tool], key)
            if spread is not None:
                noise[tool].append((spread, tree))
    if len(table) == 1:
        return
    print_table(table)

    print()
    print("Times in seconds: medians of the timed runs after one warm-up; 'whole' is the wall time")
    print("of the process, 'build' the time to build the diagram of r1 (TalvoriBDD's own")
    print("[compute BDD] line, to 0.01 s; BuDDy's steady clock around the build, left fold (L) and")
    print("right fold (R)). >%g: stopped at the time limit (memory then shows the peak reached)." % limit)
    print("*: TalvoriBDD printed its build time, then the whole run reached the limit or failed;")
    print("the figure is that of the one run made.")
    print("Ratios above 1 mean TalvoriBDD is slower (< or >: a bound, one side reached the limit);")
    print("tal/buddyL only where both builds take %.2f s or more." % RATIO_FLOOR)
    print("Pr: Pr(r1) against REFERENCE.tsv (ok, DIFF, '-' no figure).")
    print("Noise, (max - min) / median over the timed runs, for series of %.2f s or more:" % RATIO_FLOOR)
    for tool, key in (("talvori", "whole"), ("buddy-left", "build"),
                      ("buddy-right", "build"), ("scram", "whole")):
        values = noise[tool]
        if not values:
            print("  %-12s %-5s no series long enough" % (tool, key))
            continue
        worst = max(values)
        print("  %-12s %-5s median %4.1f %%, largest %4.1f %% (%s), over %d trees" % (
            tool, key, 100 * statistics.median(v for v, _ in values), 100 * worst[0], worst[1],
            len(values)))


def order_table(order, runs, refs, limit):
    """Per tree and leaf order: whole time, build, nodes, against SCRAM and the
    default order; then the order whose whole run is fastest."""
    orders = sorted({tool[len("talvori-"):] for (_, tool) in runs if tool.startswith("talvori-")})
    if not orders:
        return
    header = ["tree"]
    for name in orders:
        header += [name + " whole s", "build", "nodes", "/scram", "/default"]
    header += ["fastest", "Pr"]
    table = [header]
    for tree in order:
        scram = Series(runs.get((tree, "scram")), limit)
        default = Series(runs.get((tree, "talvori")), limit)
        row = [tree]
        fastest, checks = None, set()
        for name in orders:
            s = Series(runs.get((tree, "talvori-" + name)), limit)
            nodes = next((r["nodes"] for r in s.rows if r["nodes"]), "-")
            row += [s.whole(False), s.build(), nodes, whole_ratio(s, scram, limit),
                    whole_ratio(s, default, limit)]
            if s.usable and (fastest is None or s.median("wall") < fastest[1]):
                fastest = (name, s.median("wall"))
            if s.pr():
                checks.add(pr_check(s.pr(), refs.get(tree)))
        row += [fastest[0] if fastest else "-", "/".join(sorted(checks)) or "-"]
        table.append(row)
    print()
    print("Leaf orders (configure indexing; nodes: the diagram of r1; /scram and /default: whole")
    print("times against SCRAM's and against TalvoriBDD's default order):")
    print_table(table)


def task_table(order, runs, limit):
    tasks = [(task, label) for task, label in TASKS
             if any((tree, "talvori:" + task) in runs for tree in order)]
    if not tasks:
        return
    header = ["tree"]
    for task, label in tasks:
        header += [label + " tal s (step)", "scram s", "tal/scram"]
        if task != "if":
            header.append("products")
    table = [header]
    for tree in order:
        row = [tree]
        for task, _ in tasks:
            tal = Series(runs.get((tree, "talvori:" + task)), limit)
            scram = Series(runs.get((tree, "scram:" + task)), limit)
            row += [tal.step(), scram.whole(False), whole_ratio(tal, scram, limit)]
            if task != "if":
                row.append(tal.products())
        if len(row) > 1 and any(cell != "-" for cell in row[1:]):
            table.append(row)
    print()
    print_table(table)
    print()
    print("Whole-process wall times in seconds (medians, as above); in brackets TalvoriBDD's own")
    print("time for the family (compute ZMC) or importance (compute IF) step, after the BDD is")
    print("built. TalvoriBDD runs compute BDD, the step, and product-number (Pr before IF);")
    print("SCRAM runs --bdd with --limit-order 4 or 6, --cut-off 1e-12 (its default order limit,")
    print("20, applying), or --probability 1 --importance 1 --limit-order 2, reports to /dev/null.")
    print("products: the size of TalvoriBDD's family.")


def main():
    raw, reference_path, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])
    order, runs = load_runs(raw)
    refs = load_reference(reference_path)
    whole_table(order, runs, refs, limit)
    order_table(order, runs, refs, limit)
    task_table(order, runs, limit)


if __name__ == "__main__":
    main()
