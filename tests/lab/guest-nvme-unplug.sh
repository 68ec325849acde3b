#!/bin/bash
# Runs in the nvme guest, as root, after its checks: busview-report
# --detailed (built with AddressSanitizer and UndefinedBehaviorSanitizer) runs
# again and again while the host side pulls the second NVMe controller
# (device_del over QMP, QEMU ID nvme1). Every run must end with status 0 and
# no sanitizer finding, one at least must have been under way while the
# controller went, and every run must show the other devices as before (the
# runs that start once it is gone number the adapters after it one lower)
# and those after the removal the pulled namespace no more.
# Usage: guest-nvme-unplug.sh BUSVIEW_REPORT
set -u
report=${1:?program}
share=$(sed -n 's/.*lab\.share=\([^ ]*\).*/\1/p' /proc/cmdline)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/lab/lab-displays.sh
source "$here/lab-displays.sh"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 LSAN_OPTIONS=suppressions=$here/../lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
fail() { echo "guest-nvme-unplug: $*"; status=1; }
now() { cut -d' ' -f1 /proc/uptime; }
work=/tmp/nvme-unplug
rm -rf "$work" && mkdir -p "$work"

serial=$(grep -l BVNVME02 /sys/class/nvme/nvme*/serial) || { echo "guest-nvme-unplug: no controller BVNVME02"; exit 1; }
pulled=$(dirname "$serial")
# The NVMe adapters follow the SCSI ones, in the controllers' order.
controllers=$(ls -d /sys/class/nvme/nvme* | sed 's/.*nvme//' | sort -n)
rank=$(grep -nx "${pulled##*/nvme}" <<<"$controllers" | cut -d: -f1)
"$report" --detailed --encoding utf-8 >"$work/before" 2>"$work/before.err" || fail "busview-report before: $?"
adapters=$(sed -n 's/^ホストアダプタの数 *= //p' "$work/before")
adapter=$((adapters - $(wc -l <<<"$controllers") + rank - 1))
header="HostNo $adapter,ID 0 の装置"
grep -qx "$header" "$work/before" || fail "busview-report did not show '$header' before"

(
  run=0
  until [[ -e $work/stop ]]; do
    started=$(now)
    "$report" --detailed --encoding utf-8 >"$work/run.$run" 2>"$work/run.$run.err"
    echo "$run $? $started $(now)" >>"$work/runs"
    run=$((run + 1))
  done
) &
loop=$!
sleep 0.5
cue=$(now)
echo "[$cue s] pulling ${pulled##*/} ($header)"
touch "$share/unplug.nvme1"
for ((tries = 0; tries < 400; tries++)); do
  [[ -e $share/unplugged.nvme1 && ! -e $pulled ]] && break
  sleep 0.05
done
gone=$(now)
[[ -e $pulled ]] && fail "${pulled##*/} is still there"
echo "[$gone s] ${pulled##*/} is gone"
# Two whole runs after the removal.
for ((tries = 0; tries < 1200; tries++)); do
  (($(awk -v gone="$gone" '$3 > gone' "$work/runs" 2>/dev/null | wc -l) >= 2)) && break
  sleep 0.05
done
touch "$work/stop"
wait "$loop"

# The other devices' displays as a run that surveyed with the controller
# shows them, and as one that surveyed without it.
displays_without "$work/before" "$header" >"$work/old"
awk -v p="$adapter" 'match($0, /^HostNo [0-9]+,/) {
    n = substr($0, 8, RLENGTH - 8) + 0
    if (n > p) $0 = "HostNo " (n - 1) substr($0, RLENGTH + 1)
  } { print }' "$work/old" >"$work/new"
overlapped=0
while read -r run rc started ended; do
  ((rc == 0)) || fail "run $run: exit status $rc"
  if grep -q -e Sanitizer -e 'runtime error' "$work/run.$run.err"; then
    fail "run $run: a sanitizer finding"
    cat "$work/run.$run.err"
  fi
  # Once the controller is gone a run surveys without it; before, it may
  # still show the pulled namespace, or a part of its display.
  displays_without "$work/run.$run" "$header" >"$work/others.$run"
  displays_without "$work/run.$run" "" >"$work/all.$run"
  if awk -v s="$started" -v g="$gone" 'BEGIN { exit !(s > g) }'; then
    cmp -s "$work/new" "$work/all.$run" || fail "run $run: $(diff "$work/new" "$work/all.$run")"
  else
    cmp -s "$work/old" "$work/others.$run" || cmp -s "$work/new" "$work/all.$run" ||
      fail "run $run: the other devices changed"
    awk -v e="$ended" -v c="$cue" 'BEGIN { exit !(e > c) }' && overlapped=$((overlapped + 1))
  fi
done <"$work/runs"
first=$(head -1 "$work/runs" | cut -d' ' -f3) last=$(tail -1 "$work/runs" | cut -d' ' -f4)
echo "guest-nvme-unplug: $(wc -l <"$work/runs") runs from $first s to $last s," \
  "$overlapped under way while the controller went"
((overlapped > 0)) || fail "no run was under way while the controller went"
touch "$share/stop"
echo "guest-nvme-unplug: $([[ $status == 0 ]] && echo passed || echo FAILED)"
exit $status
