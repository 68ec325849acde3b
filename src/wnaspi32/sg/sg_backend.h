// The Linux backend of the layer: host adapters and devices from sysfs,
// SCSI commands through the sg driver.
#pragma once

#include <memory>

#include "backend.h"
#include "sg/device_io.h"
#include "sg/sysfs_tree.h"

namespace wnaspi32 {

// The name this layer gives itself in HA_ManagerId.
inline constexpr char SgManagerName[] = "ASPI for Linux";

// The backend on the tree under `roots`, reaching devices through `io`.
// MakeSgBackend() is this on "/sys", "/dev" and the real kernel calls.
std::unique_ptr<Backend> MakeSgBackend(sg::Roots roots, std::shared_ptr<sg::DeviceIo> io);

}  // namespace wnaspi32
