#!/bin/bash
# Makes the guest's boot files in CACHE_DIR when they are missing:
#   vmlinuz        the Debian kernel, never installed on this machine
#   initramfs.gz   busybox, the module stack and the lab's init
#   modules.order  which modules init loads, in load order, with parameters
# Usage: lab-cache.sh CACHE_DIR
set -euo pipefail

cache=${1:?usage: lab-cache.sh CACHE_DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

# Several lab tests may start at once; one of them builds, the others wait.
exec 9>"$cache/.lock"
flock 9

# The initramfs is rebuilt when the init script changes.
stamp=$(sha256sum "$here/guest-init.sh" "${BASH_SOURCE[0]}" | sha256sum | cut -c1-16)
if [[ -s $cache/vmlinuz && -s $cache/initramfs.gz && "$(cat "$cache/stamp" 2>/dev/null)" == "$stamp" ]]; then
  exit 0
fi

busybox=/bin/busybox
[[ -x $busybox ]] || { echo "lab-cache: busybox-static is not installed" >&2; exit 1; }
file -L "$busybox" 2>/dev/null | grep -q 'dynamically linked' &&
  { echo "lab-cache: $busybox is not the static busybox" >&2; exit 1; }

work=$cache/work
rm -rf "$work"
mkdir -p "$work/debs" "$work/kernel"

# The meta package names the versioned image it depends on.
if [[ ! -s $cache/vmlinuz || ! -d $cache/modules ]]; then
  (
    cd "$work/debs"
    apt-get download linux-image-amd64 >/dev/null 2>&1 ||
      { apt-get update >/dev/null && apt-get download linux-image-amd64 >/dev/null; }
    image=$(dpkg-deb -f linux-image-amd64_*.deb Depends | grep -o 'linux-image-[0-9][^ ,(]*-amd64' | head -1)
    [[ -n $image ]] || { echo "lab-cache: no versioned image behind linux-image-amd64" >&2; exit 1; }
    apt-get download "$image" >/dev/null
  ) 2> >(grep -v 'unsandboxed' >&2)
  for deb in "$work"/debs/linux-image-[0-9]*.deb; do
    dpkg-deb -x "$deb" "$work/kernel"
  done
  version=$(ls "$work/kernel/lib/modules")
  busybox depmod -b "$work/kernel" "$version"
  rm -rf "$cache/modules"
  mv "$work/kernel/lib/modules/$version" "$cache/modules"
  echo "$version" >"$cache/modules/version"
  cp "$work/kernel/boot/vmlinuz-$version" "$cache/vmlinuz.new"
  mv "$cache/vmlinuz.new" "$cache/vmlinuz"
fi

# Modules to load, each with its parameters. Dependencies come first, in the
# order modules.dep gives them (last listed is loaded first). A module marked
# "?" is loaded only in a guest whose kernel line names it in lab.load=...:
# the q35 machine always has its AHCI controller, whose six hosts only the
# desktop and nvme scenarios want to see, and only the nvme scenario has
# NVMe controllers. scsi_debug is never loaded at boot unless asked for:
# guest scripts insmod it with their own parameters from /run/lab-modules
# (its dependencies are loaded at boot).
wanted=(
  "virtio_pci" "9pnet_virtio" "9p" "overlay"
  "scsi_mod scan=sync" "sd_mod" "sr_mod" "sg" "edd"
  "sym53c8xx settle=0" "virtio_scsi" "megaraid_sas"
  "esp_scsi esp_bus_reset_settle=0" "am53c974" "vmw_pvscsi"
  "?ahci" "xhci-pci" "usb-storage delay_use=0" "uas" "?nvme" "?scsi_debug"
)
declare -A params=() loaded=() on_request=()
order=()
dep_path() { grep -E "(^|/)$1\.ko:" "$cache/modules/modules.dep" | head -1; }
load() {
  local name=$1 line path deps d i
  [[ -n ${loaded[$name]:-} ]] && return 0
  line=$(dep_path "$name")
  [[ -n $line ]] || { echo "lab-cache: module $name not in the kernel package" >&2; exit 1; }
  path=${line%%:*}
  read -ra deps <<<"${line#*:}"
  for ((i = ${#deps[@]} - 1; i >= 0; i--)); do
    d=$(basename "${deps[i]}" .ko)
    load "$d"
  done
  loaded[$name]=1
  order+=("$path")
  echo "${on_request[$name]:+?}$path ${params[$name]:-}" >>"$work/modules.order"
}
: >"$work/modules.order"
for entry in "${wanted[@]}"; do
  read -r name rest <<<"$entry"
  [[ $name == '?'* ]] && { name=${name#?}; on_request[$name]=1; }
  params[$name]=${rest:-}
done
for entry in "${wanted[@]}"; do
  read -r name _ <<<"$entry"
  load "${name#\?}"
done

root=$work/root
mkdir -p "$root"/{bin,dev,proc,sys,mnt,newroot,modules}
cp "$busybox" "$root/bin/busybox"
ln -s busybox "$root/bin/sh"
for path in "${order[@]}"; do
  cp "$cache/modules/$path" "$root/modules/"
done
sed 's|^\(?\{0,1\}\)[^ ]*/\([^/ ]*\.ko\)|\1\2|' "$work/modules.order" >"$root/modules/order"
cp "$here/guest-init.sh" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$cache/initramfs.gz.new")
mv "$cache/initramfs.gz.new" "$cache/initramfs.gz"
cp "$root/modules/order" "$cache/modules.order"
echo "$stamp" >"$cache/stamp"
rm -rf "$work"
