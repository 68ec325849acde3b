// The INT 13h view of a disk: the BIOS's drive data where the kernel kept
// it, else the OS's translated geometry.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "wnaspi32/linux/device_io.h"
#include "wnaspi32/linux/sysfs_tree.h"
#include "wnaspi32/linux/workers.h"

namespace wnaspi32::linux_io {

// Drive flags of the reply.
constexpr std::uint8_t DriveNotInt13 = 0;
constexpr std::uint8_t DriveInt13ManagedByOs = 1;
constexpr std::uint8_t DriveGeometryOnly = 3;

struct DiskInfo {
  std::uint8_t driveFlags = DriveNotInt13;
  std::uint8_t int13Drive = 0;
  std::uint8_t heads = 0;
  std::uint8_t sectors = 0;
};

// One BIOS drive as /sys/firmware/edd/int13_devXX shows it.
struct EddDrive {
  std::uint8_t number = 0;  // XX, e.g. 80h
  std::uint32_t mbrSignature = 0;
  std::uint8_t heads = 0;    // legacy_max_head + 1
  std::uint8_t sectors = 0;  // legacy_sectors_per_track
};
std::vector<EddDrive> ListEddDrives(const std::filesystem::path& sysfsRoot);

// Disks (type 0) and optical memory (type 7) with a block device get an
// answer; everything else has drive flags 0. Nothing when the disk does not
// answer a read of its first block through its sg node: its block device
// is then left alone.
std::optional<DiskInfo> DescribeDisk(const Roots& roots, const ScsiDevice& device, DeviceIo& io);

// DescribeDisk on a thread of `workers`, holding one of the device's
// `slots` meanwhile. The geometry and the signature come through the block
// layer, queued behind whatever the disk is doing: a disk that hangs, or one
// busy with a long transfer, would hold the caller, so the caller waits for
// the answer at most `wait`. Nothing when the device has no slot free, no
// thread could be had, the reading failed or it took longer. `slots` must
// outlive `workers`.
std::optional<DiskInfo> AskDiskInfo(const Roots& roots, const ScsiDevice& device,
                                    std::shared_ptr<DeviceIo> io, Workers& workers,
                                    CommandSlots& slots, std::chrono::milliseconds wait);

}  // namespace wnaspi32::linux_io
