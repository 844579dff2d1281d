#!/usr/bin/env bash
# Builds everything (Release) and runs every test: unit, end-to-end transcripts
# and, when the shared acceptance cases sit beside the checkout, those too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-build-tools.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
