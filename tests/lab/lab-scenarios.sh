# The lab's buses, as QEMU devices. Sourced by lab-run.sh: each scenario
# function appends to the array `devices` and makes its disk images (sparse)
# in the directory "$images".

hba() { # ID QEMU-MODEL
  devices+=(-device "$2,id=$1")
}

# A disk signature (and the boot sector mark) lets the kernel tie the disk
# to the BIOS drive that read the same signature.
sign() { # IMAGE MBR-SIGNATURE
  printf "\\x${2:6:2}\\x${2:4:2}\\x${2:2:2}\\x${2:0:2}" |
    dd of="$1" bs=1 seek=440 conv=notrunc status=none
  printf '\x55\xaa' | dd of="$1" bs=1 seek=510 conv=notrunc status=none
}

disk() { # BUS SCSI-ID SIZE VENDOR PRODUCT REVISION SERIAL [MBR-SIGNATURE]
  local name="d${1}_$2"
  truncate -s "$3" "$images/$name.img"
  [[ -n ${8:-} ]] && sign "$images/$name.img" "$8"
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

# What a desktop has: on the q35 machine's own AHCI controller (one SCSI
# host per port) a SATA disk with a signature at port 0 and an ATAPI CD-ROM
# with a medium at port 1; on an xHCI controller a USB stick (Bulk-Only) and
# a UAS disk.
scenario_desktop() {
  guest_load=ahci
  truncate -s 1G "$images/sata.img"
  sign "$images/sata.img" 53415441
  devices+=(-drive "if=none,id=sata,file=$images/sata.img,format=raw,cache=unsafe"
    -device "ide-hd,bus=ide.0,drive=sata,model=BVLAB SATA DISK,serial=SATA0,ver=7.1")
  truncate -s 48M "$images/atapi.iso"
  devices+=(-drive "if=none,id=atapi,file=$images/atapi.iso,format=raw,media=cdrom,readonly=on"
    -device "ide-cd,bus=ide.1,drive=atapi,model=BVLAB ATAPI DRIVE")
  devices+=(-device qemu-xhci,id=xhci)
  truncate -s 256M "$images/stick.img"
  devices+=(-drive "if=none,id=stick,file=$images/stick.img,format=raw,cache=unsafe"
    -device "usb-storage,bus=xhci.0,drive=stick,serial=STICK0")
  truncate -s 512M "$images/uas.img"
  devices+=(-drive "if=none,id=uasdisk,file=$images/uas.img,format=raw,cache=unsafe"
    -device usb-uas,id=uas,bus=xhci.0
    -device "scsi-hd,bus=uas.0,scsi-id=0,lun=0,drive=uasdisk,vendor=BVLAB,product=UAS DISK,ver=8.0")
}

# A virtio-scsi disk at 0 and a USB stick that the guest has pulled (over
# QMP) while busview shows them, beside a virtio-scsi disk at 4 that stays.
# Reads from the pulled ones crawl, 32 KiB/s: a read the guest keeps under
# way holds each device's one command slot, so that busview's commands wait
# behind it, and the removal comes while they do.
scenario_unplug_display() {
  unplug_on_cue=1
  hba vscsi virtio-scsi-pci
  disk vscsi 4 64M "BVLAB" "STAYS" "1.0" "STY4"
  truncate -s 64M "$images/pulled.img"
  devices+=(-drive "if=none,id=pulled,file=$images/pulled.img,format=raw,cache=unsafe,throttling.bps-total=32768"
    -device "scsi-hd,id=disk,bus=vscsi.0,scsi-id=0,drive=pulled,vendor=BVLAB,product=PULLED DISK")
  devices+=(-device qemu-xhci,id=xhci)
  truncate -s 64M "$images/stick.img"
  devices+=(-drive "if=none,id=stick,file=$images/stick.img,format=raw,cache=unsafe,throttling.bps-total=32768"
    -device "usb-storage,id=stick,bus=xhci.0,drive=stick")
}

# No SCSI adapter at all.
scenario_none() {
  :
}

# What a 2026 laptop or cloud machine has: a SATA disk on the q35 machine's
# AHCI controller and NVMe SSDs. The first controller belongs to an NVMe
# subsystem, so the guest's kernel shows its namespaces through native
# multipath (paths nvmeXcYnZ under the controller, block devices under the
# subsystem): namespace 1 of 1 GiB in 4 KiB blocks, namespace 2 of 3 TiB in
# 512-byte blocks. The second controller has no subsystem (block device
# nvmeXnY under the controller) and one namespace of 512 MiB; it sits behind
# a PCIe root port, so that the host side can pull it over QMP. The kernel
# hides the identifiers QEMU gives namespaces (EUI-64, UUID) from sysfs, so
# none is set.
scenario_nvme() {
  guest_load=ahci,nvme
  unplug_on_cue=1
  truncate -s 1G "$images/sata.img"
  devices+=(-drive "if=none,id=sata,file=$images/sata.img,format=raw,cache=unsafe"
    -device "ide-hd,bus=ide.0,drive=sata,model=BVLAB SATA DISK,serial=SATA0,ver=7.1")
  truncate -s 1G "$images/ns1.img"
  truncate -s 3T "$images/ns2.img"
  truncate -s 512M "$images/ns3.img"
  devices+=(-device nvme-subsys,id=subsys0,nqn=nqn.2026-01.org.busview:lab
    -device nvme,id=nvme0,serial=BVNVME01,subsys=subsys0
    -drive "if=none,id=ns1,file=$images/ns1.img,format=raw,cache=unsafe"
    -device "nvme-ns,drive=ns1,bus=nvme0,nsid=1,logical_block_size=4096,physical_block_size=4096"
    -drive "if=none,id=ns2,file=$images/ns2.img,format=raw,cache=unsafe"
    -device "nvme-ns,drive=ns2,bus=nvme0,nsid=2"
    -device pcie-root-port,id=port1,chassis=1
    -device nvme,id=nvme1,serial=BVNVME02,bus=port1
    -drive "if=none,id=ns3,file=$images/ns3.img,format=raw,cache=unsafe"
    -device "nvme-ns,drive=ns3,bus=nvme1,nsid=1")
}

# A healthy virtio-scsi disk at 0, beside the kernel's scsi_debug host that
# the guest script loads with its own parameters and makes fail on demand.
scenario_faults() {
  hba vscsi virtio-scsi-pci
  disk vscsi 0 64M "BVLAB" "HEALTHY DISK" "1.0" "HLT0"
}

# Many targets and LUNs: a virtio-scsi disk at target 12, LUN 3 (no LUN 0
# beside it) with a serial number and a WWN, and a USB stick.
scenario_wide() {
  hba vscsi virtio-scsi-pci
  truncate -s 64M "$images/far.img"
  devices+=(-drive "if=none,id=far,file=$images/far.img,format=raw,cache=unsafe"
    -device "scsi-hd,bus=vscsi.0,scsi-id=12,lun=3,drive=far,vendor=BVLAB,product=FAR DISK,ver=1.2,serial=FAR12L3,wwn=0x5000c500a1b2c3d4")
  devices+=(-device qemu-xhci,id=xhci)
  truncate -s 64M "$images/stick.img"
  devices+=(-drive "if=none,id=stick,file=$images/stick.img,format=raw,cache=unsafe"
    -device "usb-storage,bus=xhci.0,drive=stick,serial=STICK24")
}
