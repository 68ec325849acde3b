// The layer on Linux: the SCSI host adapters, in their order, then one
// adapter per NVMe controller.
#pragma once

#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_access.h"

namespace wnaspi32 {

// Both backends on what `reach` finds. MakePlatformBackend() is this on
// "/sys", "/dev" and the real kernel calls.
std::unique_ptr<Backend> MakePlatformBackend(linux_io::Reach reach);

}  // namespace wnaspi32
