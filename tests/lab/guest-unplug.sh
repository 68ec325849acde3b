#!/bin/bash
# Runs in an unplug scenario's guest, as root: waits for the adapter's device
# (a USB stick comes up after boot), lets the host side start unplugging, runs
# the loop as root and as nobody at the same time, and lets the host side stop.
# Usage: guest-unplug.sh ADAPTER-NAME TARGET UNPLUG_LOOP-PROGRAM
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
name=${1:?adapter name} target=${2:?target} loop=${3:?program}
share=$(sed -n 's/.*lab\.share=\([^ ]*\).*/\1/p' /proc/cmdline)
cycles=10 seconds=150

device=
for ((i = 0; i < 300; i++)); do
  for host in /sys/class/scsi_host/host*; do
    [[ $(cat "$host/proc_name" 2>/dev/null) == "$name" ]] || continue
    candidate=/sys/bus/scsi/devices/${host##*host}:0:$target:0
    [[ -d $candidate/block ]] && device=$candidate
  done
  [[ -n $device ]] && break
  sleep 0.1
done
[[ -n $device ]] || { echo "guest-unplug: no $name device at target $target"; touch "$share/stop"; exit 1; }
echo "guest-unplug: $device ($(tr -s ' ' <"$device/model"))"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 LSAN_OPTIONS=suppressions=$here/../lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
runtime=/tmp/runtime-nobody
mkdir -p "$runtime" && chown 65534:65534 "$runtime"
"$loop" "$name" "$target" "$share/cycles" $cycles $seconds >/tmp/root.out 2>&1 &
root=$!
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=$runtime \
  "$loop" "$name" "$target" "$share/cycles" $cycles $seconds >/tmp/nobody.out 2>&1 &
nobody=$!
for ((i = 0; i < 300; i++)); do
  grep -qs surveyed /tmp/root.out && grep -qs surveyed /tmp/nobody.out && break
  sleep 0.1
done
touch "$share/go"
status=0
wait $root || status=1
wait $nobody || status=1
touch "$share/stop"
echo "== as root"; cat /tmp/root.out
echo "== as nobody"; cat /tmp/nobody.out
exit $status
