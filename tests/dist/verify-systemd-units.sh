#!/bin/bash
# systemd-analyze verifies the service and the timer (with the service's
# busview-report the one of this build: the installed one is not there
# yet), and rates the service's exposure: at most 1.0 ("SAFE"; the
# threshold counts tenths).
# Usage: verify-systemd-units.sh SERVICE TIMER BUSVIEW-REPORT
set -u
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is missing; skipping"; exit 77; }
units=$(mktemp -d)
trap 'rm -rf "$units"' EXIT
sed "s|^ExecStart=[^ ]*|ExecStart=$3|" "$1" >"$units/$(basename "$1")"
cp "$2" "$units/"
status=0
out=$(systemd-analyze verify --man=no "$units"/* 2>&1) || status=1
[[ -z $out ]] || { echo "$out"; status=1; }
systemd-analyze security --offline=true --threshold=10 --no-pager "$units/$(basename "$1")" >"$units/rating" 2>&1 ||
  { cat "$units/rating"; status=1; }
tail -1 "$units/rating"
exit $status
