// A SCSI port's buses and units, read from its IOCTL_SCSI_GET_INQUIRY_DATA
// answer (SCSI_ADAPTER_BUS_INFO), and where a device object sits
// (SCSI_ADDRESS).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "wnaspi32/windows/answer_bytes.h"

namespace wnaspi32::windows {

struct PortUnit {
  std::uint8_t target = 0;
  std::uint8_t lun = 0;
  bool claimed = false;               // a class driver owns it: reached by its device object
  std::vector<std::uint8_t> inquiry;  // the INQUIRY data the port keeps
};

// One bus (path ID) of a port: a host adapter of the layer.
struct PortBus {
  std::uint8_t path = 0;
  std::uint8_t initiatorId = 0;
  std::vector<PortUnit> units;
};

// The buses in path order, each with the units the port lists on it. A
// unit record outside the answer ends its bus's list; a unit that names
// another path than its bus's is left out.
std::vector<PortBus> ParsePortList(Bytes answer);

struct ScsiPlace {
  std::uint8_t port = 0;
  std::uint8_t path = 0;
  std::uint8_t target = 0;
  std::uint8_t lun = 0;
  auto operator<=>(const ScsiPlace&) const = default;
};

// IOCTL_SCSI_GET_ADDRESS's answer; nothing when it is too short.
std::optional<ScsiPlace> ParseScsiAddress(Bytes answer);

}  // namespace wnaspi32::windows
