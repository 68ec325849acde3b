#!/bin/bash
# The host side of an unplug scenario. Over QEMU's QMP socket it removes the
# device ID (device_del) and adds it back (device_add with DEVICE-JSON), one
# step every 1 to 1.5 s, from the moment the guest leaves SHARE/go until it
# leaves SHARE/stop or QEMU ends. SHARE/cycles counts the remove/re-add
# cycles done; SHARE/hotplug.log keeps QEMU's answers and events.
# Exit status 1 when QEMU refused a step or never offered its socket.
#   lab-hotplug.sh SOCKET SHARE ID DEVICE-JSON
set -uo pipefail
sock=${1:?socket} share=${2:?share} id=${3:?id}
device=$(tr -s '\n ' '  ' <<<"${4:?device}")
log=$share/hotplug.log
: >"$log"
echo 0 >"$share/cycles"
fail() { echo "lab-hotplug: $*" >>"$log"; exit 1; }

# shellcheck source=tests/lab/lab-qmp.sh
source "$(dirname "$0")/lab-qmp.sh"
qmp_connect "$sock"
until [[ -e $share/go || -e $share/stop ]]; do
  kill -0 "$qmp_pid" 2>/dev/null || exit 0  # the guest ended first
  sleep 0.1
done

cycles=0
pause() { sleep "1.$((RANDOM % 6))"; }
while [[ ! -e $share/stop ]] && ((cycles < 100)); do
  pause
  run "{\"execute\": \"device_del\", \"arguments\": {\"id\": \"$id\"}}" ||
    { [[ -e $share/stop ]] && break; fail "device_del refused"; }
  pause
  # device_del of a SCSI or USB device ends at once, yet give QEMU a moment.
  for ((try = 0; ; try++)); do
    run "{\"execute\": \"device_add\", \"arguments\": $device}" && break
    [[ -e $share/stop ]] && break 2
    ((try < 10)) || fail "device_add refused"
    sleep 0.2
  done
  cycles=$((cycles + 1))
  echo "$cycles" >"$share/cycles.new" && mv "$share/cycles.new" "$share/cycles"
done
echo "lab-hotplug: $cycles cycles" >>"$log"
exit 0
