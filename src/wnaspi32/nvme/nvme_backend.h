// The NVMe backend of the layer: one host adapter per NVMe controller, each
// namespace a disk at target ID (namespace ID - 1), LUN 0, answering SCSI
// commands translated from what sysfs shows.
#pragma once

#include <chrono>
#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/linux/device_access.h"

namespace wnaspi32 {

// The controllers under `roots` as its adapters, in their numbers' order;
// `io` reads a namespace's geometry and signature for get-disk-information,
// which waits at most `diskInfoWait`.
std::unique_ptr<Backend> MakeNvmeBackend(
    linux_io::Roots roots, std::shared_ptr<linux_io::DeviceIo> io,
    std::chrono::milliseconds diskInfoWait = linux_io::DiskInfoWait);

}  // namespace wnaspi32
