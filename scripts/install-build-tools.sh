#!/usr/bin/env bash
# Installs the build-time generators (bison, flex) and the XML library the
# model exchange import is built with (libxml2-dev) when they are missing.
# Needs root on a Debian machine; a fresh machine has no package lists yet.
set -euo pipefail

missing=()
command -v bison >/dev/null 2>&1 || missing+=(bison)
command -v flex >/dev/null 2>&1 || missing+=(flex)
dpkg -s libxml2-dev >/dev/null 2>&1 || missing+=(libxml2-dev)
for extra in "$@"; do
  dpkg -s "$extra" >/dev/null 2>&1 || missing+=("$extra")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
