# The lab's buses, as QEMU devices. Sourced by lab-run.sh: each scenario
# function appends to the array `devices` and makes its disk images (sparse)
# in the directory "$images".

hba() { # ID QEMU-MODEL
  devices+=(-device "$2,id=$1")
}

disk() { # BUS SCSI-ID SIZE VENDOR PRODUCT REVISION SERIAL [MBR-SIGNATURE]
  local name="d${1}_$2"
  truncate -s "$3" "$images/$name.img"
  # A disk signature (and the boot sector mark) lets the kernel tie the disk
  # to the BIOS drive that read the same signature.
  if [[ -n ${8:-} ]]; then
    printf "\\x${8:6:2}\\x${8:4:2}\\x${8:2:2}\\x${8:0:2}" |
      dd of="$images/$name.img" bs=1 seek=440 conv=notrunc status=none
    printf '\x55\xaa' | dd of="$images/$name.img" bs=1 seek=510 conv=notrunc status=none
  fi
  devices+=(-drive "if=none,id=$name,file=$images/$name.img,format=raw,cache=unsafe"
    -device "scsi-hd,bus=$1.0,scsi-id=$2,drive=$name,vendor=$4,product=$5,ver=$6,serial=$7")
}

cdrom() { # BUS SCSI-ID [SIZE]  (no size: the drive is empty)
  local name="c${1}_$2"
  if [[ -n ${3:-} ]]; then
    truncate -s "$3" "$images/$name.iso"
    devices+=(-drive "if=none,id=$name,file=$images/$name.iso,format=raw,media=cdrom,readonly=on")
  else
    devices+=(-drive "if=none,id=$name,media=cdrom")
  fi
  devices+=(-device "scsi-cd,bus=$1.0,scsi-id=$2,drive=$name")
}

# An LSI 53C895A with disks at 0 and 2 and a loaded CD-ROM at 3; a
# virtio-scsi adapter with a disk at 1 and an empty CD-ROM at 5. The disks at
# LSI 0 and virtio 1 carry a signature, the one at LSI 2 is blank.
scenario_two_adapters() {
  hba lsi lsi53c895a
  disk lsi 0 1G "BVLAB" "FIRST DISK" "2.5" "LSI0" 4c534930
  disk lsi 2 2G "BVLAB" "SECOND DISK" "1.0" "LSI2"
  cdrom lsi 3 64M
  hba vscsi virtio-scsi-pci
  disk vscsi 1 3G "BVLAB" "VIRTIO DISK" "0.9" "VIO1" 56494f31
  cdrom vscsi 5
}

# One disk of 3 TiB: more blocks than READ CAPACITY(10) can count. A second
# disk keeps the virtio-scsi scan short.
scenario_big_disk() {
  hba vscsi virtio-scsi-pci
  disk vscsi 0 3T "BVLAB" "HUGE DISK" "3.0" "BIG0"
  disk vscsi 4 512M "BVLAB" "SMALL DISK" "1.1" "SML4"
}

# A MegaRAID SAS, whose devices the kernel puts on channel 2, a PVSCSI adapter
# and an AM53C974 (esp).
scenario_raid() {
  hba mega megasas
  disk mega 0 1G "BVLAB" "RAID DISK 0" "4.0" "MEG0"
  disk mega 3 1G "BVLAB" "RAID DISK 3" "4.1" "MEG3"
  hba pv pvscsi
  disk pv 2 1G "BVLAB" "PV DISK 2" "5.0" "PV02"
  cdrom pv 6 32M
  hba esp am53c974
  disk esp 1 1G "BVLAB" "ESP DISK 1" "6.0" "ESP1"
}

# Every kind of adapter the lab knows, for the benchmark.
scenario_bench() {
  scenario_two_adapters
  hba pv pvscsi
  disk pv 0 1G "BVLAB" "PV DISK 0" "5.0" "PV00"
  disk pv 1 1G "BVLAB" "PV DISK 1" "5.0" "PV01"
}

# The disk that the host side unplugs and plugs back (DEVICE-JSON, the same
# for -device and device_add). Its image is a -blockdev node, which outlives
# the device; a -drive would go with it.
plugged() { # DEVICE-JSON
  truncate -s 64M "$images/plugged.img"
  devices+=(-blockdev "driver=file,filename=$images/plugged.img,node-name=plugged-file"
    -blockdev "driver=raw,file=plugged-file,node-name=plugged-drive"
    -device "$1")
  hotplug_id=plugged
  hotplug_device=$1
}

# A virtio-scsi disk at 0 that comes and goes, beside one that stays.
scenario_unplug_virtio() {
  hba vscsi virtio-scsi-pci
  disk vscsi 4 64M "BVLAB" "STAYS" "1.0" "STY4"
  plugged '{"driver": "scsi-hd", "id": "plugged", "bus": "vscsi.0", "scsi-id": 0,
    "drive": "plugged-drive", "vendor": "BVLAB", "product": "PLUGGED DISK"}'
}

# A USB stick on an xHCI controller that comes and goes.
scenario_unplug_usb() {
  devices+=(-device qemu-xhci,id=xhci)
  plugged '{"driver": "usb-storage", "id": "plugged", "bus": "xhci.0", "drive": "plugged-drive"}'
}

# No SCSI adapter at all.
scenario_none() {
  :
}
