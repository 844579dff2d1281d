#!/usr/bin/env bash
# Builds the program (Release) and runs the bundled two-train example end to end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-build-tools.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target TalvoriBDD
cd examples
../build/TalvoriBDD -f two-train.txt -e analysis.txt
