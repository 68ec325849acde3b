// A bus file's machine as Windows would show it: each adapter a SCSI port
// with one bus, the units a class driver would own claimed and reached
// through device objects numbered as Windows numbers them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wnaspi32/sim/bus.h"

namespace wnaspi32::fake_windows {

enum class ObjectKind { None, Disk, CdRom, Tape };

// One logical unit as its port lists it.
struct UnitView {
  std::size_t adapter = 0;  // the port's number, the bus file's adapter
  const sim::Target* target = nullptr;
  ObjectKind kind = ObjectKind::None;  // the class driver that owns it
  std::uint32_t number = 0;            // of its device object: PhysicalDrive<number>, ...
  bool fixedDisk = false;
  // What the port kept of its INQUIRY data at start-up: at most 36 bytes.
  std::vector<std::uint8_t> portInquiry;
};

struct WindowsView {
  std::vector<UnitView> units;  // by port, then target ID and LUN
};

WindowsView ViewOf(const sim::Bus& bus);

// "PhysicalDrive0", "CdRom1", "Tape0"; empty for an unclaimed unit.
std::string ObjectName(const UnitView& unit);

// The port's driver as the registry names it: the identifier's bytes up to
// the first NUL, as UTF-8.
std::string DriverText(const sim::Adapter& adapter);

// The heads and sectors a disk's geometry gives: the bus file's, or what
// Windows makes up when it has none.
struct Geometry {
  std::uint32_t heads = 0;
  std::uint32_t sectors = 0;
};
Geometry GeometryOf(const UnitView& unit);

// Whether Windows answers a geometry question about the unit by asking the
// device (removable media) rather than from what it keeps.
bool GeometryAsksDevice(const UnitView& unit);

}  // namespace wnaspi32::fake_windows
