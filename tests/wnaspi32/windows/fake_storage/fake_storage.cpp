#include "fake_storage.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include "scsi/commands.h"
#include "structure_bytes.h"
#include "windows_view.h"
#include "wnaspi32.h"
#include "wnaspi32/sim/bus_file.h"
#include "wnaspi32/sim/scsi_device.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::fake_windows {

using namespace windows;

namespace {

// FILE_DEVICE_* of STORAGE_DEVICE_NUMBER.
constexpr std::uint32_t FileDeviceCdRom = 0x02, FileDeviceDisk = 0x07, FileDeviceTape = 0x1F;

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// The number after `prefix` in `name` ("PhysicalDrive12" → 12), if that is
// all there is (but for `suffix`).
std::optional<std::uint32_t> NumberAfter(std::string_view name, std::string_view prefix,
                                         std::string_view suffix = {}) {
  if (name.size() <= prefix.size() + suffix.size() || !SameText(name.substr(0, prefix.size()), prefix) ||
      !SameText(name.substr(name.size() - suffix.size()), suffix))
    return std::nullopt;
  const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), digit)) return std::nullopt;
  return static_cast<std::uint32_t>(std::stoul(std::string(digits)));
}

// One control call, shared by the handle's caller and whatever ends it: it
// holds the call's buffers until then.
struct Call {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  ControlResult result;
  std::vector<std::uint8_t> input;
  const UnitView* unit = nullptr;  // the unit it went to, if any

  void End(ControlResult ending) {
    const std::lock_guard lock(mutex);
    if (ended) return;
    ended = true;
    result = std::move(ending);
    changed.notify_all();
  }
  bool Ended() {
    const std::lock_guard lock(mutex);
    return ended;
  }
};

class Pending final : public PendingControl {
 public:
  explicit Pending(std::shared_ptr<Call> call) : call_(std::move(call)) {}
  bool Wait(std::chrono::milliseconds timeout) override {
    std::unique_lock lock(call_->mutex);
    return call_->changed.wait_for(lock, timeout, [&] { return call_->ended; });
  }
  void Cancel() override { call_->End({ErrorOperationAborted, {}}); }
  ControlResult Result() const override {
    const std::lock_guard lock(call_->mutex);
    return call_->result;
  }

 private:
  std::shared_ptr<Call> call_;
};

// How a call ends: its result, after `delayMs` (-1: never, until cancelled).
struct Reply {
  ControlResult result;
  int delayMs = 0;
  const UnitView* unit = nullptr;
};

Reply Fails(std::uint32_t error) { return {{error, {}}}; }

// The answer cut to the caller's output buffer, as METHOD_BUFFERED copies it.
Reply Gives(std::vector<std::uint8_t> bytes, std::uint32_t outputLength) {
  bytes.resize(std::min<std::size_t>(bytes.size(), outputLength));
  return {{ErrorSuccess, std::move(bytes)}};
}

}  // namespace

class FakeStorage::Machine : public std::enable_shared_from_this<Machine> {
 public:
  Machine(sim::Bus bus, Rights rights) : bus_(std::move(bus)), view_(ViewOf(bus_)), rights_(rights) {}

  const sim::Bus& Bus() const { return bus_; }
  const WindowsView& View() const { return view_; }
  Rights RightsOf() const { return rights_; }

  bool Gone(const UnitView& unit) {
    const std::lock_guard lock(mutex_);
    return gone_.contains(&unit);
  }

  void Unplug(std::size_t adapter, std::uint8_t target, std::uint8_t lun) {
    const std::lock_guard lock(mutex_);
    for (const UnitView& unit : view_.units) {
      if (unit.adapter != adapter || unit.target->id != target || unit.target->lun != lun) continue;
      gone_.insert(&unit);
      for (const auto& call : underWay_)
        if (call->unit == &unit) call->End({ErrorDeviceNotConnected, {}});
    }
  }

