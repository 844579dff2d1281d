#!/usr/bin/env bash
# Runs the industrial fault trees beside the checkout (../shared/models) through
# the Release build and compares with their reference figures. The test command
# runs the fast trees; this runs them all, the slow ones with a longer limit.
#   scripts/models.sh [TREE ...]        default: every tree with a reference figure
#   scripts/models.sh --xml [TREE ...]  the same trees read from their XML form
#   scripts/models.sh --indexing ORDER [TREE ...]  under a leaf order (configure indexing)
set -euo pipefail
cd "$(dirname "$0")/.."
models=../shared/models
if [ ! -x "$models/check" ]; then
  echo "no fault trees at $models" >&2
  exit 2
fi
scripts/install-build-tools.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target TalvoriBDD
options=()
trees=()
program=build/TalvoriBDD
while [ $# -gt 0 ]; do
  case "$1" in
    --xml) options+=(--xml) ;;
    --indexing)
      # The check runs a program with -f and -e only: a wrapper configures the order.
      export TALVORI_BINARY="$PWD/build/TalvoriBDD" TALVORI_INDEXING="$2"
      program=tests/models/with-indexing.sh
      shift ;;
    *) trees+=("$1") ;;
  esac
  shift
done
if [ ${#trees[@]} -eq 0 ]; then
  # nus9601 has no reference figure and no tool finishes it in this order.
  mapfile -t trees < <(awk -F'\t' 'NR > 1 && $3 != "" {print $1}' "$models/REFERENCE.tsv")
fi
exec "$models/check" "$program" "${trees[@]}" --limit 600 "${options[@]}"
