// The SCSI backend of the layer on Linux: host adapters and devices from
// sysfs, SCSI commands through the sg driver.
#pragma once

#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_access.h"

namespace wnaspi32 {

// The SCSI hosts and devices `reach` finds.
std::unique_ptr<Backend> MakeSgBackend(linux_io::Reach reach);

}  // namespace wnaspi32
