#!/bin/bash
# Times, in a lab guest, busview-report --all --json against the peers'
# way to the same facts: lsscsi -g --wwn, then sg_inq -p 0x80 on every
# device; on scsi_debug with 2 hosts x 12 targets x 3 LUNs (72 devices),
# then with 4 x 16 x 8 (512). Prints the medians and their ratios, and how
# each grows from 72 devices to 512; busview-report also with one request
# after the other (BUSVIEW_REPORT_IN_FLIGHT=1), as the window asks.
# Not a test: the figures depend on the machine.
#
#   lab-benchmark-wide.sh BUILD_DIR [ROUNDS]
#
# BUILD_DIR is a plain build with the lab (build/plain); ROUNDS defaults to 5.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?usage: lab-benchmark-wide.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
report=$build/src/cli/busview-report
[[ -x $report ]] || { echo "lab-benchmark-wide: $report is not built" >&2; exit 1; }

if [[ ${3:-} != --in-guest ]]; then
  exec "$here/lab-run.sh" --cache "$build/lab-cache" --fast --timeout 3000 \
    none -- "${BASH_SOURCE[0]}" "$build" "$rounds" --in-guest
fi

# In the guest, as root.
report() { "$report" --all --json >/dev/null 2>&1; }
report_alone() { BUSVIEW_REPORT_IN_FLIGHT=1 report; }
peers() {
  lsscsi -g --wwn >/dev/null
  local sg
  for sg in /sys/class/scsi_generic/*; do sg_inq -p 0x80 "/dev/${sg##*/}" >/dev/null 2>&1 || true; done
}

source "$here/median-ms.sh"

declare -A report_ms alone_ms peers_ms
for shape in "2 12 3" "4 16 8"; do
  read -r hosts targets luns <<<"$shape"
  want=$((hosts * targets * luns))
  busybox insmod /run/lab-modules/scsi_debug.ko add_host="$hosts" num_tgts="$targets" \
    max_luns="$luns" dev_size_mb=1
  for ((tries = 0; tries < 1200; tries++)); do
    (($(ls /sys/class/scsi_generic | wc -l) >= want)) && break
    sleep 0.5
  done
  devices=$(ls /sys/class/scsi_generic | wc -l)
  report_ms[$want]=$(median_ms report)
  alone_ms[$want]=$(median_ms report_alone)
  peers_ms[$want]=$(median_ms peers)
  echo "$devices devices ($hosts hosts x $targets targets x $luns LUNs):"
  echo "  busview-report --all --json:            ${report_ms[$want]} ms"
  echo "  the same, one request after the other:  ${alone_ms[$want]} ms"
  echo "  lsscsi -g --wwn + sg_inq -p 0x80 each:  ${peers_ms[$want]} ms"
  echo "  ratio busview-report / peers:           $(echo "scale=2; ${report_ms[$want]} / ${peers_ms[$want]}" | bc)"
  echo "  ratio one after the other / peers:      $(echo "scale=2; ${alone_ms[$want]} / ${peers_ms[$want]}" | bc)"
  busybox rmmod scsi_debug
  for ((tries = 0; tries < 600; tries++)); do
    [[ -z $(ls /sys/class/scsi_generic) ]] && break
    sleep 0.5
  done
done
echo "growth from 72 to 512 devices: busview-report x$(echo "scale=2; ${report_ms[512]} / ${report_ms[72]}" | bc)," \
  "peers x$(echo "scale=2; ${peers_ms[512]} / ${peers_ms[72]}" | bc)"
