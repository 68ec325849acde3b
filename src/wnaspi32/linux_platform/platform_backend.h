// The layer on Linux: the SCSI host adapters, in their order, then one
// adapter per NVMe controller.
#pragma once

#include <chrono>
#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_access.h"

namespace wnaspi32 {

// Both backends on the tree under `roots`, reaching devices through `io`.
// MakePlatformBackend() is this on "/sys", "/dev" and the real kernel calls.
std::unique_ptr<Backend> MakePlatformBackend(
    linux_io::Roots roots, std::shared_ptr<linux_io::DeviceIo> io,
    std::chrono::milliseconds diskInfoWait = linux_io::DiskInfoWait);

}  // namespace wnaspi32
