#!/bin/bash
# Boots a QEMU guest on one of the lab's buses and runs a command in it.
#
#   lab-run.sh [--cache DIR] [--share DIR] [--timeout S] [--fast] SCENARIO -- COMMAND [ARG...]
#   lab-run.sh [--cache DIR] --prepare
#
# The guest's root is this machine's / (read-only 9p, tmpfs overlay on top),
# so COMMAND and everything it runs are this machine's programs. It runs as
# root in the guest, from the current directory; the share directory is the
# one place the guest writes through to this machine: COMMAND's output is copied to stdout,
# and its exit status is lab-run's.
#
# Exit status: COMMAND's; 77 when QEMU is not installed (a skip for CTest);
# 125 when the lab itself failed (no kernel, the guest died or ran out of
# time). --fast boots the uncompressed kernel, about 3 s sooner, but the
# guest then has no BIOS disk data (/sys/firmware/edd). --prepare only makes
# the kernel and initramfs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${LAB_CACHE:-$PWD/lab-cache}
share=
timeout_s=180
fast=
prepare=
while [[ $# -gt 0 ]]; do
  case $1 in
    --cache) cache=$2; shift 2 ;;
    --share) share=$2; shift 2 ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --fast) fast=1; shift ;;
    --prepare) prepare=1; shift ;;
    --) shift; break ;;
    -*) echo "lab-run: unknown option $1" >&2; exit 125 ;;
    *) scenario=$1; shift ;;
  esac
done
[[ -n $prepare || (-n ${scenario:-} && $# -gt 0) ]] || { sed -n '4,5p' "${BASH_SOURCE[0]}" >&2; exit 125; }

qemu=$(command -v qemu-system-x86_64 || true)
if [[ -z $qemu ]]; then
  echo "lab-run: qemu-system-x86_64 is not installed; skipping"
  exit 77
fi

"$here/lab-cache.sh" "$cache" || { echo "lab-run: no guest kernel" >&2; exit 125; }
cache=$(cd "$cache" && pwd)

kernel=$cache/vmlinuz
if [[ -n $fast || -n $prepare ]]; then
  [[ -n $fast ]] && kernel=$cache/vmlinux
  if [[ ! -s $cache/vmlinux ]]; then
    # The xz stream inside the compressed kernel is the ELF image.
    (
      exec 9>"$cache/.lock"
      flock 9
      if [[ ! -s $cache/vmlinux ]]; then
        offset=$(LC_ALL=C grep -abo $'\xfd7zXZ\x00' "$cache/vmlinuz" | head -1 | cut -d: -f1)
        tail -c +$((offset + 1)) "$cache/vmlinuz" | xz -dc 2>/dev/null >"$cache/vmlinux.new" || true
        mv "$cache/vmlinux.new" "$cache/vmlinux"
      fi
    )
  fi
fi
[[ -n $prepare ]] && exit 0

if [[ -z $share ]]; then
  share=$(mktemp -d "${TMPDIR:-/tmp}/lab-share.XXXXXX")
  trap 'rm -rf "$share"' EXIT
fi
mkdir -p "$share"
share=$(cd "$share" && pwd)
rm -f "$share"/{out,rc,console.log,go,stop,cycles,hotplug.log} "$share"/unplug*
images=$share/images
rm -rf "$images"
mkdir -p "$images"

# shellcheck source=lab-scenarios.sh
source "$here/lab-scenarios.sh"
devices=()
hotplug_id=
hotplug_device=
unplug_on_cue=
guest_load=
declare -F "scenario_${scenario//-/_}" >/dev/null ||
  { echo "lab-run: no scenario $scenario" >&2; exit 125; }
"scenario_${scenario//-/_}"

# The command, quoted for bash in the guest, run from this directory (the
# guest sees the same tree).
{
  echo '#!/bin/bash'
  printf 'cd %q || exit 125\n' "$PWD"
  printf 'exec'
  printf ' %q' "$@"
  echo
} >"$share/cmd"

# A scenario that names a device to unplug gets QEMU's QMP socket and the
# host side that drives it.
hotplug_pid=
if [[ -n $hotplug_id ]]; then
  qmp_dir=$(mktemp -d "${TMPDIR:-/tmp}/lab-qmp.XXXXXX")
  devices+=(-qmp "unix:$qmp_dir/qmp.sock,server=on,wait=off")
  "$here/lab-hotplug.sh" "$qmp_dir/qmp.sock" "$share" "$hotplug_id" "$hotplug_device" &
  hotplug_pid=$!
elif [[ -n $unplug_on_cue ]]; then
  qmp_dir=$(mktemp -d "${TMPDIR:-/tmp}/lab-qmp.XXXXXX")
  devices+=(-qmp "unix:$qmp_dir/qmp.sock,server=on,wait=off")
  "$here/lab-unplug-cue.sh" "$qmp_dir/qmp.sock" "$share" &
  hotplug_pid=$!
fi

started=$(date +%s.%N)
status=0
timeout --kill-after=5 "$timeout_s" "$qemu" \
  -accel tcg -cpu max -machine q35 -smp 1 -m 1536 \
  -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" -initrd "$cache/initramfs.gz" \
  -append "console=ttyS0 ${LAB_KERNEL_ARGS:-quiet} panic=-1 lab.share=$share${guest_load:+ lab.load=$guest_load}" \
  -serial "file:$share/console.log" \
  -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap" \
  -virtfs "local,path=$share,mount_tag=labshare,security_model=none,multidevs=remap" \
  "${devices[@]}" </dev/null || status=$?
elapsed=$(echo "$(date +%s.%N) - $started" | bc 2>/dev/null || echo "?")

[[ -f $share/out ]] && cat "$share/out"
rm -rf "$images"
hotplug_status=0
if [[ -n $hotplug_pid ]]; then
  wait "$hotplug_pid" || hotplug_status=$?
  rm -rf "$qmp_dir"
  tail -n 1 "$share/hotplug.log"
fi
if [[ ! -s $share/rc ]]; then
  echo "lab-run: the guest ended without a result (qemu status $status, ${elapsed}s); its console:" >&2
  tail -n 40 "$share/console.log" >&2 || true
  exit 125
fi
echo "lab-run: $scenario done in ${elapsed}s" >&2
if ((hotplug_status != 0)); then
  echo "lab-run: the host side failed; its log:" >&2
  tail -n 20 "$share/hotplug.log" >&2
  exit 1
fi
exit "$(cat "$share/rc")"
