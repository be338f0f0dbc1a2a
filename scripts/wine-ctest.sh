#!/usr/bin/env bash
# Runs the Win64 tests under Wine, headless: a private Xvfb display and a
# private Wine prefix, the wineserver and its services started before ctest so
# that no test waits on inherited output, and everything stopped on exit.
# Usage: scripts/wine-ctest.sh <build-dir> [ctest arguments...]
set -euo pipefail
BUILD=$(cd "$1" && pwd); shift
WORK=$(mktemp -d /tmp/solvanta-wine.XXXXXX)
export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export PATH=/usr/lib/wine:$PATH

# A free display number of our own.
DISP=${XVFB_DISPLAY:-}
if [ -z "$DISP" ]; then
  for d in $(seq 90 199); do
    if [ ! -e "/tmp/.X11-unix/X$d" ] && [ ! -e "/tmp/.X$d-lock" ]; then DISP=$d; break; fi
  done
fi
export DISPLAY=:$DISP

cleanup() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  if [ -s "$WINEPREFIX/wineserver" ]; then rm -rf "${TMPDIR:-/tmp}/$(cat "$WINEPREFIX/wineserver")"; fi
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb ":$DISP" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$DISP" ] && break; sleep 0.1; done

mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wine64 wineboot -i </dev/null >"$WORK/wineboot.log" 2>&1
wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1

ctest --test-dir "$BUILD" --output-on-failure "$@"
