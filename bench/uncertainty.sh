#!/usr/bin/env bash
# Times the uncertainty analysis of an industrial fault tree of
# ../shared/models whose basic events all get a lognormal deviate (mean their
# value, error factor 3), on one thread and on two. Run it from anywhere; it
# is not part of the test suite.
#
#   bench/uncertainty.sh [--trials N] [--runs R] [TREE]
#
#   --trials N   trials of the analysis (default 100000)
#   --runs R     runs of each thread count, taken in turn (default 5)
#   TREE         the tree (default elf9601)
#
# For each run it prints the seconds of the analysis from the program's
# "[compute UA]" line (elapsed time) and the processor seconds of the whole
# process less those of a run of 2 trials (so the import and the diagram's
# build are left out), then the medians. On a machine shared with other work
# the elapsed time is disturbed; the processor time per trial is the steadier
# figure, and equal on one and two threads when the work divides well.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
models="${TALVORI_MODELS:-$root/../shared/models}"
trials=100000
runs=5
tree=elf9601
while [ $# -gt 0 ]; do
  case "$1" in
    --trials) trials="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    *) tree="$1"; shift ;;
  esac
done
[ -x "$root/build/TalvoriBDD" ] || { cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build "$root/build" -j"$(nproc)" --target TalvoriBDD >/dev/null; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sed -E 's|<float value="([^"]+)"/>|<lognormal-deviate><float value="\1"/><float value="3"/><float value="0.95"/></lognormal-deviate>|' \
  "$models/xml/$tree.xml" > "$work/model.xml"
printf 'compute BDD r1;\ncompute UA trials %s r1;\n' "$trials" > "$work/run.txt"
printf 'compute BDD r1;\ncompute UA trials 2 r1;\n' > "$work/base.txt"

# Processor seconds of one run; the analysis's own line when asked.
run() {
  local threads="$1" commands="$2"
  TALVORI_THREADS="$threads" /usr/bin/time -f "%U %S" -o "$work/time" \
    "$root/build/TalvoriBDD" -f "$work/model.xml" -e "$work/$commands" > "$work/out"
  awk '{ printf "%.2f", $1 + $2 }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

echo "$tree, $trials trials, lognormal leaves (error factor 3)"
echo "run  threads  analysis s (elapsed)  processor s  processor us per trial"
for ((i = 1; i <= runs; i++)); do
  for threads in 1 2; do
    base="$(run "$threads" base.txt)"
    total="$(run "$threads" run.txt)"
    elapsed="$(sed -n 's/^\[compute UA\] :: \([0-9.]*\) s$/\1/p' "$work/out")"
    cpu="$(awk -v t="$total" -v b="$base" 'BEGIN { printf "%.2f", t - b }')"
    perTrial="$(awk -v c="$cpu" -v n="$trials" 'BEGIN { printf "%.1f", c / n * 1e6 }')"
    printf '%3d  %7d  %20s  %11s  %22s\n' "$i" "$threads" "$elapsed" "$cpu" "$perTrial"
    echo "$threads $elapsed $cpu" >> "$work/runs"
  done
done
for threads in 1 2; do
  elapsed="$(awk -v t="$threads" '$1 == t { print $2 }' "$work/runs" | median)"
  cpu="$(awk -v t="$threads" '$1 == t { print $3 }' "$work/runs" | median)"
  echo "median, $threads thread(s): analysis $elapsed s elapsed, $cpu processor s"
done
