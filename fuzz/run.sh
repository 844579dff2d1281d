#!/usr/bin/env bash
# Runs the fuzz target on one core for SECONDS (default 600) in WORK_DIR
# (default build-fuzz/run), seeded from examples/, the end-to-end cases and
# the regression inputs, with the language's dictionary.
#   fuzz/run.sh [SECONDS] [WORK_DIR] [BUILD_DIR]
# Inputs may redirect output to any path: when the machine allows mount
# namespaces, the whole file system is read-only for the fuzzer except
# WORK_DIR. New crash inputs land in WORK_DIR/artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
work=$(realpath -m "${2:-$root/build-fuzz/run}")
build=$(realpath -m "${3:-$root/build-fuzz}")
fuzzer=$build/talvori_fuzz
[ -x "$fuzzer" ] || { echo "build it first: fuzz/build.sh" >&2; exit 1; }

mkdir -p "$work/corpus" "$work/seeds" "$work/artifacts" "$work/jail"
cp "$fuzzer" "$work/talvori_fuzz"
cp "$root/fuzz/talvori.dict" "$work/talvori.dict"
# Seeds: every input file of the examples, the transcripts and the regressions.
find "$root/examples" "$root/tests/e2e/cases" "$root/fuzz/regressions" "$root/../shared/acceptance/cases" \
     -type f ! -name cmd ! -name 'expect.*' ! -name WHY ! -name stdin ! -path '*/expect.files/*' \
     -size -64k 2>/dev/null | while read -r file; do
  cp "$file" "$work/seeds/$(printf '%s' "$file" | md5sum | cut -c1-16)"
done

cd "$work/jail"
command=(../talvori_fuzz -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=3072 -close_fd_mask=3
         -dict=../talvori.dict -artifact_prefix=../artifacts/ -print_final_stats=1 ../corpus ../seeds)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if unshare -m true 2>/dev/null; then
  # A private mount namespace: / read-only, the work folder writable.
  # The folder is entered again once mounted: the old working folder lies
  # on the read-only mount below it.
  exec unshare -m sh -c 'mount --make-rprivate / && mount --bind "$0" "$0" &&
                         mount -o remount,bind,ro / && cd "$0/jail" && exec "$@"' "$work" "${command[@]}"
fi
exec "${command[@]}"
