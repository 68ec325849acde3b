// The SCSI commands that busview sends and the layer answers or passes on:
// their operation codes, where their allocation lengths stand, and the
// big-endian numbers in their blocks and replies. Shared by the program and
// the layer, so both read a command the same way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace scsi {

// Operation codes.
constexpr std::uint8_t TestUnitReady = 0x00;
constexpr std::uint8_t Inquiry = 0x12;
constexpr std::uint8_t ReadCapacity10 = 0x25;
constexpr std::uint8_t ServiceActionIn16 = 0x9E;
constexpr std::uint8_t ReportLuns = 0xA0;

// READ CAPACITY (16) is SERVICE ACTION IN (16) with this service action in
// the low five bits of byte 1.
constexpr std::uint8_t ReadCapacity16Action = 0x10;
constexpr std::uint8_t ServiceActionMask = 0x1F;

// A field of a command block or reply: its first byte and its width.
struct Field {
  std::size_t offset;
  std::size_t width;
};

constexpr Field InquiryAllocationLength{3, 2};

// INQUIRY: byte 1 bit 0 (EVPD) asks for the vital product data page whose
// code stands in byte 2; bit 1 (CMDDT) is obsolete and refused.
constexpr std::uint8_t InquiryEvpd = 0x01;
constexpr std::uint8_t InquiryCmdDt = 0x02;
constexpr std::size_t InquiryPageCode = 2;

// Vital product data pages: a peripheral byte, the page code, a two-byte
// page length, then that many bytes.
constexpr std::uint8_t SupportedVpdPages = 0x00;
constexpr std::uint8_t UnitSerialNumberPage = 0x80;
constexpr std::uint8_t DeviceIdentificationPage = 0x83;
constexpr std::size_t VpdHeaderLength = 4;
constexpr Field VpdPageLength{2, 2};

// REPORT LUNS: byte 2 selects which LUNs, bytes 6-9 the allocation length,
// which must leave room for the header and one LUN. The reply: the LUN list
// length (bytes 0-3), four reserved bytes, then eight bytes per LUN.
constexpr std::size_t ReportLunsLength = 12;
constexpr std::size_t ReportLunsSelect = 2;
constexpr std::uint8_t ReportWellKnownLunsOnly = 0x01;
constexpr Field ReportLunsAllocationLength{6, 4};
constexpr std::size_t LunListHeaderLength = 8;
constexpr std::size_t LunEntryLength = 8;
constexpr std::size_t LeastReportLunsAllocation = 16;

// Standard INQUIRY data of the usual 36 bytes.
constexpr std::size_t StandardInquiryLength = 36;

// INQUIRY byte 0: the peripheral qualifier (bits 5-7) and the peripheral
// device type (bits 0-4). Qualifier 3 with type 1Fh: no logical unit there.
constexpr std::uint8_t PeripheralTypeMask = 0x1F;
constexpr int QualifierNoUnit = 3;
constexpr std::uint8_t NoUnitPeripheralByte = QualifierNoUnit << 5 | PeripheralTypeMask;

// The peripheral device types whose commands or answers differ from the
// others'.
constexpr std::uint8_t DirectAccessDevice = 0x00;
constexpr std::uint8_t SequentialAccessDevice = 0x01;
constexpr std::uint8_t MultimediaDevice = 0x05;
constexpr std::uint8_t OpticalMemoryDevice = 0x07;
constexpr Field ReadCapacity16AllocationLength{10, 4};

// Reply lengths: READ CAPACITY (10) has no allocation length and always
// sends 8 bytes; the (16) reply is 32 bytes.
constexpr std::size_t ReadCapacity10Length = 8;
constexpr std::size_t ReadCapacity16Length = 32;

// READ CAPACITY (10) answers with this last block address when the medium
// has more blocks than the field holds; READ CAPACITY (16) then tells.
constexpr std::uint32_t LastAddressTooLarge = 0xFFFFFFFF;

// Sense keys and additional sense codes (the qualifier is 0 for all of them).
constexpr std::uint8_t SenseKeyRecoveredError = 0x01;  // done, after the device recovered
constexpr std::uint8_t SenseKeyIllegalRequest = 0x05;
constexpr std::uint8_t SenseKeyUnitAttention = 0x06;  // reset, power on, capacity changed...
constexpr std::uint8_t AscInvalidOpcode = 0x20;
constexpr std::uint8_t AscInvalidFieldInCdb = 0x24;
constexpr std::uint8_t AscLunNotSupported = 0x25;

// Fixed-format sense data (response code 70h, a current error) is 18 bytes.
constexpr std::size_t FixedSenseLength = 18;
using FixedSense = std::array<std::uint8_t, FixedSenseLength>;

constexpr FixedSense MakeFixedSense(std::uint8_t senseKey, std::uint8_t asc,
                                    std::uint8_t ascq = 0) {
  FixedSense sense{};
  sense[0] = 0x70;
  sense[2] = senseKey;
  sense[7] = FixedSenseLength - 8;  // additional sense length
  sense[12] = asc;
  sense[13] = ascq;
  return sense;
}

// The sense key of fixed-format (response codes 70h, 71h) or descriptor-
// format (72h, 73h) sense data; nothing for too few bytes or another format.
constexpr std::optional<std::uint8_t> SenseKeyOf(std::span<const std::uint8_t> sense) {
  if (sense.empty()) return std::nullopt;
  const std::uint8_t code = sense[0] & 0x7F;
  if ((code == 0x70 || code == 0x71) && sense.size() > 2) return sense[2] & 0x0F;
  if ((code == 0x72 || code == 0x73) && sense.size() > 1) return sense[1] & 0x0F;
  return std::nullopt;
}

// The `width`-byte big-endian number at `bytes` (at most 8 bytes).
constexpr std::uint64_t GetBigEndian(const std::uint8_t* bytes, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = value << 8 | bytes[i];
  return value;
}

constexpr std::uint64_t GetBigEndian(const std::uint8_t* block, Field field) {
  return GetBigEndian(block + field.offset, field.width);
}

// Writes the low `width` bytes of `value` big-endian at `bytes`.
constexpr void PutBigEndian(std::uint8_t* bytes, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    bytes[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

constexpr void PutBigEndian(std::uint8_t* block, Field field, std::uint64_t value) {
  PutBigEndian(block + field.offset, value, field.width);
}

using LunEntry = std::array<std::uint8_t, LunEntryLength>;

// A LUN as Linux numbers it, in the eight bytes of a LUN list: Linux takes
// the entry two bytes at a time, the first pair as its lowest 16 bits (so
// LUNs below 256 are the peripheral device addressing of one level).
constexpr LunEntry LunEntryOf(std::uint64_t lun) {
  LunEntry entry{};
  for (std::size_t level = 0; level < 4; ++level) {
    entry[2 * level] = static_cast<std::uint8_t>(lun >> (16 * level + 8));
    entry[2 * level + 1] = static_cast<std::uint8_t>(lun >> (16 * level));
  }
  return entry;
}

}  // namespace scsi
