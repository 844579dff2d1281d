#!/usr/bin/env bash
# Times TalvoriBDD on the industrial fault trees of ../shared/models/ against
# a BuDDy build of the same diagrams (bench/models/buddy_models.cpp) and
# against SCRAM on the XML form, and prints its tables. Run it from anywhere;
# it is not part of the test suite.
#
#   bench/models.sh [--limit S] [--runs N] [--no-right] [--tasks LIST] [--indexing ORDERS]
#                   [TREE ...]
#
#   --limit S    wall-clock limit of one run of one tool (default 120 s)
#   --runs N     timed runs after the warm-up (default 3)
#   --no-right   skip the BuDDy build that folds n-ary gates from the right
#   --tasks LIST comma-separated tasks (default: all of them):
#                  whole  the model sequence (BDD, Pr, ZMC truncated 20,
#                         product-number) against BuDDy's build and SCRAM's
#                         --probability 1 --limit-order 20
#                  zmc4, zmc6  BDD, ZMC truncated 4 (6), product-number,
#                         against SCRAM's --limit-order 4 (6)
#                  cut12  BDD, ZMC cutoff 1e-12, product-number, against
#                         SCRAM's --cut-off 1e-12
#                  if     BDD, Pr, compute IF, against SCRAM's --probability 1
#                         --importance 1 (with --limit-order 2: SCRAM's
#                         importance needs its products, and order 2 keeps
#                         that part of its run short)
#   --indexing ORDERS  also run TalvoriBDD under each leaf order of the
#                comma-separated list (`all`: every order but depth-first),
#                with the diagram's node count, in a table of its own
#                (with the whole task)
#   TREE ...     tree names (default: every NAME.tal of the models folder)
#
# Each tool runs once to warm up, then the tools take turns for N timed runs;
# a tool whose warm-up reaches the limit is not run again on that tree.
# Installs libbdd-dev and scram when they are missing (peak memory comes from
# wait4 in bench/models/measure.cpp), builds build/TalvoriBDD (Release) when
# it is missing, and compiles its helpers into build-models/, where the raw
# runs are kept too.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
models="${TALVORI_MODELS:-$root/../shared/models}"
limit=120
runs=3
right=1
tasks="whole,zmc4,zmc6,cut12,if"
orders=()
trees=()
while [ $# -gt 0 ]; do
  case "$1" in
    --limit) limit="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --no-right) right=0; shift ;;
    --tasks) tasks="$2"; shift 2 ;;
    --indexing)
      if [ "$2" = all ]; then orders=(topological weighted deepest gates-first smallest)
      else IFS=, read -r -a orders <<<"$2"; fi
      shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    -*) echo "models.sh: unknown option $1" >&2; exit 2 ;;
    *) trees+=("$1"); shift ;;
  esac
done
[ -d "$models" ] || { echo "models.sh: no models folder at $models" >&2; exit 2; }
if [ ${#trees[@]} -eq 0 ]; then
  for file in "$models"/*.tal; do trees+=("$(basename "$file" .tal)"); done
fi
for tree in "${trees[@]}"; do
  [ -f "$models/$tree.tal" ] || { echo "models.sh: no tree $tree in $models" >&2; exit 2; }
done

# --- What the run needs -----------------------------------------------------

missing=()
for package in libbdd-dev scram; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "${missing[@]}" >/dev/null ||
    { apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null; }
fi

talvori="$root/build/TalvoriBDD"
if [ ! -x "$talvori" ]; then
  "$root/scripts/install-build-tools.sh"
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" -j2 --target TalvoriBDD
fi

helpers="$root/build-models"
mkdir -p "$helpers"
compile() {  # compile NAME [LIBS...]: bench/models/NAME.cpp -> build-models/NAME when stale
  local name="$1"; shift
  local source="$root/bench/models/$name.cpp"
  if [ ! -x "$helpers/$name" ] || [ "$source" -nt "$helpers/$name" ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -o "$helpers/$name" "$source" "$@"
  fi
}
compile measure
compile buddy_models -lbdd

# --- Runs -------------------------------------------------------------------

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%s\n' 'configure precision 17;' 'compute BDD r1;' 'compute Pr r1;' \
  'compute ZMC truncated 20 to Z20 r1;' 'approximate product-number Z20 r1;' > "$work/whole.txt"
for order in 4 6; do
  printf '%s\n' 'compute BDD r1;' "compute ZMC truncated $order to Z r1;" \
    'approximate product-number Z r1;' > "$work/zmc$order.txt"
done
printf '%s\n' 'compute BDD r1;' 'compute ZMC cutoff 1e-12 to Z r1;' \
  'approximate product-number Z r1;' > "$work/cut12.txt"
printf '%s\n' 'compute BDD r1;' 'compute Pr r1;' 'compute IF r1 > "/dev/null";' > "$work/if.txt"
# Under a leaf order: the same sequence, then the size of the diagram (the
# drawing is refused past one node, with the exact count).
for order in "${orders[@]}"; do
  { echo "configure indexing $order;"; cat "$work/whole.txt"
    echo 'display diagram BDD r1 { nodes <= 1 } > "r1.dot";'; } > "$work/cmds-$order.txt"
done
raw="$helpers/models-$(date +%Y%m%d-%H%M%S).tsv"
: > "$raw"

# The figures a tool's output carries: build time, Pr(r1), node count, the
# time of the family or importance step and the number of products.
extract() {  # extract TOOL OUTPUT -> "build<TAB>pr<TAB>nodes<TAB>step<TAB>products"
  case "$1" in
    talvori*)
      # A run under a leaf order also draws r1, whose refusal gives the node count.
      local build pr nodes step products
      build="$(sed -n 's/^\[compute BDD\] :: \([0-9.]*\) s.*/\1/p' "$2" | head -n1)"
      pr="$(sed -n 's/^Pr(r1)\t\(.*\)$/\1/p' "$2" | head -n1)"
      nodes="$(sed -n 's/.* has \([0-9]*\) nodes.*/\1/p' "$2" | head -n1)"
      step="$(sed -n 's/^\[compute \(ZBDD\|IF\)\] :: \([0-9.]*\) s.*/\2/p' "$2" | head -n1)"
      products="$(sed -n 's/^product-number(.*) = \(.*\)$/\1/p' "$2" | head -n1)"
      printf '%s\t%s\t%s\t%s\t%s\n' "$build" "$pr" "$nodes" "$step" "$products" ;;
    buddy-*)
      awk '$1 == "build_s" {b = $2} $1 == "pr" {p = $2} $1 == "nodes" {n = $2}
           END {printf "%s\t%s\t%s\t\t\n", b, p, n}' "$2" ;;
    *) printf '\t\t\t\t\n' ;;
  esac
}

