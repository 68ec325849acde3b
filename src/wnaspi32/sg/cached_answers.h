// Answers to INQUIRY and READ CAPACITY built from what the kernel keeps in
// sysfs, for users who may not open the device's sg node.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sg/sysfs_tree.h"

namespace wnaspi32::sg {

// What sysfs keeps about a device. Fields the device lacks stay empty.
struct CachedDeviceData {
  std::vector<std::uint8_t> inquiry;          // the standard INQUIRY data
  std::optional<std::uint64_t> sectors;       // block device size, 512-byte units
  std::optional<std::uint32_t> logicalBlockSize;
  std::optional<std::uint32_t> physicalBlockSize;
};
CachedDeviceData ReadCachedDeviceData(const ScsiDevice& device);

// The data the device would return for `cdb`: standard INQUIRY (cut to its
// allocation length), READ CAPACITY(10) and READ CAPACITY(16). Nothing for
// any other command, or when sysfs lacks what the answer needs.
std::optional<std::vector<std::uint8_t>> AnswerFromCache(std::span<const std::uint8_t> cdb,
                                                         const CachedDeviceData& cached);

}  // namespace wnaspi32::sg
