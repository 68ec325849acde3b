// Answers to INQUIRY and READ CAPACITY built from what the kernel keeps in
// sysfs, for users who may not open the device's sg node.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "wnaspi32/linux/sysfs_tree.h"

namespace wnaspi32::sg {

// What sysfs keeps about a device. Fields the device lacks stay empty.
struct CachedDeviceData {
  std::vector<std::uint8_t> inquiry;          // the standard INQUIRY data
  std::optional<std::uint64_t> sectors;       // block device size, 512-byte units
  std::optional<std::uint32_t> logicalBlockSize;
  std::optional<std::uint32_t> physicalBlockSize;
  // The vital product data page an INQUIRY asks for, as the kernel fetched
  // it when it found the device.
  std::optional<std::vector<std::uint8_t>> vpdPage;
  // For REPORT LUNS: the LUNs the kernel found on the device's target.
  std::vector<std::uint64_t> targetLuns;
};
// The standard INQUIRY data and the sizes; besides, what `cdb` alone needs
// (a vital product data page, the target's LUNs).
CachedDeviceData ReadCachedDeviceData(const linux_io::ScsiDevice& device,
                                      std::span<const std::uint8_t> cdb = {});

// The data the device would return for `cdb`: INQUIRY, standard or of a
// vital product data page (cut to its allocation length), READ
// CAPACITY(10), READ CAPACITY(16) and REPORT LUNS. Nothing for any other
// command, or when sysfs lacks what the answer needs.
std::optional<std::vector<std::uint8_t>> AnswerFromCache(std::span<const std::uint8_t> cdb,
                                                         const CachedDeviceData& cached);

// Whether `cdb` is an INQUIRY for a vital product data page.
bool AsksVpdPage(std::span<const std::uint8_t> cdb);

// The vital product data page `cdb` asks for, as the kernel fetched it from
// the device and keeps it (`vpd_pg<code>`), cut to the allocation length;
// nothing for any other command or for a page the kernel did not fetch.
std::optional<std::vector<std::uint8_t>> KernelVpdCopy(const linux_io::ScsiDevice& device,
                                                       std::span<const std::uint8_t> cdb);

}  // namespace wnaspi32::sg
