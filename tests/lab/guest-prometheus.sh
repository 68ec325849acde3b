#!/bin/bash
# Runs in the lab's guest, as root: busview-report --prometheus --output on
# the guest's real devices, served by Debian's node exporter on loopback
# (this machine's, through the guest's root), must give the series of
# busview-report --json (tests/cli/prometheus_test.py --devices).
# Usage: guest-prometheus.sh BUSVIEW-REPORT
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The guest's init leaves every interface down.
ip link set lo up 2>/dev/null || busybox ip link set lo up
/usr/bin/python3 "$here/../cli/prometheus_test.py" "${1:?busview-report}" --devices
case $? in
  0) echo "guest-prometheus: the node exporter serves busview's series of every device" ;;
  77) echo "guest-prometheus: skipped: no node exporter or promtool here (scripts/deps test installs them)" ;;
  *) exit 1 ;;
esac
