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

for ((i = 0; i < 600; i++)); do [[ -S $sock ]] && break; sleep 0.1; done
[[ -S $sock ]] || fail "no QMP socket"
coproc QMP { socat - "UNIX-CONNECT:$sock" 2>/dev/null; }
# Our own copies of the pipes: bash drops the coprocess's when it ends, as
# it does when QEMU ends. Then reads see the end and writes fail.
qmp_pid=$QMP_PID
exec {qmp_in}<&"${QMP[0]}" {qmp_out}>&"${QMP[1]}"
trap '' PIPE

# Reads QEMU's lines up to the answer to the last command; events and the
# greeting only go to the log.
answer() {
  local line
  while IFS= read -r -t 15 line <&"$qmp_in"; do
    echo "$line" >>"$log"
    case $line in
      *'"return"'*) return 0 ;;
      *'"error"'*) return 1 ;;
    esac
  done
  return 1
}
run() {
  echo "$1" >>"$log"
  echo "$1" >&"$qmp_out" 2>/dev/null && answer
}

run '{"execute": "qmp_capabilities"}' || fail "no QMP session"
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
