#!/bin/bash
# The host side of a scenario that pulls devices on the guest's cue. Over
# QEMU's QMP socket it removes device ID (device_del) as soon as the guest
# leaves SHARE/unplug.ID, then leaves SHARE/unplugged.ID, until the guest
# leaves SHARE/stop or QEMU ends. SHARE/hotplug.log keeps QEMU's answers.
# Exit status 1 when QEMU refused a removal or never offered its socket.
#   lab-unplug-cue.sh SOCKET SHARE
set -uo pipefail
sock=${1:?socket} share=${2:?share}
log=$share/hotplug.log
: >"$log"
fail() { echo "lab-unplug-cue: $*" >>"$log"; exit 1; }

# shellcheck source=tests/lab/lab-qmp.sh
source "$(dirname "$0")/lab-qmp.sh"
qmp_connect "$sock"
removed=0
shopt -s nullglob
until [[ -e $share/stop ]]; do
  kill -0 "$qmp_pid" 2>/dev/null || break  # the guest ended
  for cue in "$share"/unplug.*; do
    id=${cue##*/unplug.}
    rm -f "$cue"
    run "{\"execute\": \"device_del\", \"arguments\": {\"id\": \"$id\"}}" || fail "device_del $id refused"
    touch "$share/unplugged.$id"
    removed=$((removed + 1))
  done
  sleep 0.02
done
echo "lab-unplug-cue: $removed devices removed" >>"$log"
exit 0
