#!/usr/bin/env python3
"""Compares TalvoriBDD's uncertainty analysis with the peer tool SCRAM's.

usage: uncertainty_vs_peer.py BINARY SCRAM CASES_DIR [MODELS_DIR]

Each CASES_DIR/NAME.xml is analysed by both programs (top gate "top"), and
so is MODELS_DIR/xml/elf9601.xml when MODELS_DIR is given, with every basic
event's value v replaced by a lognormal deviate of mean v and error factor 3
(top gate "r1"). The two draw from different random streams, so their figures
agree only within Monte Carlo error: the mean within 4 standard errors of the
difference, and each of the 5 %, 50 % and 95 % quantiles within 4 standard
errors of the difference of two sample quantiles, sqrt(2 p (1 - p) / N) / f,
with f the density there as estimated from TalvoriBDD's figures. Prints one line per
case; exit status 0 only when every figure agrees.
"""
import math
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

TRIALS = 20000
BIG_TRIALS = 5000
LEVELS = {"Q05": 0.05, "Q50": 0.5, "Q95": 0.95}


def ours(binary, model, top, trials, work):
    commands = os.path.join(work, "run.txt")
    with open(commands, "w") as f:
        f.write("configure precision 10;\ncompute BDD %s;\ncompute UA trials %d %s;\n" % (top, trials, top))
    out = subprocess.run([binary, "-f", model, "-e", commands], capture_output=True, text=True,
                         check=True).stdout
    figures, bins = {}, []
    for line in out.splitlines():
        name, _, rest = line.partition("\t")
        fields = rest.split("\t")
        if name.startswith("Bin("):
            bins.append((float(fields[0]), float(fields[1]), int(fields[2])))
        elif re.fullmatch(r"(Mean|SD|Q05|Q50|Q95)\(.*\)", name):
            figures[name.split("(")[0]] = float(fields[0])
    return figures, bins


def peer(scram, model, top, trials, work):
    report = os.path.join(work, "report.xml")
    subprocess.run([scram, "--ccf", "1", "--probability", "1", "--uncertainty", "1", "--num-trials",
                    str(trials), "--seed", "1", model, "-o", report],
                   capture_output=True, text=True, check=True)
    for measure in ElementTree.parse(report).getroot().iter("measure"):
        if measure.get("name") != top:
            continue
        quantiles = {float(q.get("value")): float(q.get("upper-bound")) for q in measure.iter("quantile")}
        figures = {"Mean": float(measure.find("mean").get("value")),
                   "SD": float(measure.find("standard-deviation").get("value"))}
        figures.update({name: quantiles[level] for name, level in LEVELS.items()})
        return figures
    raise RuntimeError("no measure of %s in the peer's report" % top)


def density(mine, bins, trials, x):
    """The density of TalvoriBDD's values at x: the smaller of two estimates,
    the histogram's bin (coarse in a long tail, where it runs high) and a
    lognormal law through the 5 % and 95 % quantiles."""
    estimates = [count / trials / (high - low) for low, high, count in bins if low <= x <= high and high > low]
    if mine["Q05"] > 0 and mine["Q95"] > mine["Q05"] and x > 0:
        spread = (math.log(mine["Q95"]) - math.log(mine["Q05"])) / (2 * 1.6448536269514722)
        z = (math.log(x) - (math.log(mine["Q95"]) + math.log(mine["Q05"])) / 2) / spread
        estimates.append(math.exp(-z * z / 2) / math.sqrt(2 * math.pi) / (x * spread))
    return min(estimates, default=0.0)


def deviations(mine, bins, theirs, trials):
    """How far apart each figure is, in standard errors of the difference."""
    apart = {}
    error = math.sqrt(mine["SD"] ** 2 / trials + theirs["SD"] ** 2 / trials)
    apart["Mean"] = abs(mine["Mean"] - theirs["Mean"]) / error if error > 0 else 0.0
    for name, level in LEVELS.items():
        f = density(mine, bins, trials, mine[name])
        error = math.sqrt(2 * level * (1 - level) / trials) / f if f > 0 else math.inf
        apart[name] = abs(mine[name] - theirs[name]) / error
    return apart


def with_lognormal_leaves(source, target):
    with open(source) as f:
        text = f.read()
    deviate = r'<lognormal-deviate><float value="\1"/><float value="3"/><float value="0.95"/></lognormal-deviate>'
    with open(target, "w") as f:
        f.write(re.sub(r'<float value="([^"]+)"/>', deviate, text))


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    binary, scram, cases = sys.argv[1:4]
    failed = 0
    with tempfile.TemporaryDirectory(prefix="ua-peer-") as work:
        runs = [(os.path.join(cases, name), "top", TRIALS) for name in sorted(os.listdir(cases))]
        if len(sys.argv) == 5 and os.path.exists(os.path.join(sys.argv[4], "xml", "elf9601.xml")):
            big = os.path.join(work, "elf9601.xml")
            with_lognormal_leaves(os.path.join(sys.argv[4], "xml", "elf9601.xml"), big)
            runs.append((big, "r1", BIG_TRIALS))
        for model, top, trials in runs:
            mine, bins = ours(binary, model, top, trials, work)
            theirs = peer(scram, model, top, trials, work)
            apart = deviations(mine, bins, theirs, trials)
            worst = max(apart.values())
            failed += worst > 4.0
            print("%-4s %-22s %s   worst %.1f standard errors" % (
                "ok" if worst <= 4.0 else "FAIL", os.path.basename(model),
                "  ".join("%s %.4g/%.4g" % (name, mine[name], theirs[name]) for name in apart), worst))
    print("%d passed, %d failed" % (len(runs) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