  // Ends `call` as `reply` says: at once, after a delay on a thread of its
  // own, or never. Until it has ended Windows would hold its buffers, so
  // the machine holds the call.
  void Start(const std::shared_ptr<Call>& call, Reply reply) {
    call->unit = reply.unit;
    if (reply.delayMs == 0) return call->End(std::move(reply.result));
    {
      const std::lock_guard lock(mutex_);
      std::erase_if(underWay_, [](const auto& other) { return other->Ended(); });
      if (reply.unit != nullptr && gone_.contains(reply.unit))
        return call->End({ErrorDeviceNotConnected, {}});
      underWay_.push_back(call);
    }
    if (reply.delayMs < 0) return;
    // As the backend's: the thread starts only once detached, for MinGW's
    // thread library.
    std::promise<void> detached;
    std::thread([call, reply = std::move(reply), started = detached.get_future()]() mutable {
      started.wait();
      std::unique_lock lock(call->mutex);
      // Wakes early only once the call has ended otherwise.
      call->changed.wait_for(lock, std::chrono::milliseconds(reply.delayMs), [&] { return call->ended; });
      lock.unlock();
      call->End(std::move(reply.result));
    }).detach();
    detached.set_value();
  }

  std::optional<std::size_t> PortNumber(std::uint32_t number) const {
    if (number >= bus_.adapters.size()) return std::nullopt;
    return number;
  }

  const UnitView* FindObject(ObjectKind kind, std::uint32_t number) const {
    for (const UnitView& unit : view_.units)
      if (unit.kind == kind && unit.number == number) return &unit;
    return nullptr;
  }

  const UnitView* FindUnit(std::size_t adapter, std::uint8_t target, std::uint8_t lun) const {
    for (const UnitView& unit : view_.units)
      if (unit.adapter == adapter && unit.target->id == target && unit.target->lun == lun) return &unit;
    return nullptr;
  }

 private:
  const sim::Bus bus_;
  const WindowsView view_;
  const Rights rights_;
  std::mutex mutex_;
  std::set<const UnitView*> gone_;
  std::vector<std::shared_ptr<Call>> underWay_;
};

