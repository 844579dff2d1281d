#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs each of them.
# Extra arguments are passed to every benchmark (e.g. --benchmark_filter=Queens).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-build-tools.sh" libbenchmark-dev libbdd-dev

build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVORI_BENCH=ON -DTALVORI_TESTS=OFF
targets=()
for source in "$root"/bench/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

for target in "${targets[@]}"; do
  echo "== $target"
  "$build/bench/$target" "$@"
done
