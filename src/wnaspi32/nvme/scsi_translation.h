// SCSI commands answered for an NVMe namespace, translated the way the NVM
// Express SCSI translation reference maps them (as the NVMe drivers of
// other systems do), from what sysfs shows about the namespace and its
// controller. Nothing here reaches the device.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scsi/commands.h"
#include "wnaspi32/nvme/nvme_tree.h"

namespace wnaspi32::nvme {

// What sysfs shows; identifiers the namespace lacks (or reports as zero)
// stay empty.
struct NamespaceFacts {
  std::uint32_t nsid = 0;
  // The controller's Identify fields, without their trailing blanks.
  std::string model;
  std::string serial;
  std::string firmwareRevision;
  std::optional<std::uint64_t> sectors;  // size, in 512-byte units
  std::optional<std::uint32_t> logicalBlockSize;
  std::optional<std::array<std::uint8_t, 8>> eui64;
  std::optional<std::array<std::uint8_t, 16>> nguid;
  std::optional<std::array<std::uint8_t, 16>> uuid;
};

// Nothing when the controller's names cannot be read (it is going away).
std::optional<NamespaceFacts> ReadNamespaceFacts(const std::filesystem::path& controllerDir,
                                                 const Namespace& ns);

// An identifier attribute: hexadecimal digits with any blanks, dashes or
// colons between them ("%8ph", "%pU"); nothing unless exactly N bytes that
// are not all zero.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> ParseIdentifier(std::string_view text);

// The outcome of one command: GOOD with `data` (already cut to the
// allocation length), or CHECK CONDITION with `sense`.
struct Answer {
  bool good = true;
  std::vector<std::uint8_t> data;
  scsi::FixedSense sense{};
};

// The answer to `cdb` (TEST UNIT READY, INQUIRY with its pages 00h, 80h and
// 83h, READ CAPACITY (10) and (16), REPORT LUNS; everything else is an
// invalid operation code). Nothing when the facts lack what the answer needs.
std::optional<Answer> Translate(std::span<const std::uint8_t> cdb, const NamespaceFacts& facts);

// The pieces of the translation, for the tests.
std::vector<std::uint8_t> StandardInquiryData(const NamespaceFacts& facts);
std::vector<std::uint8_t> UnitSerialNumberPage(const NamespaceFacts& facts);
std::vector<std::uint8_t> DeviceIdentificationPage(const NamespaceFacts& facts);

}  // namespace wnaspi32::nvme
