// The layer's host adapters on Windows: one per SCSI port and path, from
// the ports' lists, with the disk, CD-ROM and tape device objects placed
// on them by their SCSI addresses; a device object with no SCSI address
// gets an adapter of its own after the ports.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wnaspi32/windows/storage_calls.h"

namespace wnaspi32::windows {

struct Unit {
  std::uint8_t target = 0;
  std::uint8_t lun = 0;
  bool claimed = false;
  std::uint8_t type = 0;              // the SCSI peripheral device type
  std::vector<std::uint8_t> inquiry;  // the port's copy of its INQUIRY data
  std::string object;                 // its device object, "" when none
  // A fixed disk: its INT 13h drive number (80h and on, in the order of
  // the fixed PhysicalDrive objects).
  std::optional<std::uint8_t> biosDrive;
};

struct Adapter {
  std::optional<std::uint8_t> port;  // none: a device object without SCSI address
  std::uint8_t path = 0;
  std::uint8_t initiatorId = 0;
  std::string identifier;  // code page 932 bytes, at most 16
  std::vector<Unit> units;
};

// "\\.\Scsi<port>:"
std::string PortPath(std::uint8_t port);

// Looks at most `bound` for each call that may wait on a device.
std::vector<Adapter> SurveyAdapters(StorageCalls& calls, std::chrono::milliseconds bound);

}  // namespace wnaspi32::windows