namespace {

using Machine = FakeStorage::Machine;

// IOCTL_SCSI_GET_INQUIRY_DATA: one bus, its units in order, each with the
// INQUIRY data the port kept.
Reply InquiryData(Machine& machine, std::size_t port, std::uint32_t outputLength) {
  const sim::Adapter& adapter = machine.Bus().adapters[port];
  std::vector<std::uint8_t> bytes(sizeof(ScsiAdapterBusInfo));
  ScsiAdapterBusInfo info{};
  info.NumberOfBuses = 1;
  info.BusData[0].InitiatorBusId = adapter.scsiId;
  std::size_t previous = 0;  // the offset of the last record, 0: none yet
  for (const UnitView& unit : machine.View().units) {
    if (unit.adapter != port || machine.Gone(unit)) continue;
    const std::size_t at = AlignedEnd(bytes, 8);
    ScsiInquiryData record{};
    record.TargetId = unit.target->id;
    record.Lun = unit.target->lun;
    record.DeviceClaimed = unit.kind != ObjectKind::None;
    record.InquiryDataLength = static_cast<std::uint32_t>(unit.portInquiry.size());
    PutAt(bytes, at, record, offsetof(ScsiInquiryData, InquiryData));
    bytes.insert(bytes.end(), unit.portInquiry.begin(), unit.portInquiry.end());
    if (previous != 0)
      PatchAt(bytes, previous + offsetof(ScsiInquiryData, NextInquiryDataOffset), at);
    else
      info.BusData[0].InquiryDataOffset = static_cast<std::uint32_t>(at);
    previous = at;
    ++info.BusData[0].NumberOfLogicalUnits;
  }
  PutAt(bytes, 0, info, sizeof info);
  if (bytes.size() > outputLength) return Fails(ErrorInsufficientBuffer);
  return Gives(std::move(bytes), outputLength);
}

// IOCTL_SCSI_PASS_THROUGH, double-buffered: the header, then the sense and
// the data at their offsets in the same buffer.
Reply PassThrough(const sim::Adapter& adapter, const UnitView& unit, const std::vector<std::uint8_t>& input,
                  std::uint32_t outputLength) {
  ScsiPassThrough request{};
  if (input.size() < sizeof request) return Fails(ErrorInvalidParameter);
  std::memcpy(&request, input.data(), sizeof request);
  const bool dataIn = request.DataIn == ScsiIoctlDataIn && request.DataTransferLength > 0;
  if (request.Length != sizeof request || request.CdbLength == 0 || request.CdbLength > sizeof request.Cdb ||
      outputLength < sizeof request ||
      (dataIn && request.DataBufferOffset + std::uint64_t{request.DataTransferLength} > outputLength) ||
      (request.SenseInfoLength > 0 &&
       request.SenseInfoOffset + std::uint64_t{request.SenseInfoLength} > outputLength))
    return Fails(ErrorInvalidParameter);

  std::uint8_t cdb[16] = {};
  std::memcpy(cdb, request.Cdb, request.CdbLength);
  const sim::ScsiAnswer answer = sim::AnswerScsiCommand(adapter, unit.target->id, unit.target->lun, cdb,
                                                        dataIn ? request.DataTransferLength : 0);
  Reply reply{.result = {}, .delayMs = answer.delayMs, .unit = &unit};
  if (answer.status == SS_PENDING) {
    reply.delayMs = -1;
    return reply;
  }
  const int bound = static_cast<int>(request.TimeOutValue) * 1000;
  if (reply.delayMs >= 0 && request.TimeOutValue > 0 && reply.delayMs > bound) {
    // The port gives up on the device and resets it.
    reply.result.error = ErrorSemTimeout;
    reply.delayMs = bound;
    return reply;
  }
  // No Windows error tells an ASPI status: a status the bus file sets is
  // a device that failed the request.
  if (!answer.replies) {
    reply.result.error = ErrorIoDevice;
    return reply;
  }
  if (answer.haStat == HASTAT_SEL_TO) {
    reply.result.error = ErrorDeviceNotConnected;
    return reply;
  }
  std::vector<std::uint8_t> bytes = input;
  bytes.resize(std::max<std::size_t>(bytes.size(), outputLength));
  std::size_t returned = sizeof request;
  request.ScsiStatus = answer.targStat;
  request.DataTransferLength = dataIn ? static_cast<std::uint32_t>(answer.data.size()) : 0;
  if (dataIn && !answer.data.empty()) {
    std::copy(answer.data.begin(), answer.data.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(request.DataBufferOffset));
    returned = std::max<std::size_t>(returned, request.DataBufferOffset + answer.data.size());
  }
  request.SenseInfoLength =
      static_cast<std::uint8_t>(std::min<std::size_t>(answer.sense.size(), request.SenseInfoLength));
  if (request.SenseInfoLength > 0) {
    std::copy_n(answer.sense.begin(), request.SenseInfoLength, bytes.begin() + request.SenseInfoOffset);
    returned = std::max<std::size_t>(returned, request.SenseInfoOffset + request.SenseInfoLength);
  }
  std::memcpy(bytes.data(), &request, sizeof request);
  bytes.resize(returned);
  reply.result.output = std::move(bytes);
  return reply;
}

// The text of INQUIRY bytes [first, first + length), NUL-terminated, or
// nothing when the data is shorter.
std::optional<std::string> InquiryText(const std::vector<std::uint8_t>& inquiry, std::size_t first,
                                       std::size_t length) {
  if (inquiry.size() < first + length) return std::nullopt;
  return std::string(inquiry.begin() + static_cast<std::ptrdiff_t>(first),
                     inquiry.begin() + static_cast<std::ptrdiff_t>(first + length));
}

// StorageDeviceProperty: the INQUIRY data's texts, the serial number of page
// 80h, the bus the port is; the port's INQUIRY data as the raw properties.
std::vector<std::uint8_t> DeviceDescriptor(const UnitView& unit) {
  const std::vector<std::uint8_t>& inquiry = unit.portInquiry;
  StorageDeviceDescriptor descriptor{};
  descriptor.Version = sizeof descriptor;
  descriptor.DeviceType = inquiry[0] & scsi::PeripheralTypeMask;
  descriptor.DeviceTypeModifier = inquiry.size() > 1 ? inquiry[1] & 0x7F : 0;
  descriptor.RemovableMedia = inquiry.size() > 1 && (inquiry[1] & 0x80) != 0;
  descriptor.CommandQueueing = inquiry.size() > 7 && (inquiry[7] & 0x02) != 0;
  descriptor.BusType = BusTypeScsi;
  descriptor.RawPropertiesLength = static_cast<std::uint32_t>(inquiry.size());
  const std::size_t raw = offsetof(StorageDeviceDescriptor, RawDeviceProperties);
  std::vector<std::uint8_t> bytes(raw + inquiry.size());
  std::copy(inquiry.begin(), inquiry.end(), bytes.begin() + raw);
  const auto text = [&](std::optional<std::string> value, std::uint32_t& offset) {
    if (!value) return;
    offset = static_cast<std::uint32_t>(bytes.size());
    bytes.insert(bytes.end(), value->begin(), value->end());
    bytes.push_back(0);
  };
  text(InquiryText(inquiry, 8, 8), descriptor.VendorIdOffset);
  text(InquiryText(inquiry, 16, 16), descriptor.ProductIdOffset);
  text(InquiryText(inquiry, 32, 4), descriptor.ProductRevisionOffset);
  const auto& pages = unit.target->vpdPages;
  if (const auto serial = pages.find(scsi::UnitSerialNumberPage); serial != pages.end()) {
    const std::vector<std::uint8_t>& page = serial->second;
    if (page.size() >= scsi::VpdHeaderLength) {
      const std::size_t length = std::min<std::size_t>(page.size() - scsi::VpdHeaderLength,
                                                       scsi::GetBigEndian(page.data(), scsi::VpdPageLength));
      text(std::string(page.begin() + scsi::VpdHeaderLength,
                       page.begin() + static_cast<std::ptrdiff_t>(scsi::VpdHeaderLength + length)),
           descriptor.SerialNumberOffset);
    }
  }
  descriptor.Size = static_cast<std::uint32_t>(bytes.size());
  PutAt(bytes, 0, descriptor, offsetof(StorageDeviceDescriptor, RawDeviceProperties));
  return bytes;
}

// StorageDeviceIdProperty: page 83h's designators, one STORAGE_IDENTIFIER
// each; nothing when the device has no such page.
std::optional<std::vector<std::uint8_t>> DeviceIdDescriptor(const UnitView& unit) {
  const auto page = unit.target->vpdPages.find(scsi::DeviceIdentificationPage);
  if (page == unit.target->vpdPages.end() || page->second.size() < scsi::VpdHeaderLength) return std::nullopt;
  const std::vector<std::uint8_t>& bytesOfPage = page->second;
  const std::size_t end = std::min<std::size_t>(
      bytesOfPage.size(),
      scsi::VpdHeaderLength + scsi::GetBigEndian(bytesOfPage.data(), scsi::VpdPageLength));
  StorageDeviceIdDescriptor descriptor{};
  descriptor.Version = sizeof descriptor;
  std::vector<std::uint8_t> bytes(offsetof(StorageDeviceIdDescriptor, Identifiers));
  std::size_t previous = 0;
  for (std::size_t at = scsi::VpdHeaderLength; at + 4 <= end;) {
    const std::size_t length = bytesOfPage[at + 3];
    if (at + 4 + length > end) break;
    const std::size_t record = AlignedEnd(bytes, 4);
    if (previous != 0)
      PatchAt<std::uint16_t>(bytes, previous + offsetof(StorageIdentifier, NextOffset), record - previous);
    StorageIdentifier identifier{};
    identifier.CodeSet = bytesOfPage[at] & 0x0F;
    identifier.Type = bytesOfPage[at + 1] & 0x0F;
    identifier.Association = (bytesOfPage[at + 1] >> 4) & 0x03;
    identifier.IdentifierSize = static_cast<std::uint16_t>(length);
    PutAt(bytes, record, identifier, offsetof(StorageIdentifier, Identifier));
    bytes.insert(bytes.end(), bytesOfPage.begin() + static_cast<std::ptrdiff_t>(at + 4),
                 bytesOfPage.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
    previous = record;
    ++descriptor.NumberOfIdentifiers;
    at += 4 + length;
  }
  descriptor.Size = static_cast<std::uint32_t>(bytes.size());
  PutAt(bytes, 0, descriptor, offsetof(StorageDeviceIdDescriptor, Identifiers));
  return bytes;
}

Reply QueryProperty(const UnitView& unit, const std::vector<std::uint8_t>& input,
                    std::uint32_t outputLength) {
  StoragePropertyQuery query{};
  if (input.size() < offsetof(StoragePropertyQuery, AdditionalParameters))
    return Fails(ErrorInvalidParameter);
  std::memcpy(&query, input.data(), offsetof(StoragePropertyQuery, AdditionalParameters));
  if (query.QueryType != PropertyStandardQuery) return Fails(ErrorNotSupported);
  // A buffer that holds at least the header gets as much as fits: the
  // header's Size tells the whole.
  if (outputLength < sizeof(StorageDescriptorHeader)) return Fails(ErrorInsufficientBuffer);
  if (query.PropertyId == StorageDeviceProperty) return Gives(DeviceDescriptor(unit), outputLength);
  if (query.PropertyId == StorageDeviceIdProperty) {
    if (auto bytes = DeviceIdDescriptor(unit)) return Gives(std::move(*bytes), outputLength);
  }
  return Fails(ErrorNotSupported);
}

// The capacity questions that disk.sys and cdrom.sys answer: READ CAPACITY
// data, and the geometry over it.
Reply CapacityQuestion(const UnitView& unit, std::uint32_t code, std::uint32_t outputLength) {
  if (unit.kind != ObjectKind::Disk && unit.kind != ObjectKind::CdRom) return Fails(ErrorInvalidFunction);
  const sim::Target& target = *unit.target;
  const int delay =
      code == IoctlStorageReadCapacity || GeometryAsksDevice(unit) ? target.readCapacity.delayMs : 0;
  if (delay < 0) return {.result = {}, .delayMs = -1, .unit = &unit};
  Reply reply;
  if (!target.capacity || target.capacity->blockLength == 0) {
    reply = Fails(ErrorNotReady);  // no medium, or none that tells its size
  } else {
    const std::uint64_t blocks = target.capacity->lastLba + 1;
    const std::uint64_t size = blocks * target.capacity->blockLength;
    const Geometry shape = GeometryOf(unit);
    DiskGeometry geometry{};
    geometry.Cylinders = static_cast<std::int64_t>(
        size / (std::uint64_t{shape.heads} * shape.sectors * target.capacity->blockLength));
    geometry.MediaType = unit.fixedDisk ? MediaFixed : MediaRemovable;
    geometry.TracksPerCylinder = shape.heads;
    geometry.SectorsPerTrack = shape.sectors;
    geometry.BytesPerSector = target.capacity->blockLength;
    std::vector<std::uint8_t> bytes;
    if (code == IoctlDiskGetDriveGeometry) {
      if (outputLength < sizeof geometry) return Fails(ErrorInsufficientBuffer);
      PutAt(bytes, 0, geometry, sizeof geometry);
    } else if (code == IoctlDiskGetDriveGeometryEx) {
      if (outputLength < offsetof(DiskGeometryEx, Data)) return Fails(ErrorInsufficientBuffer);
      DiskGeometryEx ex{};
      ex.Geometry = geometry;
      ex.DiskSize = static_cast<std::int64_t>(size);
      PutAt(bytes, 0, ex, offsetof(DiskGeometryEx, Data));
    } else {
      if (outputLength < sizeof(StorageReadCapacity)) return Fails(ErrorInsufficientBuffer);
      StorageReadCapacity capacity{};
      capacity.Version = capacity.Size = sizeof capacity;
      capacity.BlockLength = target.capacity->blockLength;
      capacity.NumberOfBlocks = static_cast<std::int64_t>(blocks);
      capacity.DiskLength = static_cast<std::int64_t>(size);
      PutAt(bytes, 0, capacity, sizeof capacity);
    }
    reply = Gives(std::move(bytes), outputLength);
  }
  reply.delayMs = delay;
  reply.unit = &unit;
  return reply;
}

// A class driver's device object: PhysicalDriveN, CdRomN, TapeN.
Reply ObjectControl(Machine& machine, const UnitView& unit, std::uint32_t code,
                    const std::vector<std::uint8_t>& input, std::uint32_t outputLength) {
  switch (code) {
    case IoctlScsiGetAddress: {
      if (outputLength < sizeof(ScsiAddress)) return Fails(ErrorInsufficientBuffer);
      ScsiAddress address{sizeof(ScsiAddress), static_cast<std::uint8_t>(unit.adapter), 0, unit.target->id,
                          unit.target->lun};
      std::vector<std::uint8_t> bytes;
      PutAt(bytes, 0, address, sizeof address);
      return Gives(std::move(bytes), outputLength);
    }
    case IoctlStorageGetDeviceNumber: {
      if (outputLength < sizeof(StorageDeviceNumber)) return Fails(ErrorInsufficientBuffer);
      StorageDeviceNumber number{};
      number.DeviceType = unit.kind == ObjectKind::Disk    ? FileDeviceDisk
                          : unit.kind == ObjectKind::CdRom ? FileDeviceCdRom
                                                           : FileDeviceTape;
      number.DeviceNumber = unit.number;
      number.PartitionNumber = unit.kind == ObjectKind::Disk ? 0 : 0xFFFFFFFF;
      std::vector<std::uint8_t> bytes;
      PutAt(bytes, 0, number, sizeof number);
      return Gives(std::move(bytes), outputLength);
    }
    case IoctlStorageQueryProperty:
      return QueryProperty(unit, input, outputLength);
    case IoctlDiskGetDriveGeometry:
    case IoctlDiskGetDriveGeometryEx:
    case IoctlStorageReadCapacity:
      return CapacityQuestion(unit, code, outputLength);
    case IoctlScsiPassThrough:
      // The class driver fills in the unit's own address.
      return PassThrough(machine.Bus().adapters[unit.adapter], unit, input, outputLength);
    default:
      return Fails(ErrorInvalidFunction);
  }
}

// A port, \\.\ScsiN:. Pass-through reaches only the units no class driver
// owns.
Reply PortControl(Machine& machine, std::size_t port, std::uint32_t code,
                  const std::vector<std::uint8_t>& input, std::uint32_t outputLength) {
  if (code == IoctlScsiGetInquiryData) return InquiryData(machine, port, outputLength);
  if (code != IoctlScsiPassThrough) return Fails(ErrorInvalidFunction);
  ScsiPassThrough request{};
  if (input.size() < sizeof request) return Fails(ErrorInvalidParameter);
  std::memcpy(&request, input.data(), sizeof request);
  if (request.PathId != 0) return Fails(ErrorInvalidParameter);
  const UnitView* unit = machine.FindUnit(port, request.TargetId, request.Lun);
  if (unit == nullptr) return Fails(ErrorDeviceNotConnected);
  if (unit->kind != ObjectKind::None) return Fails(ErrorInvalidParameter);
  if (machine.Gone(*unit)) return Fails(ErrorDeviceNotConnected);
  return PassThrough(machine.Bus().adapters[port], *unit, input, outputLength);
}

class Object final : public Device {
 public:
  Object(std::shared_ptr<Machine> machine, std::size_t port, const UnitView* unit, Access access)
      : machine_(std::move(machine)), port_(port), unit_(unit), access_(access) {}

  std::shared_ptr<PendingControl> Control(std::uint32_t code, std::vector<std::uint8_t> input,
                                          std::uint32_t outputLength) override {
    auto call = std::make_shared<Call>();
    Reply reply;
    // The I/O manager checks the handle's rights before any driver sees
    // the call.
    if (access_ == Access::None && AccessOf(code) != AnyAccess)
      reply = Fails(ErrorAccessDenied);
    else if (unit_ != nullptr && machine_->Gone(*unit_))
      reply = Fails(ErrorDeviceNotConnected);
    else if (unit_ != nullptr)
      reply = ObjectControl(*machine_, *unit_, code, input, outputLength);
    else
      reply = PortControl(*machine_, port_, code, input, outputLength);
    call->input = std::move(input);
    machine_->Start(call, std::move(reply));
    return std::make_shared<Pending>(std::move(call));
  }

 private:
  std::shared_ptr<Machine> machine_;
  std::size_t port_;
  const UnitView* unit_;  // null for a port
  Access access_;
};

}  // namespace

FakeStorage::FakeStorage(sim::Bus bus, Rights rights)
    : machine_(std::make_shared<Machine>(std::move(bus), rights)) {}

FakeStorage::~FakeStorage() = default;

Opened FakeStorage::Open(const std::string& path, Access access) {
  constexpr std::string_view device = "\\\\.\\";
  if (!path.starts_with(device)) return {nullptr, ErrorFileNotFound};
  const std::string_view name = std::string_view(path).substr(device.size());
  std::optional<std::size_t> port;
  const UnitView* unit = nullptr;
  if (const auto number = NumberAfter(name, "Scsi", ":")) {
    port = machine_->PortNumber(*number);
  } else {
    for (const auto& [prefix, kind] :
         {std::pair{"PhysicalDrive", ObjectKind::Disk}, std::pair{"CdRom", ObjectKind::CdRom},
          std::pair{"Tape", ObjectKind::Tape}})
      if (const auto number = NumberAfter(name, prefix)) unit = machine_->FindObject(kind, *number);
    if (unit != nullptr && machine_->Gone(*unit)) unit = nullptr;
  }
  if (!port && unit == nullptr) return {nullptr, ErrorFileNotFound};
  // Without administrator rights Windows opens storage devices for no
  // more than the queries anyone may make.
  if (access == Access::ReadWrite && machine_->RightsOf() == Rights::OrdinaryUser)
    return {nullptr, ErrorAccessDenied};
  return {std::make_shared<Object>(machine_, port.value_or(0), unit, access), ErrorSuccess};
}

std::optional<std::string> FakeStorage::RegistryText(const std::string& key, const std::string& value) {
  const auto port = NumberAfter(key, "HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port ");
  if (!port || !SameText(value, "Driver") || !machine_->PortNumber(*port)) return std::nullopt;
  return DriverText(machine_->Bus().adapters[*port]);
}

void FakeStorage::Unplug(std::size_t adapter, std::uint8_t target, std::uint8_t lun) {
  machine_->Unplug(adapter, target, lun);
}

std::shared_ptr<FakeStorage> LoadFakeStorage(const std::string& path, Rights rights, std::string& error) {
  std::optional<sim::Bus> bus = sim::LoadBusFile(path, error);
  if (!bus) return nullptr;
  return std::make_shared<FakeStorage>(std::move(*bus), rights);
}

}  // namespace wnaspi32::fake_windows
