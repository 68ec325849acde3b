#!/bin/bash
# What lsscsi, sg3_utils and the kernel say about the guest's SCSI devices
# and NVMe namespaces, gathered as root into DIR for the checks (which may
# run unprivileged):
#   hosts.txt            lsscsi -g -H (NVMe controllers as [N:c] too)
#   devices.txt          lsscsi -g -N (SCSI devices only)
#   nvme.txt             lsscsi's NVMe namespaces, [N:c:cntlid:nsid]
#   nvme-transports.txt  "c transport" for every controller, from sysfs
#   H:C:T:L.inq          sg_inq -H (the first 36 bytes of standard INQUIRY)
#   H:C:T:L.cap          READ CAPACITY(10) by sg_readcap (by sg_raw where it
#                        overflowed); absent when it failed
#   H:C:T:L.cap16        sg_readcap's READ CAPACITY(16), where (10) overflowed
#   H:C:T:L.geometry     "heads sectors" of the block device (HDIO_GETGEO)
#   H:C:T:L.mbr          the disk signature in its first sector, hexadecimal
# and for each NVMe namespace, N:c:cntlid:nsid.block (its block device),
# .sinq (sg_vpd -p sinq -H: the standard INQUIRY data sg3_utils translates),
# .sn and .di (sg_vpd -p sn / di -H), and .cap, .cap16, .geometry and .mbr
# as above.
# With LAB_PEERS_WINDOW_ONLY set, the per-device files are made only for the
# devices the window reaches (targets 0-7, LUN 0): under emulation each tool
# takes a good part of a second, and a bus of many LUNs has dozens more.
# Usage: collect-peers.sh DIR
set -euo pipefail
dir=${1:?usage: collect-peers.sh DIR}
mkdir -p "$dir"
lsscsi -g -H >"$dir/hosts.txt"
lsscsi -g -N >"$dir/devices.txt"
# lsscsi knows no multipath paths (it names no block device for them, and
# says so on standard error).
lsscsi 2>/dev/null | grep '^\[N:' >"$dir/nvme.txt" || true
: >"$dir/nvme-transports.txt"
for controller in /sys/class/nvme/nvme*; do
  [[ -e $controller ]] && echo "${controller##*/nvme} $(cat "$controller/transport")" >>"$dir/nvme-transports.txt"
done

# The block device of namespace NSID of controller C: under the controller,
# or, for a path nvmeScCnN of native multipath, under its subsystem.
nvme_block() { # C NSID
  local entry head link
  for entry in /sys/class/nvme/nvme"$1"/nvme*n*; do
    [[ $(cat "$entry/nsid" 2>/dev/null) == "$2" ]] || continue
    if [[ ${entry##*/} != *c* ]]; then echo "${entry##*/}"; return; fi
    for link in /sys/class/nvme-subsystem/*/nvme"$1"; do
      for head in "${link%/*}"/nvme*n*; do
        [[ $(cat "$head/nsid" 2>/dev/null) == "$2" ]] && { echo "${head##*/}"; return; }
      done
    done
  done
}

# Capacity, geometry and signature of a disk: NODE (what sg3_utils opens),
# BLOCK (its block device), and the files' common name.
disk_peers() { # NODE BLOCK NAME
  local node=$1 block=$2 name=$3 lba b
  sg_readcap "$node" >"$dir/$name.cap" 2>&1 || rm -f "$dir/$name.cap"
  # sg_readcap moves on to READ CAPACITY(16) by itself when (10) overflows;
  # then sg_raw gets the (10) reply as the device gives it.
  lba=
  [[ -f $dir/$name.cap ]] &&
    lba=$(sed -n 's/.*Last LBA=\([0-9]*\).*/\1/p' "$dir/$name.cap" | head -1)
  if [[ -n $lba ]] && ((lba >= 0xFFFFFFFF)); then
    mv "$dir/$name.cap" "$dir/$name.cap16"
    sg_raw -r 8 -o "$dir/$name.rc10" "$node" 25 00 00 00 00 00 00 00 00 00 >/dev/null 2>&1
    # shellcheck disable=SC2207  # od prints numbers only
    b=($(od -An -v -tu1 "$dir/$name.rc10"))
    printf 'Last LBA=%d\nLogical block length=%d bytes\n' \
      $(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3])) \
      $(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7])) >"$dir/$name.cap"
  fi
  [[ -n $block ]] || return 0
  # busybox fdisk prints the kernel's translated geometry.
  busybox fdisk -l "/dev/$block" 2>/dev/null |
    sed -n 's/.* \([0-9]*\) heads, \([0-9]*\) sectors\/track.*/\1 \2/p' >"$dir/$name.geometry"
  od -An -tx4 -j440 -N4 "/dev/$block" | tr -d ' ' >"$dir/$name.mbr"
}

while read -r address _ ; do
  address=${address#[}
  address=${address%]}
  IFS=: read -r _ _ target lun <<<"$address"
  [[ -n ${LAB_PEERS_WINDOW_ONLY:-} ]] && ((target > 7 || lun != 0)) && continue
  sysdir=/sys/bus/scsi/devices/$address
  sg=$(ls "$sysdir/scsi_generic" 2>/dev/null | head -1)
  [[ -n $sg ]] || continue
  sg_inq -H -l 36 "/dev/$sg" >"$dir/$address.inq" 2>&1 || true
  block=$(ls "$sysdir/block" 2>/dev/null | head -1)
  [[ $(cat "$sysdir/type") == 0 ]] || block=
  disk_peers "/dev/$sg" "$block" "$address"
done <"$dir/devices.txt"

while read -r address _ ; do
  address=${address#[}
  address=${address%]}
  IFS=: read -r _ controller _ nsid <<<"$address"
  block=$(nvme_block "$controller" "$nsid")
  echo "$block" >"$dir/$address.block"
  [[ -n $block ]] || continue
  sg_vpd -p sinq -H "/dev/$block" >"$dir/$address.sinq" 2>&1 || true
  sg_vpd -p sn -H "/dev/$block" >"$dir/$address.sn" 2>&1 || true
  sg_vpd -p di -H "/dev/$block" >"$dir/$address.di" 2>&1 || true
  disk_peers "/dev/$block" "$block" "$address"
done <"$dir/nvme.txt"
