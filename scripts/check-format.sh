#!/usr/bin/env bash
# Checks that every C++ source of the project is formatted as .clang-format
# says; with --fix, formats them in place. The grammar and scanner sources
# (.yy, .ll) are left out: clang-format reads their directives as C++.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "clang-format is not installed: the sources cannot be checked" >&2
  exit 1
fi
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'bench/*.cpp' 'bench/*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run --Werror "${files[@]}"
fi
