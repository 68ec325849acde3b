#!/bin/bash
# Runs in the lab's guest, as root: gathers what the peers say about the
# devices, then runs the window's checks for the scenario and compares
# busview-report --json with the peers, as root and, for two-adapters,
# desktop and nvme, once more as nobody (the sg nodes stay root-only). Given
# a Debian package, then installs, runs and removes it (guest-package.sh);
# for nvme, given busview-report built with the sanitizers, then pulls an
# NVMe controller while it runs (guest-nvme-unplug.sh); for two-adapters,
# serves busview.prom through the node exporter (guest-prometheus.sh).
# Usage: guest-checks.sh SCENARIO LAB_CHECKS-PROGRAM [PACKAGE WINDOW-PROBE | SANITIZED-REPORT]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scenario=${1:?scenario}
checks=${2:?program}
report=$(cd "$(dirname "$checks")/../.." && pwd)/src/cli/busview-report

# Waits until the hosts of each driver have that many devices with block
# nodes, 20 s at most: libata probes its ports in the background, and USB
# devices come a moment after boot. Usage: wait_for_devices DRIVER:COUNT...
wait_for_devices() {
  local want dev address host name tries ready
  local -A count
  for ((tries = 0; tries < 400; tries++)); do
    count=()
    for dev in /sys/bus/scsi/devices/*:*:*:*; do
      [[ -d $dev/block ]] || continue
      address=${dev##*/}
      name=
      host=/sys/class/scsi_host/host${address%%:*}
      read -r name <"$host/proc_name"
      # uas has no proc name: the driver of the USB interface names it.
      [[ $name == "(null)" ]] && name=$(basename "$(readlink -f "$host/device/../driver")")
      count[$name]=$((${count[$name]:-0} + 1))
    done
    ready=1
    for want in "$@"; do
      ((${count[${want%:*}]:-0} >= ${want##*:})) || ready=
    done
    [[ -n $ready ]] && return 0
    sleep 0.05
  done
  echo "guest-checks: still waiting for $* after 20 s"
  lsscsi -H
  return 1
}
[[ $scenario == desktop ]] && { wait_for_devices ahci:2 usb-storage:1 uas:1 || exit 1; }

# Waits until COUNT NVMe namespaces have their block devices, 20 s at most:
# the controllers come up in the background.
wait_for_namespaces() { # COUNT
  local tries nodes
  for ((tries = 0; tries < 400; tries++)); do
    nodes=(/dev/nvme[0-9]*n[0-9]*)
    [[ -e ${nodes[0]} ]] && ((${#nodes[@]} >= $1)) && return 0
    sleep 0.05
  done
  echo "guest-checks: still waiting for $1 NVMe namespaces after 20 s"
  ls -l /sys/class/nvme/*/
  return 1
}
[[ $scenario == nvme ]] && { wait_for_devices ahci:1 && wait_for_namespaces 3 || exit 1; }

peers=/tmp/lab-peers
"$here/collect-peers.sh" "$peers" || { echo "guest-checks: the peers failed"; exit 1; }
chmod -R a+rX "$peers"
export LAB_PEERS=$peers QT_QPA_PLATFORM=offscreen

run_as_nobody() {
  local runtime=/tmp/runtime-nobody
  mkdir -p "$runtime" && chown 65534:65534 "$runtime" && chmod 700 "$runtime"
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME=/tmp XDG_RUNTIME_DIR="$runtime" "$@"
}

status=0
"$here/report-vs-peers.py" "$report" "$peers" || status=1
[[ $scenario == two-adapters || $scenario == desktop || $scenario == nvme ]] && { run_as_nobody "$here/report-vs-peers.py" "$report" "$peers" || status=1; }
case $scenario in
  two-adapters)
    "$checks" --gtest_filter='Bus.*:TwoAdapters.*' || status=1
    run_as_nobody "$checks" --gtest_filter='Unprivileged.*' || status=1
    "$here/guest-prometheus.sh" "$report" || status=1
    ;;
  big-disk) "$checks" --gtest_filter='Bus.*:BigDisk.*' || status=1 ;;
  raid) "$checks" --gtest_filter='Bus.*:Raid.*' || status=1 ;;
  desktop)
    "$checks" --gtest_filter='Bus.*:Desktop.*' || status=1
    run_as_nobody "$checks" --gtest_filter='Unprivileged.*' || status=1
    ;;
  nvme)
    "$checks" --gtest_filter='Bus.*:Nvme.*:NvmeVpd.*' || status=1
    run_as_nobody "$checks" --gtest_filter='Unprivileged.*:NvmeVpd.*' || status=1
    "$here/guest-nvme-unplug.sh" "${3:?busview-report built with the sanitizers}" || status=1
    ;;
  *) echo "guest-checks: no checks for $scenario"; status=1 ;;
esac
if [[ $# -ge 4 ]]; then
  "$here/guest-package.sh" "$3" "$report" "$4" || status=1
fi
exit $status
