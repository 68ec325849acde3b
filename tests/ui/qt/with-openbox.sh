#!/usr/bin/env bash
# Runs a test program on a real X server with a window manager, which adds
# the frames around windows: Xvfb, openbox, and Qt's xcb platform.
# Usage: with-openbox.sh PROGRAM [ARG...]
# Exits 77 (skipped) when Xvfb is not installed.
set -uo pipefail

if ! command -v Xvfb >/dev/null; then
  echo "SKIPPED: Xvfb is not installed (scripts/deps test installs it)"
  exit 77
fi
if ! command -v openbox >/dev/null; then
  echo "openbox is not installed (scripts/deps test installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# wait_for FILE WHAT: up to 10 s for FILE to be written.
wait_for() {
  for _ in $(seq 100); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  echo "$2 did not start" >&2
  exit 1
}

# Xvfb picks a free display and writes its number once it takes clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
wait_for "$work/display" Xvfb
export DISPLAY=":$(head -n 1 "$work/display")"

openbox --sm-disable --startup "sh -c 'echo ready > $work/wm'" >"$work/openbox.log" 2>&1 &
wm=$!
wait_for "$work/wm" openbox

status=0
QT_QPA_PLATFORM=xcb "$@" || status=$?
exit "$status"
