#include "wnaspi32/windows/survey.h"

#include <algorithm>
#include <map>

#include "scsi/commands.h"
#include "text/cp932.h"
#include "wnaspi32/front/adapter_fields.h"
#include "wnaspi32/windows/bounded_call.h"
#include "wnaspi32/windows/port_list.h"
#include "wnaspi32/windows/property_answers.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {
namespace {

// Numbers may have gaps (a disk taken out leaves one): so many missing in
// a row end the count.
constexpr int MostGaps = 8;
constexpr int MostNumber = 256;
constexpr std::uint32_t PortListRoom = 64 * 1024;
constexpr std::uint32_t DescriptorRoom = 1024;
// Where the port does not say: the host's usual ID.
constexpr std::uint8_t UsualInitiatorId = 7;

// A device object of a class driver, and what the survey learnt of it.
struct DeviceObject {
  std::string path;
  std::uint8_t type = 0;  // the descriptor's, else the class driver's kind
  std::optional<ScsiPlace> place;
  bool fixedDisk = false;
};

struct ObjectKind {
  const char* prefix;
  std::uint8_t type;
};
constexpr ObjectKind ObjectKinds[] = {{"\\\\.\\PhysicalDrive", scsi::DirectAccessDevice},
                                      {"\\\\.\\CdRom", scsi::MultimediaDevice},
                                      {"\\\\.\\Tape", scsi::SequentialAccessDevice}};

// Opens the device objects `name`(0), `name`(1), ... with no access
// rights, for each that opens.
template <typename Name, typename Each>
void ForEachNumbered(StorageCalls& calls, Name name, Each each) {
  for (int n = 0, gaps = 0; n < MostNumber && gaps < MostGaps; ++n) {
    const std::string path = name(n);
    const Opened opened = calls.Open(path, Access::None);
    if (!opened.device) {
      if (opened.error == ErrorFileNotFound) ++gaps;
      continue;
    }
    gaps = 0;
    each(n, path, *opened.device);
  }
}

std::optional<std::vector<std::uint8_t>> Answer(Device& device, std::uint32_t code,
                                                std::vector<std::uint8_t> input, std::uint32_t room,
                                                std::chrono::milliseconds bound) {
  const auto result = CallUntil(device, code, std::move(input), room, Clock::now() + bound);
  if (!result || result->error != ErrorSuccess) return std::nullopt;
  return result->output;
}

// The port driver's name, as the device map has it, cut to 16 bytes of
// code page 932 without splitting a character.
std::string DriverName(StorageCalls& calls, std::uint8_t port) {
  const auto text =
      calls.RegistryText("HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port " + std::to_string(port), "Driver");
  std::string name = text ? Utf8ToCp932(*text).value_or("") : "";
  std::size_t end = 0;
  while (end < name.size()) {
    const std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(name[end])) ? 2 : 1;
    if (end + width > 16) break;
    end += width;
  }
  return name.substr(0, end);
}

std::vector<Adapter> PortAdapters(StorageCalls& calls, std::chrono::milliseconds bound) {
  std::vector<Adapter> adapters;
  const auto name = [](int n) { return PortPath(static_cast<std::uint8_t>(n)); };
  ForEachNumbered(calls, name, [&](int n, const std::string&, Device& port) {
    const auto number = static_cast<std::uint8_t>(n);
    const auto list = Answer(port, IoctlScsiGetInquiryData, {}, PortListRoom, bound);
    if (!list) return;
    const std::string identifier = DriverName(calls, number);
    for (PortBus& bus : ParsePortList(*list)) {
      Adapter adapter{.port = number,
                      .path = bus.path,
                      .initiatorId = bus.initiatorId,
                      .identifier = identifier,
                      .units = {}};
      for (PortUnit& unit : bus.units) {
        const std::uint8_t type =
            unit.inquiry.empty() ? 0 : unit.inquiry[0] & scsi::PeripheralTypeMask;
        adapter.units.push_back({.target = unit.target,
                                 .lun = unit.lun,
                                 .claimed = unit.claimed,
                                 .type = type,
                                 .inquiry = std::move(unit.inquiry),
                                 .object = {},
                                 .biosDrive = {}});
      }
      adapters.push_back(std::move(adapter));
    }
  });
  return adapters;
}

