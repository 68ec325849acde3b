#include "nearest_bus.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "scsi/commands.h"
#include "text/cp932.h"
#include "windows_view.h"

namespace wnaspi32::fake_windows {
namespace {

using Json = nlohmann::ordered_json;

// Drive flags of a disk that Windows numbers: an INT 13h unit the OS
// manages.
constexpr std::uint8_t DriveInt13ManagedByOs = 1;

// The identifier as the layer makes it again from the registry's UTF-8:
// each byte that starts no code page 932 character comes back as "?".
std::string IdentifierFromRegistry(const sim::Adapter& adapter) {
  std::string bytes;
  for (const char32_t c : Cp932ToUtf32(adapter.identifier.substr(0, adapter.identifier.find('\0')), U'\uFFFD',
                                       ControlBytes::Keep))
    bytes += CodePointToCp932(c).value_or("?");
  bytes.resize(sim::AdapterNameWidth, '\0');
  return bytes;
}

sim::Target NearestTarget(const UnitView& unit, Rights rights) {
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
  for (const auto& [code, page] : from.vpdPages) {
    const bool kept = code == scsi::SupportedVpdPages || code == scsi::UnitSerialNumberPage ||
                      code == scsi::DeviceIdentificationPage;
    if (!user || (claimed && kept)) to.vpdPages[code] = page;
  }
  // The capacity an ordinary user gets from the geometry, which only disk
  // and CD-ROM device objects give.
  if (!user || unit.kind == ObjectKind::Disk || unit.kind == ObjectKind::CdRom) to.capacity = from.capacity;
  if (unit.fixedDisk) {
    const Geometry geometry = GeometryOf(unit);
    to.disk = {DriveInt13ManagedByOs, static_cast<std::uint8_t>(0x80 + unit.number),
               static_cast<std::uint8_t>(std::min(geometry.heads, 255u)),
               static_cast<std::uint8_t>(std::min(geometry.sectors, 255u))};
  }
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
  for (const auto& [name, outcome] : {std::pair{"dev_type", &target.devType}, {"disk_info", &target.diskInfo},
                                      {"inquiry", &target.inquiryCommand}, {"read_capacity", &target.readCapacity}})
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
      if (unit.adapter == a) adapter.targets.push_back(NearestTarget(unit, rights));
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
      entry["disk"] = {{"flags", target.disk.driveFlags}, {"drive", target.disk.int13Drive},
                       {"heads", target.disk.heads}, {"sectors", target.disk.sectors}};
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
