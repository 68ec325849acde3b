// SCSI answers from what Windows tells anyone about a device, without
// reaching it: the port's INQUIRY data, the storage device descriptor, the
// device's identifiers, its geometry, the port's list of LUNs. What those
// cannot answer truthfully is CHECK CONDITION, ILLEGAL REQUEST.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wnaspi32/windows/answer_bytes.h"
#include "wnaspi32/windows/call_status.h"

namespace wnaspi32::windows {

// IOCTL_STORAGE_QUERY_PROPERTY's input: a standard query of `property`
// (StorageDeviceProperty, StorageDeviceIdProperty).
std::vector<std::uint8_t> PropertyQuery(std::uint32_t property);

// STORAGE_DEVICE_DESCRIPTOR (IOCTL_STORAGE_QUERY_PROPERTY,
// StorageDeviceProperty); texts as Windows gives them.
struct DeviceDescription {
  std::uint8_t type = 0;  // the SCSI peripheral device type
  bool removable = false;
  std::string vendor, product, revision, serial;
  std::uint32_t busType = 0;
};
// Nothing when the answer is too short for its fixed part.
std::optional<DeviceDescription> ParseDeviceDescriptor(Bytes answer);

// STORAGE_DEVICE_ID_DESCRIPTOR (StorageDeviceIdProperty) as the body of
// page 83h: one designation descriptor per identifier, as far as the
// answer holds them.
std::vector<std::uint8_t> ParseDeviceIds(Bytes answer);

// DISK_GEOMETRY_EX (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX).
struct DiskShape {
  std::uint32_t mediaType = 0;
  std::uint32_t tracksPerCylinder = 0;
  std::uint32_t sectorsPerTrack = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint64_t blocks = 0;  // 0: no medium
};
std::optional<DiskShape> ParseGeometryEx(Bytes answer);

// The standard INQUIRY data (36 bytes) of a described device: its type,
// the removable bit, vendor, product and revision, blank-padded; version 0
// (no claim to any standard's version) and response data format 2.
std::vector<std::uint8_t> InquiryOfDescription(const DeviceDescription& description);

// What an answer may draw on; what the device lacks (or the caller could
// not get) stays empty.
struct DeviceFacts {
  std::uint8_t type = 0;
  std::vector<std::uint8_t> inquiry;                     // standard INQUIRY data
  std::optional<std::string> serial;                     // for page 80h
  std::optional<std::vector<std::uint8_t>> designators;  // page 83h body
  std::optional<DiskShape> shape;
  std::uint32_t shapeError = 0;     // the geometry query's error, when it failed
  std::vector<std::uint64_t> luns;  // the target's LUNs, for REPORT LUNS
};

// Which facts a command needs: the caller gathers only those.
struct FactsNeeded {
  bool description = false, designators = false, shape = false;
};
FactsNeeded NeedsFor(std::span<const std::uint8_t> cdb);

// The answer to `cdb`: INQUIRY (standard data, pages 00h, 80h, 83h), READ
// CAPACITY (10) and (16), REPORT LUNS; anything else is CHECK CONDITION,
// ILLEGAL REQUEST.
CommandOutcome AnswerFromFacts(std::span<const std::uint8_t> cdb, const DeviceFacts& facts);

}  // namespace wnaspi32::windows
