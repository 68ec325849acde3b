#!/bin/bash
# What lsscsi, sg3_utils and the kernel say about the guest's SCSI devices,
# gathered as root into DIR for the checks (which may run unprivileged):
#   hosts.txt            lsscsi -g -H
#   devices.txt          lsscsi -g
#   H:C:T:L.inq          sg_inq -H (the first 36 bytes of standard INQUIRY)
#   H:C:T:L.cap          READ CAPACITY(10) by sg_readcap (by sg_raw where it
#                        overflowed); absent when it failed
#   H:C:T:L.cap16        sg_readcap's READ CAPACITY(16), where (10) overflowed
#   H:C:T:L.geometry     "heads sectors" of the block device (HDIO_GETGEO)
#   H:C:T:L.mbr          the disk signature in its first sector, hexadecimal
# Usage: collect-peers.sh DIR
set -euo pipefail
dir=${1:?usage: collect-peers.sh DIR}
mkdir -p "$dir"
lsscsi -g -H >"$dir/hosts.txt"
lsscsi -g >"$dir/devices.txt"
while read -r address _ ; do
  address=${address#[}
  address=${address%]}
  sysdir=/sys/bus/scsi/devices/$address
  sg=$(ls "$sysdir/scsi_generic" 2>/dev/null | head -1)
  [[ -n $sg ]] || continue
  sg_inq -H -l 36 "/dev/$sg" >"$dir/$address.inq" 2>&1 || true
  sg_readcap "/dev/$sg" >"$dir/$address.cap" 2>&1 || rm -f "$dir/$address.cap"
  # sg_readcap moves on to READ CAPACITY(16) by itself when (10) overflows;
  # then sg_raw gets the (10) reply as the device gives it.
  lba=
  [[ -f $dir/$address.cap ]] &&
    lba=$(sed -n 's/.*Last LBA=\([0-9]*\).*/\1/p' "$dir/$address.cap" | head -1)
  if [[ -n $lba ]] && ((lba >= 0xFFFFFFFF)); then
    mv "$dir/$address.cap" "$dir/$address.cap16"
    sg_raw -r 8 -o "$dir/$address.rc10" "/dev/$sg" 25 00 00 00 00 00 00 00 00 00 >/dev/null 2>&1
    # shellcheck disable=SC2207  # od prints numbers only
    b=($(od -An -v -tu1 "$dir/$address.rc10"))
    printf 'Last LBA=%d\nLogical block length=%d bytes\n' \
      $(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3])) \
      $(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7])) >"$dir/$address.cap"
  fi
  block=$(ls "$sysdir/block" 2>/dev/null | head -1)
  if [[ -n $block && $(cat "$sysdir/type") == 0 ]]; then
    # busybox fdisk prints the kernel's translated geometry.
    busybox fdisk -l "/dev/$block" 2>/dev/null |
      sed -n 's/.* \([0-9]*\) heads, \([0-9]*\) sectors\/track.*/\1 \2/p' >"$dir/$address.geometry"
    od -An -tx4 -j440 -N4 "/dev/$block" | tr -d ' ' >"$dir/$address.mbr"
  fi
done <"$dir/devices.txt"
