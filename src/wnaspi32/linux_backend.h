// The layer on Linux: the SCSI host adapters, in their order, then one
// adapter per NVMe controller.
#pragma once

#include <chrono>
#include <memory>

#include "backend.h"
#include "sg/device_io.h"
#include "sg/sg_backend.h"
#include "sg/sysfs_tree.h"

namespace wnaspi32 {

// Both backends on the tree under `roots`, reaching devices through `io`.
// MakeLinuxBackend() is this on "/sys", "/dev" and the real kernel calls.
std::unique_ptr<Backend> MakeLinuxBackend(sg::Roots roots, std::shared_ptr<sg::DeviceIo> io,
                                          std::chrono::milliseconds diskInfoWait = DiskInfoWait);

}  // namespace wnaspi32