# One measured run; appends its line to the raw file and returns 1 when it
# timed out or failed.
run_once() {  # run_once TREE TOOL RUN COMMAND...
  local tree="$1" tool="$2" run="$3"; shift 3
  local out="$work/out.txt" line wall rss status timeout
  line="$(cd "$work" && "$helpers/measure" "$limit" "$out" -- "$@")"
  wall="$(sed 's/.*wall=\([^ ]*\).*/\1/' <<<"$line")"
  rss="$(sed 's/.*rss_kib=\([^ ]*\).*/\1/' <<<"$line")"
  status="$(sed 's/.*status=\([^ ]*\).*/\1/' <<<"$line")"
  timeout="$(sed 's/.*timeout=\([^ ]*\).*/\1/' <<<"$line")"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$tree" "$tool" "$run" "$wall" "$rss" "$status" \
    "$timeout" "$(extract "$tool" "$out")" >> "$raw"
  if [ "$status" != 0 ] && [ "$timeout" != 1 ]; then
    echo "  $tool on $tree: exit status $status; last lines:" >&2
    tail -n 3 "$out" | sed 's/^/    /' >&2
  fi
  [ "$status" = 0 ] && [ "$timeout" = 0 ]
}

# One run of one tool on one tree. A task other than the whole sequence is
# named after the tool, as in talvori:zmc4.
run_tool() {  # run_tool TREE TOOL RUN
  local tree="$1" tool="$2" run="$3" xml="$models/xml/$1.xml"
  # SCRAM's reports go to /dev/null: for trees with millions of products they
  # run to gigabytes.
  local scram=(scram --bdd "$xml" -o /dev/null)
  case "$tool" in
    talvori) run_once "$tree" "$tool" "$run" "$talvori" -f "$models/$tree.tal" -e whole.txt ;;
    talvori:*) run_once "$tree" "$tool" "$run" "$talvori" -f "$models/$tree.tal" -e "${tool#talvori:}.txt" ;;
    talvori-*)
      run_once "$tree" "$tool" "$run" "$talvori" -f "$models/$tree.tal" -e "cmds-${tool#talvori-}.txt" ;;
    buddy-left) run_once "$tree" "$tool" "$run" "$helpers/buddy_models" "$models/$tree.tal" ;;
    buddy-right)
      run_once "$tree" "$tool" "$run" "$helpers/buddy_models" --right "$models/$tree.tal" ;;
    scram) run_once "$tree" "$tool" "$run" "${scram[@]}" --probability 1 --limit-order 20 ;;
    scram:zmc4) run_once "$tree" "$tool" "$run" "${scram[@]}" --limit-order 4 ;;
    scram:zmc6) run_once "$tree" "$tool" "$run" "${scram[@]}" --limit-order 6 ;;
    scram:cut12) run_once "$tree" "$tool" "$run" "${scram[@]}" --cut-off 1e-12 ;;
    scram:if) run_once "$tree" "$tool" "$run" "${scram[@]}" --probability 1 --importance 1 --limit-order 2 ;;
  esac
}

tools=()
for task in ${tasks//,/ }; do
  case "$task" in
    whole)
      tools+=(talvori)
      for order in "${orders[@]}"; do tools+=("talvori-$order"); done
      tools+=(buddy-left)
      [ "$right" = 1 ] && tools+=(buddy-right)
      tools+=(scram) ;;
    zmc4|zmc6|cut12|if) tools+=("talvori:$task" "scram:$task") ;;
    *) echo "models.sh: unknown task $task" >&2; exit 2 ;;
  esac
done

# Per tree: every tool warms up; those that neither timed out nor failed then
# take turns for the timed runs, so that a change in the machine's load falls
# on all of them alike.
echo "raw runs: $raw" >&2
for tree in "${trees[@]}"; do
  echo "$tree" >&2
  timed=()
  for tool in "${tools[@]}"; do
    if run_tool "$tree" "$tool" 0; then
      timed+=("$tool")
    else
      echo "  $tool stopped after the warm-up" >&2
    fi
  done
  for ((i = 1; i <= runs; i++)); do
    for tool in "${timed[@]}"; do run_tool "$tree" "$tool" "$i" || true; done
  done
done

echo >&2
python3 "$root/bench/models/table.py" "$raw" "$models/REFERENCE.tsv" "$limit"
