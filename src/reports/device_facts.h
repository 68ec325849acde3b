// Where the device reports find their facts in the replies, and the
// requests that fetch them: shared by the text reports and any other
// reader of the same facts, so each field is decoded in one place.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "reports/texts.h"
#include "reports/unit.h"

// --- Disk information (SC_GET_DISK_INFO) ---

// The drive flags value, 0 to 3: 0 not an INT 13h unit, 1 an INT 13h unit
// the operating system manages, 2 an INT 13h unit, 3 no drive of its own.
inline int DriveFlagsValue(std::uint8_t driveFlags) { return driveFlags & 3; }

// --- Standard INQUIRY data (SCSI-2), `data` at byte 0 ---

// An INQUIRY command to `unit` with allocation length 36 into DataBuffer,
// cleared first, through RequestBlock with notification.
void SendInquiry(const Unit& unit);

constexpr int InquiryLength = 36;

inline int PeripheralQualifier(const std::uint8_t* data) { return data[0] >> 5; }
inline int PeripheralDeviceType(const std::uint8_t* data) { return data[0] & 0x1F; }
inline int IsoVersion(const std::uint8_t* data) { return (data[2] >> 6) & 3; }
inline int EcmaVersion(const std::uint8_t* data) { return (data[2] >> 3) & 7; }
inline int AnsiVersion(const std::uint8_t* data) { return data[2] & 7; }
inline int ResponseDataFormat(const std::uint8_t* data) { return data[3] & 0x0F; }

// The response data formats that have a name: 0, 1 and 2.
constexpr std::array<const char*, 3> DataFormatNames{"SCSI-1", "CCS", "SCSI-2"};

// Vendor, product and revision: byte ranges, their labels, and the names
// other front ends give them.
struct IdentificationField {
  const std::string ReportTexts::*label;
  int first;
  int last;
  const char* name;
};

constexpr std::array<IdentificationField, 3> IdentificationFields{{
    {&ReportTexts::vendorLabel, 8, 15, "vendor"},
    {&ReportTexts::productLabel, 16, 31, "product"},
    {&ReportTexts::revisionLabel, 32, 35, "revision"},
}};

// The capability bits, in the order of the report's lines.
struct CapabilityBit {
  int byte;
  std::uint8_t mask;
  const std::string ReportTexts::*line;
  const char* name;
};

constexpr std::array<CapabilityBit, 9> CapabilityBits{{
    {1, 0x80, &ReportTexts::removableMedium, "removable_medium"},
    {3, 0x80, &ReportTexts::asyncEventNotification, "async_event_notification"},
    {7, 0x80, &ReportTexts::relativeAddressing, "relative_addressing"},
    {7, 0x40, &ReportTexts::wideBus32, "wide_bus_32"},
    {7, 0x20, &ReportTexts::wideBus16, "wide_bus_16"},
    {7, 0x10, &ReportTexts::synchronousTransfer, "synchronous_transfer"},
    {7, 0x08, &ReportTexts::linkedCommands, "linked_commands"},
    {7, 0x02, &ReportTexts::commandQueuing, "command_queuing"},
    {7, 0x01, &ReportTexts::softReset, "soft_reset"},
}};

// The rows of the RMB and AENC bits, which are fields of their own too.
inline constexpr const CapabilityBit& RemovableMediumBit = CapabilityBits[0];
inline constexpr const CapabilityBit& AsyncEventNotificationBit = CapabilityBits[1];

inline bool HasCapability(const std::uint8_t* data, const CapabilityBit& bit) {
  return (data[bit.byte] & bit.mask) != 0;
}

// --- READ CAPACITY ---

struct Capacity {
  std::uint64_t lastAddress = 0;
  std::uint32_t blockLength = 0;
};

// READ CAPACITY (10) to `unit` and, when its last block address says the
// device is too large for it, READ CAPACITY (16). False when the first command does
// not complete (its status stays in RequestBlock); a failing second one
// leaves the first one's answer.
bool ReadCapacity(const Unit& unit, Capacity& capacity);

// Block count times block length in megabytes without 128-bit integers.
// The block count (at most 2^64) is exact in long double's 64-bit
// mantissa, so the exact product is rounded once, as the 128-bit
// conversion below rounds it.
inline long double CapacityMegabytesWithout128Bits(const Capacity& capacity) {
  return (static_cast<long double>(capacity.lastAddress) + 1.0L) * capacity.blockLength / 1048576.0L;
}

#ifdef __SIZEOF_INT128__
// Block count times block length: up to 2^64 blocks of up to 2^32 - 1
// bytes, exact in 128 bits.
inline unsigned __int128 CapacityBytes(const Capacity& capacity) {
  return (static_cast<unsigned __int128>(capacity.lastAddress) + 1) * capacity.blockLength;
}

inline long double CapacityMegabytes(const Capacity& capacity) {
  return static_cast<long double>(CapacityBytes(capacity)) / 1048576.0L;
}

inline double CapacityBytesAsDouble(const Capacity& capacity) {
  return static_cast<double>(CapacityBytes(capacity));
}
#else
// 32-bit builds.
inline long double CapacityMegabytes(const Capacity& capacity) {
  return CapacityMegabytesWithout128Bits(capacity);
}

inline double CapacityBytesAsDouble(const Capacity& capacity) {
  return static_cast<double>(CapacityMegabytesWithout128Bits(capacity) * 1048576.0L);
}
#endif

// The byte count when it fits in 64 bits.
inline bool CapacityBytesIn64Bits(const Capacity& capacity, std::uint64_t& bytes) {
  return capacity.lastAddress != UINT64_MAX &&
         !__builtin_mul_overflow(capacity.lastAddress + 1, std::uint64_t{capacity.blockLength}, &bytes);
}
