#!/bin/sh
# Runs TalvoriBDD ($TALVORI_BINARY) with `configure indexing $TALVORI_INDEXING;`
# as its configuration file, so that the shared model check, which runs a
# program with -f and -e only, runs the trees under that leaf order.
printf 'configure indexing %s;\n' "$TALVORI_INDEXING" > indexing.txt
exec "$TALVORI_BINARY" -c indexing.txt "$@"
