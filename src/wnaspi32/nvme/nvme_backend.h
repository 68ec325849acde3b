// The NVMe backend of the layer: one host adapter per NVMe controller, each
// namespace a disk at target ID (namespace ID - 1), LUN 0, answering SCSI
// commands translated from what sysfs shows.
#pragma once

#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_access.h"

namespace wnaspi32 {

// The NVMe controllers `reach` finds as its adapters, in their numbers'
// order.
std::unique_ptr<Backend> MakeNvmeBackend(linux_io::Reach reach);

}  // namespace wnaspi32
