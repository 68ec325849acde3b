#include "windows_view.h"

#include <algorithm>
#include <tuple>

#include "scsi/commands.h"
#include "text/cp932.h"

namespace wnaspi32::fake_windows {
namespace {

bool Removable(const std::vector<std::uint8_t>& inquiry) {
  return inquiry.size() > 1 && (inquiry[1] & 0x80) != 0;
}

// The class driver that claims a unit of this INQUIRY data: disk.sys takes
// direct-access, optical memory and RBC units, cdrom.sys CD/DVD and WORM
// units, tape.sys sequential-access ones; a unit that is not there
// (qualifier other than 0) nobody takes.
ObjectKind ClaimedBy(const std::vector<std::uint8_t>& inquiry) {
  if (inquiry.empty() || (inquiry[0] >> 5) != 0) return ObjectKind::None;
  switch (inquiry[0] & scsi::PeripheralTypeMask) {
    case scsi::DirectAccessDevice:
    case scsi::OpticalMemoryDevice:
    case 0x0E:  // simplified direct-access (RBC)
      return ObjectKind::Disk;
    case 0x04:  // write-once
    case scsi::MultimediaDevice:
      return ObjectKind::CdRom;
    case scsi::SequentialAccessDevice:
      return ObjectKind::Tape;
    default:
      return ObjectKind::None;
  }
}

// The order in which Windows numbers a unit among the device objects of its
// kind. Fixed disks come first, those the bus gives an INT 13h drive in that
// drive's order, so that 80h + the disk's number is its drive again; then
// the others as the ports list them.
std::tuple<int, int> NumberingKey(const UnitView& unit) {
  const sim::DiskInfo& disk = unit.target->disk;
  if (!unit.fixedDisk) return {2, 0};
  if (disk.driveFlags != 0 && disk.int13Drive >= 0x80) return {0, disk.int13Drive};
  return {1, 0};
}

}  // namespace

WindowsView ViewOf(const sim::Bus& bus) {
  WindowsView view;
  for (std::size_t a = 0; a < bus.adapters.size(); ++a) {
    for (const sim::Target& target : bus.adapters[a].targets) {
      // A unit that gave no INQUIRY data was never found.
      if (!target.inquiry || target.inquiry->empty()) continue;
      UnitView unit;
      unit.adapter = a;
      unit.target = &target;
      unit.portInquiry.assign(
          target.inquiry->begin(),
          target.inquiry->begin() +
              static_cast<std::ptrdiff_t>(std::min(target.inquiry->size(), scsi::StandardInquiryLength)));
      unit.kind = ClaimedBy(*target.inquiry);
      unit.fixedDisk = unit.kind == ObjectKind::Disk && !Removable(*target.inquiry) &&
                       ((*target.inquiry)[0] & scsi::PeripheralTypeMask) != scsi::OpticalMemoryDevice;
      view.units.push_back(std::move(unit));
    }
  }
  std::stable_sort(view.units.begin(), view.units.end(), [](const UnitView& a, const UnitView& b) {
    return std::tie(a.adapter, a.target->id, a.target->lun) <
           std::tie(b.adapter, b.target->id, b.target->lun);
  });

  std::vector<UnitView*> byNumber;
  for (UnitView& unit : view.units) byNumber.push_back(&unit);
  std::stable_sort(byNumber.begin(), byNumber.end(),
                   [](const UnitView* a, const UnitView* b) { return NumberingKey(*a) < NumberingKey(*b); });
  std::uint32_t next[4] = {};
  for (UnitView* unit : byNumber) unit->number = next[static_cast<int>(unit->kind)]++;
  return view;
}

std::string ObjectName(const UnitView& unit) {
  switch (unit.kind) {
    case ObjectKind::Disk:
      return "PhysicalDrive" + std::to_string(unit.number);
    case ObjectKind::CdRom:
      return "CdRom" + std::to_string(unit.number);
    case ObjectKind::Tape:
      return "Tape" + std::to_string(unit.number);
    case ObjectKind::None:
      break;
  }
  return {};
}

std::string DriverText(const sim::Adapter& adapter) {
  const std::string_view name(adapter.identifier.data(),
                              std::min(adapter.identifier.find('\0'), adapter.identifier.size()));
  return Cp932ToUtf8(name, ControlBytes::Keep);
}

Geometry GeometryOf(const UnitView& unit) {
  const sim::DiskInfo& disk = unit.target->disk;
  if (disk.heads != 0 && disk.sectors != 0) return {disk.heads, disk.sectors};
  // disk.sys's made-up geometry for a fixed disk; cdrom.sys's for a disc.
  return unit.fixedDisk ? Geometry{255, 63} : Geometry{64, 32};
}

bool GeometryAsksDevice(const UnitView& unit) { return unit.kind != ObjectKind::None && !unit.fixedDisk; }

}  // namespace wnaspi32::fake_windows
