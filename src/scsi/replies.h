// Replies that more than one answerer builds, laid out byte for byte as the
// command sets define them: the parameter data of REPORT LUNS and of READ
// CAPACITY (10) and (16), and a vital product data page around its body.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "scsi/commands.h"

namespace scsi {

// `data` cut to an allocation length: a device sends no more than asked.
inline std::vector<std::uint8_t> CutTo(std::vector<std::uint8_t> data, std::uint64_t allocation) {
  data.resize(static_cast<std::size_t>(std::min<std::uint64_t>(data.size(), allocation)));
  return data;
}

// A vital product data page: the peripheral byte (qualifier 0 and
// `deviceType`), the page code, the two-byte page length, then `body`.
inline std::vector<std::uint8_t> VpdPage(std::uint8_t deviceType, std::uint8_t code,
                                         std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> page(VpdHeaderLength + body.size(), 0);
  page[0] = deviceType & PeripheralTypeMask;
  page[1] = code;
  PutBigEndian(page.data(), VpdPageLength, body.size());
  std::copy(body.begin(), body.end(), page.begin() + VpdHeaderLength);
  return page;
}

// READ CAPACITY (10) parameter data: the last logical block address (bytes
// 0-3; FFFFFFFFh when it does not fit, so that READ CAPACITY (16) is asked)
// and the block length in bytes (4-7).
inline std::vector<std::uint8_t> ReadCapacity10Data(std::uint64_t lastLba,
                                                    std::uint32_t blockLength) {
  std::vector<std::uint8_t> data(ReadCapacity10Length, 0);
  PutBigEndian(&data[0], std::min<std::uint64_t>(lastLba, LastAddressTooLarge), 4);
  PutBigEndian(&data[4], blockLength, 4);
  return data;
}

// READ CAPACITY (16) parameter data, 32 bytes: the last logical block
// address (bytes 0-7), the block length (8-11), and in the low four bits
// of byte 13 the logical blocks per physical block as a power of two.
inline std::vector<std::uint8_t> ReadCapacity16Data(std::uint64_t lastLba,
                                                    std::uint32_t blockLength,
                                                    std::uint8_t blocksPerPhysicalExponent = 0) {
  std::vector<std::uint8_t> data(ReadCapacity16Length, 0);
  PutBigEndian(&data[0], lastLba, 8);
  PutBigEndian(&data[8], blockLength, 4);
  data[13] = blocksPerPhysicalExponent & 0x0F;
  return data;
}

// The parameter data READ CAPACITY (10) or (16) in `cdb` asks for, of a
// medium of `blocks` (at least one) logical blocks of `blockLength` bytes,
// cut to the allocation length. Nothing for any other command, a block too
// short, or one that asks from a logical block address on (an address, or
// the PMI bit): that answer is about the medium's layout, not its size.
inline std::optional<std::vector<std::uint8_t>> ReadCapacityReply(
    std::span<const std::uint8_t> cdb, std::uint64_t blocks, std::uint32_t blockLength,
    std::uint8_t blocksPerPhysicalExponent = 0) {
  const auto zero = [](std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
  };
  if (cdb.size() >= 10 && cdb[0] == ReadCapacity10 && zero(cdb.subspan(2, 4)) &&
      (cdb[8] & 0x01) == 0)
    return ReadCapacity10Data(blocks - 1, blockLength);
  if (cdb.size() >= 16 && cdb[0] == ServiceActionIn16 &&
      (cdb[1] & ServiceActionMask) == ReadCapacity16Action && zero(cdb.subspan(2, 8)) &&
      (cdb[14] & 0x01) == 0)
    return CutTo(ReadCapacity16Data(blocks - 1, blockLength, blocksPerPhysicalExponent),
                 GetBigEndian(cdb.data(), ReadCapacity16AllocationLength));
  return std::nullopt;
}

// REPORT LUNS parameter data for `luns` as `cdb` asks it: the LUN list
// length (bytes 0-3), four reserved bytes, then eight bytes a LUN, none
// when the block asks for the well-known LUNs only; cut to the allocation
// length. Nothing for a block shorter than REPORT LUNS's 12 bytes or an
// allocation length without room for one LUN: the device refuses those.
inline std::optional<std::vector<std::uint8_t>> ReportLunsReply(
    std::span<const std::uint8_t> cdb, std::span<const std::uint64_t> luns) {
  if (cdb.size() < ReportLunsLength) return std::nullopt;
  const std::uint64_t allocation = GetBigEndian(cdb.data(), ReportLunsAllocationLength);
  if (allocation < LeastReportLunsAllocation) return std::nullopt;
  std::vector<std::uint8_t> data(LunListHeaderLength, 0);
  if (cdb[ReportLunsSelect] != ReportWellKnownLunsOnly) {
    for (const std::uint64_t lun : luns) {
      const LunEntry entry = LunEntryOf(lun);
      data.insert(data.end(), entry.begin(), entry.end());
    }
  }
  PutBigEndian(data.data(), data.size() - LunListHeaderLength, 4);
  return CutTo(std::move(data), allocation);
}

}  // namespace scsi