std::vector<DeviceObject> DeviceObjects(StorageCalls& calls, std::chrono::milliseconds bound) {
  std::vector<DeviceObject> objects;
  for (const ObjectKind& kind : ObjectKinds) {
    const auto name = [&](int n) { return std::string(kind.prefix) + std::to_string(n); };
    ForEachNumbered(calls, name, [&](int, const std::string& path, Device& device) {
      DeviceObject object{.path = path, .type = kind.type, .place = {}, .fixedDisk = false};
      if (const auto address = Answer(device, IoctlScsiGetAddress, {}, sizeof(ScsiAddress), bound))
        object.place = ParseScsiAddress(*address);
      if (const auto descriptor =
              Answer(device, IoctlStorageQueryProperty, PropertyQuery(StorageDeviceProperty),
                     DescriptorRoom, bound))
        if (const auto description = ParseDeviceDescriptor(*descriptor))
          object.type = description->type;
      if (kind.type == scsi::DirectAccessDevice) {
        const auto geometry =
            Answer(device, IoctlDiskGetDriveGeometry, {}, sizeof(DiskGeometry), bound);
        const auto media = geometry
                               ? ReadAt<std::uint32_t>(*geometry, offsetof(DiskGeometry, MediaType))
                               : std::nullopt;
        object.fixedDisk = media == MediaFixed;
      }
      objects.push_back(std::move(object));
    });
  }
  return objects;
}

}  // namespace

std::string PortPath(std::uint8_t port) { return "\\\\.\\Scsi" + std::to_string(port) + ":"; }

std::vector<Adapter> SurveyAdapters(StorageCalls& calls, std::chrono::milliseconds bound) {
  std::vector<Adapter> adapters = PortAdapters(calls, bound);
  std::vector<Adapter> unaddressed;
  int fixedDisks = 0;
  for (DeviceObject& object : DeviceObjects(calls, bound)) {
    std::optional<std::uint8_t> biosDrive;
    if (object.fixedDisk && fixedDisks < 0x80)
      biosDrive = static_cast<std::uint8_t>(0x80 + fixedDisks++);
    const Unit placed{.target = object.place ? object.place->target : std::uint8_t{0},
                      .lun = object.place ? object.place->lun : std::uint8_t{0},
                      .claimed = true,
                      .type = object.type,
                      .inquiry = {},
                      .object = object.path,
                      .biosDrive = biosDrive};
    if (!object.place) {
      unaddressed.push_back({.port = {},
                             .path = 0,
                             .initiatorId = UsualInitiatorId,
                             .identifier = object.path.substr(4, 16),
                             .units = {placed}});
      continue;
    }
    const ScsiPlace& place = *object.place;
    auto adapter = std::find_if(adapters.begin(), adapters.end(), [&](const Adapter& a) {
      return a.port == place.port && a.path == place.path;
    });
    if (adapter == adapters.end()) {
      adapters.push_back({.port = place.port,
                          .path = place.path,
                          .initiatorId = UsualInitiatorId,
                          .identifier = DriverName(calls, place.port),
                          .units = {}});
      adapter = adapters.end() - 1;
    }
    auto unit = std::find_if(adapter->units.begin(), adapter->units.end(), [&](const Unit& u) {
      return u.target == place.target && u.lun == place.lun;
    });
    if (unit == adapter->units.end()) {
      adapter->units.push_back(placed);
    } else {
      unit->object = object.path;
      unit->biosDrive = biosDrive;
    }
  }
  std::stable_sort(adapters.begin(), adapters.end(), [](const Adapter& a, const Adapter& b) {
    return std::pair(a.port, a.path) < std::pair(b.port, b.path);
  });
  for (Adapter& adapter : unaddressed) adapters.push_back(std::move(adapter));
  if (adapters.size() > MostAdapters) adapters.resize(MostAdapters);
  return adapters;
}

}  // namespace wnaspi32::windows
