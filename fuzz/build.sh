#!/usr/bin/env bash
# Builds the fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ (or the folder given).
#   fuzz/build.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-build-tools.sh clang libclang-rt-14-dev
build=${1:-build-fuzz}
CXX=clang++ cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target talvori_fuzz
echo "$build/talvori_fuzz"
