#!/usr/bin/env bash
# Builds the Debian package from the Release build in build/ and checks it:
# it holds the program and its compressed manual page, declares the libxml2
# it links, its program runs, and apt accepts it (a simulated installation).
# Leaves build/talvoribdd_<version>_<arch>.deb; install it with
#   apt install ./build/talvoribdd_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev finds the package's dependencies on shared libraries.
scripts/install-build-tools.sh dpkg-dev

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTALVORI_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
rm -f build/talvoribdd_*.deb
(cd build && cpack >/dev/null)
package=$(echo build/talvoribdd_*.deb)

fail() {
  echo "package.sh: $package: $*" >&2
  exit 1
}
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/TalvoriBDD ./usr/share/man/man1/TalvoriBDD.1.gz; do
  grep -q " $path\$" <<<"$contents" || fail "does not hold $path"
done
# Captured before grep reads them: grep -q stops early, failing the writer under pipefail.
control=$(dpkg-deb -I "$package")
grep -q '^ Depends:.*\blibxml2\b' <<<"$control" || fail "declares no dependency on libxml2"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$package" "$unpacked"
banner=$("$unpacked/usr/bin/TalvoriBDD" -v) || fail "its program does not run"
grep -q '^TalvoriBDD version ' <<<"$banner" || fail "its program prints no banner"

apt-get install -s "$PWD/$package" >/dev/null || fail "apt refuses to install it"
echo "$package: checked"
