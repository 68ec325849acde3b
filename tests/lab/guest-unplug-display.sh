#!/bin/bash
# Runs in the unplug-display guest, as root. For the virtio-scsi disk and
# then the USB stick: keeps a slow read under way on the device (it holds the
# device's one command slot), starts busview-report --detailed (built with
# AddressSanitizer and UndefinedBehaviorSanitizer) and, once one of its
# commands to the device waits, has the host side pull the device over QMP.
# Its geometry request waits behind the read too, and must give up within
# the layer's 10 s. busview-report must end with status 0 and no sanitizer
# finding; the next run must show every other device as before, and the
# pulled one no more.
# Usage: guest-unplug-display.sh BUSVIEW_REPORT
set -u
report=${1:?program}
share=$(sed -n 's/.*lab\.share=\([^ ]*\).*/\1/p' /proc/cmdline)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 LSAN_OPTIONS=suppressions=$here/../lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
fail() { echo "guest-unplug-display: $*"; status=1; }
say() { echo "[$(cut -d' ' -f1 /proc/uptime) s] $*"; }

# The device at target 0 of the host of driver NAME, polled for 20 s (a USB
# stick comes up a moment after boot).
device_of() {
  local tries host proc
  for ((tries = 0; tries < 200; tries++)); do
    for host in /sys/class/scsi_host/host*; do
      read -r proc <"$host/proc_name"
      [[ $proc == "$1" && -d /sys/bus/scsi/devices/${host##*host}:0:0:0/block ]] &&
        { echo "/sys/bus/scsi/devices/${host##*host}:0:0:0"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# Whether process PID has a SCSI command under way on the node NODE beside
# the disk information's read of block 0, which it gave up on: the layer
# holds the node open from handing a command over until its answer.
waits_on() {
  local fd open=0
  for fd in /proc/"$1"/fd/*; do
    [[ $(readlink "$fd" 2>/dev/null) == "$2" ]] && ((open++))
  done
  ((open >= 2))
}

# shellcheck source=tests/lab/lab-displays.sh
source "$here/lab-displays.sh"

# Each pull compares with the display before it: the first run's, then the
# one after the last pull.
say "first display"
"$report" --detailed --encoding utf-8 >/tmp/before 2>&1 || fail "busview-report before: $?"

pull() { # QEMU-ID DRIVER PRODUCT
  local id=$1 driver=$2 product=$3 dev sg block dd_pid pid tries rc waited='' header
  say "pulling $id ($driver, $product)"
  dev=$(device_of "$driver") || { fail "no $driver device"; return; }
  sg=$(ls "$dev/scsi_generic") block=$(ls "$dev/block")
  header=$(python3 -c 'import sys; print(next(b.split("\n")[0] for b in open("/tmp/before").read().split("\n\n") if sys.argv[1] in b))' "$product") ||
    { fail "busview-report did not show $product before"; return; }
  # One command at a time, and a read of 1 MiB under way, 32 s in QEMU: every
  # other command waits for it. busview's geometry request does too (the
  # kernel reads the partition table for it); the layer gives up on it after
  # its 10 s wait, and the display goes on to the device's SCSI commands.
  { echo 1 >"$dev/queue_depth"; } 2>/dev/null  # usb-storage has but one anyway
  dd if="/dev/$block" of=/dev/null bs=1M count=4 iflag=direct status=none 2>/dev/null &
  dd_pid=$!
  "$report" --detailed --encoding utf-8 >"/tmp/during.$id" 2>"/tmp/during.$id.err" &
  pid=$!
  # The geometry request may hold it up for its 10 s, no longer.
  local deadline=$((SECONDS + 25))
  while ((SECONDS < deadline)); do
    waits_on "$pid" "/dev/$sg" && { waited=1; break; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  [[ -n $waited ]] || fail "busview-report did not reach /dev/$sg within 25 s"
  say "busview-report waits on /dev/$sg"
  touch "$share/unplug.$id"
  for ((tries = 0; tries < 300; tries++)); do
    [[ -e $share/unplugged.$id && ! -e $dev ]] && break
    sleep 0.05
  done
  [[ -e $share/unplugged.$id ]] || fail "the host side did not pull $id"
  [[ -e $dev ]] && fail "$dev is still there"
  say "$id is gone"
  wait "$pid"
  rc=$?
  say "busview-report ended"
  kill "$dd_pid" 2>/dev/null
  wait "$dd_pid" 2>/dev/null
  ((rc == 0)) || fail "busview-report during the removal: exit status $rc"
  if grep -q -e Sanitizer -e 'runtime error' "/tmp/during.$id.err"; then
    fail "a sanitizer finding"
    cat "/tmp/during.$id.err"
  fi
  echo "-- its display as it went:"
  display_of "/tmp/during.$id" "$header" | tee "/tmp/went.$id"
  # Its READ CAPACITY, at least, waited behind a read until it failed.
  grep -q "Read Capacity" "/tmp/went.$id" && fail "the display of $id ended before the removal"
  "$report" --detailed --encoding utf-8 >/tmp/after 2>&1 || fail "busview-report after: $?"
  grep -q -e "$product" -e "^$header\$" /tmp/after && fail "the next display still shows $product"
  cmp -s <(displays_without /tmp/before "$header") <(displays_without /tmp/after "$header") ||
    fail "the other devices changed: $(diff <(displays_without /tmp/before "$header") \
      <(displays_without /tmp/after "$header"))"
  cmp -s <(displays_without /tmp/before "$header") <(displays_without "/tmp/during.$id" "$header") ||
    fail "the other devices changed during the removal"
  mv /tmp/after /tmp/before
  say "$id done"
}

pull disk virtio_scsi "PULLED DISK"
pull stick usb-storage "QEMU HARDDISK"
touch "$share/stop"
echo "guest-unplug-display: $([[ $status == 0 ]] && echo passed || echo FAILED)"
exit $status
