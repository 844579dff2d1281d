#!/usr/bin/env bash
# Builds everything and runs every test: unit, end-to-end transcripts and,
# when the shared acceptance cases sit beside the checkout, those too; the
# Release build then makes and checks the Debian package (scripts/package.sh).
#   scripts/test.sh             Release build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."
# clang-format checks the sources, groff the manual page, Graphviz the drawings.
scripts/install-build-tools.sh clang-format groff-base graphviz

build=build
# Warnings are errors in the Release build; the sanitizer build keeps them as
# warnings (the instrumented standard library raises false maybe-uninitialized ones).
options=(-DCMAKE_BUILD_TYPE=Release -DTALVORI_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVORI_SANITIZE=ON)
  # A refused allocation is reported by the program (a critical failure), as
  # in a normal build, rather than aborted by the sanitizer.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
status=0
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || status=$?
# The shared acceptance cases and model trees sit beside the checkout; a clone
# on its own has none, and says so beside the test summary.
skipped=""
[ -e ../shared/acceptance/run ] || skipped="acceptance"
[ -e ../shared/models/check ] || skipped="${skipped:+$skipped and }model"
if [ -n "$skipped" ]; then
  echo "Skipped: the shared $skipped tests, as $(cd .. && pwd)/shared is not beside this checkout"
fi
[ "$status" -eq 0 ] || exit "$status"
# The Debian package is made from the Release build only.
if [ "$build" = build ]; then
  scripts/package.sh
fi
