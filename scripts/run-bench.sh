#!/usr/bin/env bash
# Runs every benchmark program that the release build produced.
set -euo pipefail
BIN=$1
for b in "$BIN"/bench_*; do
  [ -x "$b" ] || continue
  echo "=== $(basename "$b") ==="
  "$b"
  echo
done
