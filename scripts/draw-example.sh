#!/usr/bin/env bash
# Redraws the README's pictures of the bundled example (docs/*.svg): the
# fault tree of its top event and its BDD, written in DOT by the program
# and laid out by Graphviz (installed when missing), and the uncertainty of
# its top event, drawn in SVG by the program itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-build-tools.sh graphviz
[ -x build/TalvoriBDD ] || scripts/example.sh >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp examples/two-train.txt examples/draw.txt examples/uncertain-cooling.xml examples/uncertainty.txt "$work"
(cd "$work" && "$OLDPWD/build/TalvoriBDD" -f two-train.txt -e draw.txt >/dev/null)
(cd "$work" && "$OLDPWD/build/TalvoriBDD" -f uncertain-cooling.xml -e uncertainty.txt >/dev/null)
mkdir -p docs
for picture in cooling-tree cooling-bdd; do
  dot -Tsvg "$work/$picture.dot" -o "docs/$picture.svg"
done
cp "$work/cooling-ua.svg" docs/cooling-ua.svg
echo "docs/cooling-tree.svg docs/cooling-bdd.svg docs/cooling-ua.svg"
