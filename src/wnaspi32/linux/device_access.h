// What a Linux backend reaches its devices with: the trees under its roots,
// the one door to the kernel, and threads of its own, a few commands per
// device at most.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "wnaspi32.h"
#include "wnaspi32/linux/device_io.h"
#include "wnaspi32/linux/sysfs_tree.h"
#include "wnaspi32/linux/workers.h"

namespace wnaspi32::linux_io {

// The name the layer gives itself in HA_ManagerId on Linux.
inline constexpr char ManagerName[] = "ASPI for Linux";

// How long get-disk-information waits for a disk's geometry and signature:
// as long as the program waits for any request.
inline constexpr std::chrono::milliseconds DiskInfoWait{10000};

// Where a Linux backend finds its devices and how it reaches them: the
// trees under `roots`, the kernel door `io`, and how long a disk's
// information may take.
struct Reach {
  Roots roots;
  std::shared_ptr<DeviceIo> io;
  std::chrono::milliseconds diskInfoWait = DiskInfoWait;
};

class DeviceAccess {
 public:
  explicit DeviceAccess(Reach reach) : reach_(std::move(reach)) {}
  DeviceAccess(const DeviceAccess&) = delete;
  DeviceAccess& operator=(const DeviceAccess&) = delete;

  const Roots& roots() const { return reach_.roots; }
  const std::filesystem::path& sysfs() const { return reach_.roots.sysfs; }
  DeviceIo& io() const { return *reach_.io; }
  CommandSlots& slots() { return slots_; }
  Workers& workers() { return workers_; }

  // Get-disk-information for `device`: its INT 13h view in the reply fields
  // of `srb` and SS_COMP, or SS_ERR when it could not be had in time.
  std::uint8_t AnswerDiskInfo(SRB& srb, const ScsiDevice& device);

 private:
  const Reach reach_;
  CommandSlots slots_{CommandsPerDevice};
  // Last, so that running commands finish before anything else goes.
  Workers workers_;
};

}  // namespace wnaspi32::linux_io
