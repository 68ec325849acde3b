#!/bin/sh
# The guest's first process. Loads the module stack, mounts this machine's
# root read-only (9p) under a tmpfs overlay, waits for the SCSI devices'
# block nodes, runs LAB_SHARE/cmd in that root and leaves its output and exit
# status in the writable share, then powers off.
export PATH=/bin
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

share=
on_request=
for word in $(cat /proc/cmdline); do
  case $word in
    lab.share=*) share=${word#lab.share=} ;;
    lab.load=*) on_request=",${word#lab.load=}," ;;
  esac
done

log() { echo "lab-init: $*" >/dev/console; }

while read -r module args; do
  # A module marked "?" only where the kernel line asks for it.
  case $module in
    \?*)
      module=${module#?}
      case $on_request in *",${module%.ko},"*) ;; *) continue ;; esac
      ;;
  esac
  # edd finds nothing when the kernel was entered without the real-mode setup.
  insmod "/modules/$module" $args 2>/dev/null || [ "$module" = edd.ko ] || log "insmod $module failed"
done </modules/order

nineP=trans=virtio,version=9p2000.L,msize=512000
mkdir -p /mnt/host /mnt/rw
mount -t 9p -o "$nineP,ro,cache=loose" hostroot /mnt/host || log "no host root"
mount -t tmpfs -o size=4g tmpfs /mnt/rw
mkdir -p /mnt/rw/upper /mnt/rw/work
mount -t overlay -o lowerdir=/mnt/host,upperdir=/mnt/rw/upper,workdir=/mnt/rw/work overlay /newroot ||
  log "no overlay root"
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mkdir -p /newroot/dev/shm /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm
ln -s /proc/self/fd /newroot/dev/fd
# /tmp stays this machine's, under the overlay: the command may live there.
mount -t tmpfs tmpfs /newroot/run
# The initramfs's modules, for guest scripts that load one with parameters
# of their own (busybox insmod /run/lab-modules/scsi_debug.ko ...).
mkdir -p /newroot/run/lab-modules
mount --bind /modules /newroot/run/lab-modules
mkdir -p "/newroot$share"
mount -t 9p -o "$nineP" labshare "/newroot$share" || log "no share at $share"

# scan=sync ends the bus scans inside insmod, but disks and CD-ROMs get their
# block nodes from asynchronous probes: wait for every one, 15 s at most.
tries=0
while :; do
  missing=
  for dev in /sys/bus/scsi/devices/*:*:*:*; do
    [ -r "$dev/type" ] || continue
    case $(cat "$dev/type") in
      0 | 5 | 7 | 14) [ -d "$dev/block" ] || missing=$dev ;;
    esac
  done
  [ -z "$missing" ] && break
  tries=$((tries + 1))
  [ $tries -gt 300 ] && { log "no block node for $missing"; break; }
  sleep 0.05
done

if [ -r "/newroot$share/cmd" ]; then
  chroot /newroot /usr/bin/env -i \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM=dumb XDG_RUNTIME_DIR=/run \
    /bin/bash -c 'cd "$1" && exec /bin/bash ./cmd' lab "$share" \
    >"/newroot$share/out" 2>&1
  echo $? >"/newroot$share/rc"
else
  log "no command in $share"
fi
# A scsi_debug left failing commands would make the shutdown's cache flushes
# wait for the error handler.
for knob in opts every_nth delay; do
  [ -w /sys/bus/pseudo/drivers/scsi_debug/$knob ] && echo 0 >/sys/bus/pseudo/drivers/scsi_debug/$knob
done
sync
poweroff -f
