// The Linux backend of the layer: host adapters and devices from sysfs,
// SCSI commands through the sg driver.
#pragma once

#include <chrono>
#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_io.h"
#include "wnaspi32/linux/sysfs_tree.h"

namespace wnaspi32 {

// The name this layer gives itself in HA_ManagerId.
inline constexpr char SgManagerName[] = "ASPI for Linux";

// How long get-disk-information waits for a disk's geometry and signature:
// as long as the program waits for any request.
inline constexpr std::chrono::milliseconds DiskInfoWait{10000};

// The backend on the tree under `roots`, reaching devices through `io`.
std::unique_ptr<Backend> MakeSgBackend(sg::Roots roots, std::shared_ptr<sg::DeviceIo> io,
                                       std::chrono::milliseconds diskInfoWait = DiskInfoWait);

}  // namespace wnaspi32
