#include "wnaspi32/linux/disk_info.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include "scsi/commands.h"
#include "wnaspi32.h"
#include "wnaspi32/linux/host_status.h"

namespace wnaspi32::linux_io {
namespace fs = std::filesystem;
namespace {

std::optional<std::uint8_t> DriveNumber(const std::string& name) {
  constexpr std::string_view prefix = "int13_dev";
  if (!name.starts_with(prefix) || name.size() != prefix.size() + 2) return std::nullopt;
  unsigned number = 0;
  const char* first = name.data() + prefix.size();
  const auto [ptr, ec] = std::from_chars(first, name.data() + name.size(), number, 16);
  if (ec != std::errc{} || ptr != name.data() + name.size()) return std::nullopt;
  return static_cast<std::uint8_t>(number);
}

// Opening the block device waits, uninterruptibly, while the host's error
// handler runs, and the geometry and the signature are read through it: a
// disk that hangs would keep a thread of ours in the kernel, and the
// process could not end until the kernel has given up on the disk. So the
// disk is first asked for its first block through its sg node, where the
// wait ends with the process and the kernel times the command out. Any
// answer will do (a medium error too); none, or a failed transfer, will not.
// Without a usable sg node only the block device can tell.
bool AnswersReads(const Roots& roots, const ScsiDevice& device, DeviceIo& io) {
  if (device.sgName.empty()) return true;
  const auto blockSize = ReadNumber(device.blockDir / "queue/logical_block_size");
  std::vector<std::uint8_t> block(static_cast<std::size_t>(
      std::clamp<std::int64_t>(blockSize.value_or(512), 512, 65536)));
  std::vector<std::uint8_t> sense(SenseRoom);
  const std::uint8_t read10[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0};  // READ (10): block 0, one block
  const ScsiOutcome outcome = io.Run((roots.dev / device.sgName).string(),
                                     {.cdb = read10, .data = block, .sense = sense,
                                      .timeoutMs = ScsiTimeoutMs});
  if (outcome.error != 0) return NodeClosedToUs(outcome.error);
  return HostAdapterStatus(outcome.hostStatus, outcome.driverStatus) == HASTAT_OK;
}

std::uint8_t ClampToByte(std::int64_t value) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

// The answer of a disk-information thread, which the request waits for a
// while and then leaves behind.
class DiskInfoAnswer {
 public:
  void Give(std::optional<DiskInfo> info) {
    const std::lock_guard lock(mutex_);
    info_ = info;
    given_ = true;
    changed_.notify_all();
  }
  // Nothing when the thread failed or has not answered in time.
  std::optional<DiskInfo> WaitFor(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [this] { return given_; });
    return info_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool given_ = false;
  std::optional<DiskInfo> info_;
};

}  // namespace

std::vector<EddDrive> ListEddDrives(const fs::path& sysfsRoot) {
  std::vector<EddDrive> drives;
  const fs::path eddDir = sysfsRoot / "firmware/edd";
  for (const std::string& name : ListNames(eddDir)) {
    const auto number = DriveNumber(name);
    if (!number) continue;
    const fs::path drive = eddDir / name;
    const auto signature = ReadNumber(drive / "mbr_signature", 0);
    const auto maxHead = ReadNumber(drive / "legacy_max_head");
    const auto sectors = ReadNumber(drive / "legacy_sectors_per_track");
    if (!signature || !maxHead || !sectors) continue;
    drives.push_back({.number = *number,
                      .mbrSignature = static_cast<std::uint32_t>(*signature),
                      .heads = ClampToByte(*maxHead + 1),
                      .sectors = ClampToByte(*sectors)});
  }
  return drives;
}

std::optional<DiskInfo> DescribeDisk(const Roots& roots, const ScsiDevice& device,
                                     DeviceIo& io) {
  if (device.type != scsi::DirectAccessDevice && device.type != scsi::OpticalMemoryDevice)
    return DiskInfo{};
  if (device.blockName.empty()) return DiskInfo{};
  if (!AnswersReads(roots, device, io)) return std::nullopt;
  const std::string node = (roots.dev / device.blockName).string();

  // The signature is read from the disk only where the BIOS left drive data
  // to match it with (most machines that boot by UEFI have none). A zero
  // signature is what every blank disk has: it names no drive. Two BIOS
  // drives with one signature cannot be told apart either.
  const auto drives = ListEddDrives(roots.sysfs);
  const auto signature = drives.empty() ? std::nullopt : io.MbrSignature(node);
  if (signature && *signature != 0) {
    const auto matches = [&](const EddDrive& d) { return d.mbrSignature == *signature; };
    if (std::count_if(drives.begin(), drives.end(), matches) == 1) {
      const EddDrive& drive = *std::find_if(drives.begin(), drives.end(), matches);
      return DiskInfo{.driveFlags = DriveInt13ManagedByOs,
                      .int13Drive = drive.number,
                      .heads = drive.heads,
                      .sectors = drive.sectors};
    }
  }
  if (const auto geometry = io.Geometry(node))
    return DiskInfo{.driveFlags = DriveGeometryOnly,
                    .int13Drive = 0,
                    .heads = geometry->heads,
                    .sectors = geometry->sectors};
  return DiskInfo{};
}

std::optional<DiskInfo> AskDiskInfo(const Roots& roots, const ScsiDevice& device,
                                    std::shared_ptr<DeviceIo> io, Workers& workers,
                                    CommandSlots& slots, std::chrono::milliseconds wait) {
  const std::string slot = device.dir.string();
  if (!slots.Take(slot)) return std::nullopt;
  const auto answer = std::make_shared<DiskInfoAnswer>();
  try {
    workers.Start([roots, device, io = std::move(io), &slots, slot, answer] {
      std::optional<DiskInfo> info;
      try {
        info = DescribeDisk(roots, device, *io);
      } catch (...) {
        // Nothing the disk does may end the program: the request fails.
      }
      slots.Give(slot);
      answer->Give(info);
    });
  } catch (...) {
    slots.Give(slot);
    return std::nullopt;  // no thread to read it on
  }
  return answer->WaitFor(wait);
}

}  // namespace wnaspi32::linux_io
