#include "nearest_bus.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "scsi/commands.h"
#include "scsi/designators.h"
#include "scsi/replies.h"
#include "text/cp932.h"
#include "windows_view.h"

namespace wnaspi32::fake_windows {
namespace {

using Json = nlohmann::ordered_json;

// Drive flags: an INT 13h unit the OS manages (a fixed disk), or a disk
// with geometry only (removable).
constexpr std::uint8_t DriveInt13ManagedByOs = 1, DriveGeometryOnly = 3;

// The identifier as the layer makes it again from the registry's UTF-8:
// none when a character has no code page 932 form, else cut to 16 bytes
// without splitting a character.
std::string IdentifierFromRegistry(const sim::Adapter& adapter) {
  std::string bytes = Utf8ToCp932(DriverText(adapter)).value_or("");
  std::size_t end = 0;
  while (end < bytes.size()) {
    const std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(bytes[end])) ? 2 : 1;
    if (end + width > sim::AdapterNameWidth) break;
    end += width;
  }
  bytes.resize(end);
  bytes.resize(sim::AdapterNameWidth, '\0');
  return bytes;
}

bool HasMedium(const UnitView& unit) {
  return unit.target->capacity && unit.target->capacity->blockLength != 0;
}

// A disk's INT 13h view: a fixed disk is drive 80h + its order among the
// fixed disks that tell their geometry; a removable one has geometry only;
// a drive without a medium nothing.
sim::DiskInfo DiskOf(const WindowsView& view, const UnitView& unit) {
  if (unit.kind != ObjectKind::Disk || !HasMedium(unit)) return {};
  const Geometry geometry = GeometryOf(unit);
  sim::DiskInfo disk{DriveGeometryOnly, 0, static_cast<std::uint8_t>(std::min(geometry.heads, 255u)),
                     static_cast<std::uint8_t>(std::min(geometry.sectors, 63u))};
  if (unit.fixedDisk) {
    disk.driveFlags = DriveInt13ManagedByOs;
    disk.int13Drive = 0x80;
    for (const UnitView& other : view.units)
      if (other.fixedDisk && HasMedium(other) && other.number < unit.number) ++disk.int13Drive;
  }
  return disk;
}

// The body of a VPD page as far as its length says and its bytes go.
std::vector<std::uint8_t> PageBody(const std::vector<std::uint8_t>& page) {
  if (page.size() < scsi::VpdHeaderLength) return {};
  const std::size_t length = std::min<std::size_t>(page.size() - scsi::VpdHeaderLength,
                                                   scsi::GetBigEndian(page.data(), scsi::VpdPageLength));
  return {page.begin() + scsi::VpdHeaderLength,
          page.begin() + static_cast<std::ptrdiff_t>(scsi::VpdHeaderLength + length)};
}

// The pages an ordinary user gets of a unit: 80h from the descriptor's
// serial number (up to a NUL), 83h from the identifiers, which keep each
// designator's code set, association and type but not its protocol; 00h
// listing them. Only a claimed unit has a device object to ask.
std::map<std::uint8_t, std::vector<std::uint8_t>> UserVpdPages(const sim::Target& from, bool claimed,
                                                               std::uint8_t type) {
  std::map<std::uint8_t, std::vector<std::uint8_t>> pages;
  std::vector<std::uint8_t> listed{scsi::SupportedVpdPages};
  const auto page = [&](std::uint8_t code) -> std::optional<std::vector<std::uint8_t>> {
    const auto found = from.vpdPages.find(code);
    if (!claimed || found == from.vpdPages.end()) return std::nullopt;
    return PageBody(found->second);
  };
  if (auto serial = page(scsi::UnitSerialNumberPage)) {
    serial->erase(std::find(serial->begin(), serial->end(), 0), serial->end());
    if (!serial->empty()) {
      listed.push_back(scsi::UnitSerialNumberPage);
      pages[scsi::UnitSerialNumberPage] = scsi::VpdPage(type, scsi::UnitSerialNumberPage, *serial);
    }
  }
  if (auto designators = page(scsi::DeviceIdentificationPage)) {
    std::vector<std::uint8_t> body;
    for (std::size_t at = 0; at + scsi::DesignatorHeaderLength <= designators->size();) {
      const std::size_t length = (*designators)[at + 3];
      if (at + scsi::DesignatorHeaderLength + length > designators->size()) break;
      body.push_back((*designators)[at] & 0x0F);
      body.push_back((*designators)[at + 1] & 0x3F);
      body.push_back(0);
      body.insert(body.end(), designators->begin() + static_cast<std::ptrdiff_t>(at + 3),
                  designators->begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
      at += scsi::DesignatorHeaderLength + length;
    }
    if (!body.empty()) {
      listed.push_back(scsi::DeviceIdentificationPage);
      pages[scsi::DeviceIdentificationPage] = scsi::VpdPage(type, scsi::DeviceIdentificationPage, body);
    }
  }
  pages[scsi::SupportedVpdPages] = scsi::VpdPage(type, scsi::SupportedVpdPages, listed);
  return pages;
}

sim::Target NearestTarget(const WindowsView& view, const UnitView& unit, Rights rights) {
  const sim::Target& from = *unit.target;
  const bool user = rights == Rights::OrdinaryUser;
  const bool claimed = unit.kind != ObjectKind::None;
  sim::Target to;
  to.id = from.id;
  to.lun = from.lun;
  to.deviceType = unit.portInquiry[0] & scsi::PeripheralTypeMask;
  // An ordinary user reaches no device: INQUIRY comes from what the port
  // kept, the serial number and the designators from the class driver.
  to.inquiry = user ? unit.portInquiry : *from.inquiry;
  if (user) {
    to.vpdPages = UserVpdPages(from, claimed, to.deviceType);
  } else {
    to.vpdPages = from.vpdPages;
  }
  // The capacity an ordinary user gets from the geometry, which only disk
  // and CD-ROM device objects give.
  if (!user || unit.kind == ObjectKind::Disk || unit.kind == ObjectKind::CdRom) to.capacity = from.capacity;
  to.disk = DiskOf(view, unit);
  // Only commands that reach the device take its time; a status the bus
  // sets Windows cannot tell (SS_PENDING: a device that never answers).
  const auto timed = [](const sim::Outcome& outcome, bool reachesDevice) {
    sim::Outcome nearest;
    if (reachesDevice) nearest.delayMs = outcome.status == 0 ? -1 : outcome.delayMs;
    return nearest;
  };
  to.inquiryCommand = timed(from.inquiryCommand, !user);
  to.readCapacity = timed(from.readCapacity, !user || GeometryAsksDevice(unit));
  return to;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    text += digits;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

Json HexText(const std::string& bytes) { return {{"hex", Hex({bytes.begin(), bytes.end()})}}; }

Json OutcomeKeys(const sim::Target& target, auto field) {
  Json keys = Json::object();
  for (const auto& [name, outcome] : {std::pair{"dev_type", &target.devType},
                                      {"disk_info", &target.diskInfo},
                                      {"inquiry", &target.inquiryCommand},
                                      {"read_capacity", &target.readCapacity}})
    keys[name] = outcome->*field;
  return keys;
}

}  // namespace

sim::Bus NearestBus(const sim::Bus& bus, Rights rights) {
  const WindowsView view = ViewOf(bus);
  sim::Bus nearest;
  for (std::size_t a = 0; a < bus.adapters.size(); ++a) {
    sim::Adapter adapter;
    adapter.scsiId = bus.adapters[a].scsiId;
    adapter.haCount = static_cast<std::uint8_t>(bus.adapters.size());
    adapter.managerId = sim::SimManagerName;
    adapter.managerId.resize(sim::AdapterNameWidth, '\0');
    adapter.identifier = IdentifierFromRegistry(bus.adapters[a]);
    for (const UnitView& unit : view.units)
      if (unit.adapter == a) adapter.targets.push_back(NearestTarget(view, unit, rights));
    nearest.adapters.push_back(std::move(adapter));
  }
  return nearest;
}

std::string BusFileText(const sim::Bus& bus) {
  Json adapters = Json::array();
  for (const sim::Adapter& adapter : bus.adapters) {
    Json targets = Json::array();
    for (const sim::Target& target : adapter.targets) {
      Json entry = {{"id", target.id}, {"lun", target.lun}, {"type", target.deviceType}};
      if (target.inquiry) entry["inquiry"] = Hex(*target.inquiry);
      if (!target.vpdPages.empty()) {
        Json pages = Json::object();
        for (const auto& [code, page] : target.vpdPages) pages[std::to_string(code)] = Hex(page);
        entry["vpd"] = pages;
      }
      if (target.capacity)
        entry["capacity"] = {{"last_lba", target.capacity->lastLba},
                             {"block_length", target.capacity->blockLength}};
      entry["disk"] = {{"flags", target.disk.driveFlags},
                       {"drive", target.disk.int13Drive},
                       {"heads", target.disk.heads},
                       {"sectors", target.disk.sectors}};
      entry["status"] = OutcomeKeys(target, &sim::Outcome::status);
      entry["delay_ms"] = OutcomeKeys(target, &sim::Outcome::delayMs);
      targets.push_back(entry);
    }
    Json entry = {{"scsi_id", adapter.scsiId},
                  {"manager", HexText(adapter.managerId)},
                  {"identifier", HexText(adapter.identifier)},
                  {"ha_count", adapter.haCount}};
    if (adapter.targetIds) entry["target_ids"] = *adapter.targetIds;
    entry["targets"] = targets;
    adapters.push_back(entry);
  }
  return Json{{"adapters", adapters}}.dump(1) + "\n";
}

}  // namespace wnaspi32::fake_windows
