#!/bin/bash
# Times, in a lab guest, busview's full survey with a detailed display of
# every device, and busview-report --detailed, against the same ground
# covered by the peers: lsscsi -g, then sg_inq and sg_readcap on every
# device. Prints the times and their ratios.
# Not a test: the figures depend on the machine.
#
#   lab-benchmark.sh BUILD_DIR [ROUNDS]
#
# BUILD_DIR is a plain build with the lab (build/plain); ROUNDS defaults to 5.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?usage: lab-benchmark.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
checks=$build/tests/lab/lab_checks
report=$build/src/cli/busview-report
[[ -x $checks ]] || { echo "lab-benchmark: $checks is not built" >&2; exit 1; }
[[ -x $report ]] || { echo "lab-benchmark: $report is not built" >&2; exit 1; }

if [[ ${3:-} != --in-guest ]]; then
  exec "$here/lab-run.sh" --cache "$build/lab-cache" --fast --timeout 400 \
    bench -- "${BASH_SOURCE[0]}" "$build" "$rounds" --in-guest
fi

# In the guest, as root.
export QT_QPA_PLATFORM=offscreen
peers() {
  # The sg node is the last field; product names hold blanks.
  lsscsi -g | awk '$NF ~ /^\/dev\/sg/ { print $NF }' | while read -r sg; do
    sg_inq "$sg" >/dev/null 2>&1 || true
    sg_readcap "$sg" >/dev/null 2>&1 || true
  done
}
busview() { "$checks" --print >/dev/null 2>&1; }
report() { "$report" --detailed >/dev/null 2>&1; }
# Start-up alone: the program loads, surveys the adapters and runs no check.
startup() { "$checks" --gtest_filter=-* >/dev/null 2>&1; }

source "$here/median-ms.sh"

devices=$(lsscsi -g | grep -c '/dev/sg' || true)
busview_ms=$(median_ms busview)
startup_ms=$(median_ms startup)
peers_ms=$(median_ms peers)
report_ms=$(median_ms report)
echo "devices:                          $devices"
echo "busview, survey + every detail:   ${busview_ms} ms"
echo "  of which start-up and survey:   ${startup_ms} ms"
echo "lsscsi -g + sg_inq + sg_readcap:  ${peers_ms} ms"
echo "ratio busview / peers:            $(echo "scale=2; $busview_ms / $peers_ms" | bc)"
echo "ratio without busview's start-up: $(echo "scale=2; ($busview_ms - $startup_ms) / $peers_ms" | bc)"
echo "busview-report --detailed:        ${report_ms} ms"
echo "ratio busview-report / peers:     $(echo "scale=2; $report_ms / $peers_ms" | bc)"
