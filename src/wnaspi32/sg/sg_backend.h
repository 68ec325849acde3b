// The SCSI backend of the layer on Linux: host adapters and devices from
// sysfs, SCSI commands through the sg driver.
#pragma once

#include <chrono>
#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_access.h"

namespace wnaspi32 {

// The backend on the tree under `roots`, reaching devices through `io`.
std::unique_ptr<Backend> MakeSgBackend(
    linux_io::Roots roots, std::shared_ptr<linux_io::DeviceIo> io,
    std::chrono::milliseconds diskInfoWait = linux_io::DiskInfoWait);

}  // namespace wnaspi32
