// The fake storage stack keeps Windows' rules: who may open what, which
// calls a handle without rights may make, where pass-through goes, how
// device objects are numbered, and how calls that take long end.
#include "fake_storage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "nearest_bus.h"
#include "scsi/commands.h"
#include "wnaspi32/sim/bus_file.h"
#include "wnaspi32/windows/storage_structures.h"
#include "wnaspi32/windows/windows_backend.h"

namespace {

using namespace wnaspi32;
using namespace wnaspi32::windows;
using fake_windows::FakeStorage;
using fake_windows::Rights;
using namespace std::chrono_literals;

// Port 0: a disk that the bus makes drive 81h, a scanner with a serial
// number, a CD-ROM that never answers READ CAPACITY, a slow disk with a
// serial number and two designators; port 1: the disk the bus makes drive
// 80h.
constexpr char Machine[] = R"({"adapters": [
  {"identifier": "内蔵SCSI", "targets": [
    {"id": 0, "inquiry": {"type": 0, "vendor": "DISK81"}, "capacity": {"last_lba": 2047},
     "disk": {"flags": 1, "drive": "0x81", "heads": 16, "sectors": 32}},
    {"id": 3, "inquiry": {"type": 6, "vendor": "SCANNER"}, "vpd": {"0x80": "06 80 00 02 53 43"}},
    {"id": 4, "inquiry": {"type": 5, "removable": true, "vendor": "CD"},
     "capacity": {"last_lba": 999, "block_length": 2048}, "delay_ms": {"read_capacity": -1}},
    {"id": 5, "inquiry": {"type": 0, "vendor": "SLOW"}, "delay_ms": {"inquiry": 60000},
     "vpd": {"0x80": "00 80 00 04 53 4E 30 31",
             "0x83": "00 83 00 10 01 03 00 04 AA BB CC DD 52 93 00 04 00 00 00 01"}}]},
  {"scsi_id": 6, "targets": [
    {"id": 2, "inquiry": {"type": 0, "vendor": "DISK80"}, "capacity": {"last_lba": 4095},
     "disk": {"flags": 1, "drive": "0x80", "heads": 64, "sectors": 32}}]}]})";

sim::Bus MachineBus() {
  sim::FieldError error;
  auto bus = sim::ParseBus(Machine, error);
  if (!bus) ADD_FAILURE() << error.place << ": " << error.problem;
  return bus.value_or(sim::Bus{});
}

std::shared_ptr<FakeStorage> Storage(Rights rights = Rights::Administrator) {
  return std::make_shared<FakeStorage>(MachineBus(), rights);
}

template <typename T>
std::vector<std::uint8_t> BytesOf(const T& value) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
  return {bytes, bytes + sizeof value};
}

template <typename T>
T Read(const std::vector<std::uint8_t>& bytes, std::size_t at = 0) {
  T value{};
  if (bytes.size() >= at + sizeof value)
    std::memcpy(&value, bytes.data() + at, sizeof value);
  else
    ADD_FAILURE() << "answer of " << bytes.size() << " bytes, no " << sizeof value << " at " << at;
  return value;
}

// SCSI_PASS_THROUGH for `opcode` to `target`, with room for 18 bytes of
// sense and 96 of data after the header.
constexpr std::uint32_t SenseAt = sizeof(ScsiPassThrough), DataAt = SenseAt + 24,
                        PassThroughRoom = DataAt + 96;
std::vector<std::uint8_t> PassThroughTo(std::uint8_t target, std::uint8_t opcode, std::uint32_t seconds = 8) {
  ScsiPassThrough request{};
  request.Length = sizeof request;
  request.TargetId = target;
  request.CdbLength = 6;
  request.SenseInfoLength = 18;
  request.DataIn = ScsiIoctlDataIn;
  request.DataTransferLength = 96;
  request.TimeOutValue = seconds;
  request.DataBufferOffset = DataAt;
  request.SenseInfoOffset = SenseAt;
  request.Cdb[0] = opcode;
  request.Cdb[4] = 96;
  return BytesOf(request);
}

std::vector<std::uint8_t> PropertyQuery(std::uint32_t property) {
  return BytesOf(StoragePropertyQuery{property, PropertyStandardQuery, {}});
}

ControlResult Call(FakeStorage& storage, const std::string& path, Access access, std::uint32_t code,
                   std::vector<std::uint8_t> input = {}, std::uint32_t room = 4096) {
  const Opened opened = storage.Open(path, access);
  if (!opened.device) return {opened.error, {}};
  const auto pending = opened.device->Control(code, std::move(input), room);
  if (!pending->Wait(5s)) return {ErrorIoPending, {}};
  return pending->Result();
}

struct OpenCase {
  Rights rights;
  const char* path;
  Access access;
  std::uint32_t error;
};

TEST(FakeStorage, OpensAsWindowsLetsWhom) {
  const OpenCase cases[] = {
      {Rights::Administrator, R"(\\.\Scsi0:)", Access::ReadWrite, ErrorSuccess},
      {Rights::Administrator, R"(\\.\physicaldrive1)", Access::ReadWrite, ErrorSuccess},
      {Rights::OrdinaryUser, R"(\\.\Scsi0:)", Access::None, ErrorSuccess},
      {Rights::OrdinaryUser, R"(\\.\CdRom0)", Access::None, ErrorSuccess},
      {Rights::OrdinaryUser, R"(\\.\Scsi1:)", Access::ReadWrite, ErrorAccessDenied},
      {Rights::OrdinaryUser, R"(\\.\PhysicalDrive0)", Access::ReadWrite, ErrorAccessDenied},
      // What is not there is not found, whoever asks.
      {Rights::OrdinaryUser, R"(\\.\Scsi2:)", Access::ReadWrite, ErrorFileNotFound},
      {Rights::Administrator, R"(\\.\PhysicalDrive3)", Access::None, ErrorFileNotFound},
      {Rights::Administrator, R"(\\.\CdRom1)", Access::None, ErrorFileNotFound},
      {Rights::Administrator, R"(\\.\Tape0)", Access::None, ErrorFileNotFound},
  };
  for (const OpenCase& c : cases) {
    const auto storage = Storage(c.rights);
    EXPECT_EQ(storage->Open(c.path, c.access).error, c.error) << c.path;
  }
}

struct ControlCase {
  const char* path;
  Access access;
  std::uint32_t code;
  std::vector<std::uint8_t> input;
  std::uint32_t error;
};

TEST(FakeStorage, RefusesWhatTheHandleOrThePortMayNotDo) {
  const ControlCase cases[] = {
      // A handle without rights makes only the calls anyone may make.
      {R"(\\.\PhysicalDrive0)", Access::None, IoctlScsiPassThrough, PassThroughTo(0, scsi::Inquiry),
       ErrorAccessDenied},
      {R"(\\.\PhysicalDrive0)", Access::None, IoctlStorageReadCapacity, {}, ErrorAccessDenied},
      {R"(\\.\PhysicalDrive0)", Access::None, IoctlDiskGetDriveGeometryEx, {}, ErrorSuccess},
      {R"(\\.\PhysicalDrive0)", Access::None, IoctlStorageQueryProperty, PropertyQuery(StorageDeviceProperty),
       ErrorSuccess},
      {R"(\\.\Scsi0:)", Access::None, IoctlScsiGetInquiryData, {}, ErrorSuccess},
      {R"(\\.\Scsi0:)", Access::None, IoctlScsiPassThrough, PassThroughTo(3, scsi::Inquiry),
       ErrorAccessDenied},
      // The port passes commands only to units no class driver owns.
      {R"(\\.\Scsi0:)", Access::ReadWrite, IoctlScsiPassThrough, PassThroughTo(3, scsi::Inquiry),
       ErrorSuccess},
      {R"(\\.\Scsi0:)", Access::ReadWrite, IoctlScsiPassThrough, PassThroughTo(0, scsi::Inquiry),
       ErrorInvalidParameter},
      // A device object passes them to its own unit, whatever address the
      // request names.
      {R"(\\.\PhysicalDrive1)", Access::ReadWrite, IoctlScsiPassThrough, PassThroughTo(9, scsi::Inquiry),
       ErrorSuccess},
      // Only disks and CD-ROMs have a geometry; a disk without a medium none.
      {R"(\\.\PhysicalDrive2)", Access::None, IoctlDiskGetDriveGeometryEx, {}, ErrorNotReady},
      {R"(\\.\Scsi0:)", Access::None, IoctlDiskGetDriveGeometryEx, {}, ErrorInvalidFunction},
      {R"(\\.\PhysicalDrive2)", Access::None, IoctlStorageQueryProperty,
       PropertyQuery(StorageDeviceIdProperty), ErrorSuccess},
      {R"(\\.\PhysicalDrive0)", Access::None, IoctlStorageQueryProperty,
       PropertyQuery(StorageDeviceIdProperty), ErrorNotSupported},
  };
  const auto storage = Storage();
  for (const ControlCase& c : cases)
    EXPECT_EQ(Call(*storage, c.path, c.access, c.code, c.input).error, c.error)
        << c.path << " " << std::hex << c.code;
}

// Fixed disks first, in the order of the INT 13h drives the bus gives
// them, so that 80h + the number is the drive again.
TEST(FakeStorage, NumbersDeviceObjectsAsTheBiosNumbersDrives) {
  const struct {
    const char* path;
    std::uint8_t port, target;
  } cases[] = {{R"(\\.\PhysicalDrive0)", 1, 2},
               {R"(\\.\PhysicalDrive1)", 0, 0},
               {R"(\\.\PhysicalDrive2)", 0, 5},
               {R"(\\.\CdRom0)", 0, 4}};
  const auto storage = Storage();
  for (const auto& c : cases) {
    const ControlResult result = Call(*storage, c.path, Access::None, IoctlScsiGetAddress);
    ASSERT_EQ(result.error, ErrorSuccess) << c.path;
    const auto address = Read<ScsiAddress>(result.output);
    EXPECT_EQ(std::pair(address.PortNumber, address.TargetId), std::pair(c.port, c.target)) << c.path;
  }
}

// The port's list, walked as Windows documents it: every unit, claimed or
// not, with the INQUIRY data the port kept.
TEST(FakeStorage, ListsEachPortsUnitsWithTheirInquiryData) {
  const auto storage = Storage();
  const ControlResult result = Call(*storage, R"(\\.\Scsi0:)", Access::None, IoctlScsiGetInquiryData);
  ASSERT_EQ(result.error, ErrorSuccess);
  const auto info = Read<ScsiAdapterBusInfo>(result.output);
  ASSERT_EQ(info.NumberOfBuses, 1);
  EXPECT_EQ(info.BusData[0].InitiatorBusId, 7);
  EXPECT_EQ(info.BusData[0].NumberOfLogicalUnits, 4);
  std::vector<std::tuple<int, int, std::string>> units;
  for (std::uint32_t at = info.BusData[0].InquiryDataOffset; at != 0;) {
    const auto unit = Read<ScsiInquiryData>(result.output, at);
    const std::size_t vendor = at + offsetof(ScsiInquiryData, InquiryData) + 8;
    ASSERT_GE(unit.InquiryDataLength, 16u);
    ASSERT_LE(vendor + 8, result.output.size());
    units.emplace_back(unit.TargetId, unit.DeviceClaimed,
                       std::string(result.output.begin() + vendor, result.output.begin() + vendor + 8));
    ASSERT_LT(units.size(), 5u) << "the chain goes round";
    at = unit.NextInquiryDataOffset;
  }
  EXPECT_EQ(units, (std::vector<std::tuple<int, int, std::string>>{
                       {0, 1, "DISK81  "}, {3, 0, "SCANNER "}, {4, 1, "CD      "}, {5, 1, "SLOW    "}}));
  EXPECT_EQ(storage->RegistryText(R"(HARDWARE\DEVICEMAP\Scsi\Scsi Port 0)", "Driver"), "内蔵SCSI");
  EXPECT_EQ(storage->RegistryText(R"(HARDWARE\DEVICEMAP\Scsi\Scsi Port 2)", "Driver"), std::nullopt);
}

// Pass-through answers as the simulated device does: data, or CHECK
// CONDITION with its sense in the caller's buffer.
TEST(FakeStorage, PassThroughCarriesTheDevicesAnswer) {
  const struct {
    std::uint8_t opcode;
    std::uint8_t status;
    std::uint32_t transferred;
    std::uint8_t senseKey;
  } cases[] = {{scsi::Inquiry, 0, 36, 0}, {scsi::TestUnitReady, 2, 0, scsi::SenseKeyIllegalRequest}};
  const auto storage = Storage();
  for (const auto& c : cases) {
    const ControlResult result = Call(*storage, R"(\\.\PhysicalDrive1)", Access::ReadWrite,
                                      IoctlScsiPassThrough, PassThroughTo(0, c.opcode), PassThroughRoom);
    ASSERT_EQ(result.error, ErrorSuccess);
    const auto reply = Read<ScsiPassThrough>(result.output);
    EXPECT_EQ(reply.ScsiStatus, c.status);
    EXPECT_EQ(reply.DataTransferLength, c.transferred);
    if (c.transferred > 0) {
      ASSERT_GE(result.output.size(), DataAt + c.transferred);
      EXPECT_EQ(std::string(result.output.begin() + DataAt + 8, result.output.begin() + DataAt + 14),
                "DISK81");
    }
    if (c.senseKey != 0) {
      ASSERT_EQ(reply.SenseInfoLength, 18);
      EXPECT_EQ(result.output.at(SenseAt + 2) & 0x0F, c.senseKey);
    }
  }
}

// The serial number and the designators a class driver keeps, as the
// descriptors carry them.
TEST(FakeStorage, DescribesTheDeviceFromItsPages) {
  const auto storage = Storage(Rights::OrdinaryUser);
  const ControlResult described = Call(*storage, R"(\\.\PhysicalDrive2)", Access::None,
                                       IoctlStorageQueryProperty, PropertyQuery(StorageDeviceProperty));
  const auto descriptor = Read<StorageDeviceDescriptor>(described.output);
  ASSERT_EQ(descriptor.Size, described.output.size());
  const auto text = [&](std::uint32_t offset) {
    return offset == 0 ? std::string("-")
                       : std::string(reinterpret_cast<const char*>(&described.output[offset]));
  };
  EXPECT_EQ(text(descriptor.VendorIdOffset), "SLOW    ");
  EXPECT_EQ(text(descriptor.SerialNumberOffset), "SN01");

  const ControlResult ids = Call(*storage, R"(\\.\PhysicalDrive2)", Access::None, IoctlStorageQueryProperty,
                                 PropertyQuery(StorageDeviceIdProperty));
  ASSERT_EQ(Read<StorageDeviceIdDescriptor>(ids.output).NumberOfIdentifiers, 2u);
  const std::size_t first = offsetof(StorageDeviceIdDescriptor, Identifiers);
  const auto naa = Read<StorageIdentifier>(ids.output, first);
  const auto port = Read<StorageIdentifier>(ids.output, first + naa.NextOffset);
  EXPECT_EQ(std::tuple(naa.CodeSet, naa.Type, naa.Association, naa.IdentifierSize),
            std::tuple(1u, 3u, 0u, 4));
  EXPECT_EQ(ids.output.at(first + offsetof(StorageIdentifier, Identifier) + 3), 0xDD);
  EXPECT_EQ(std::tuple(port.CodeSet, port.Type, port.Association, port.NextOffset),
            std::tuple(2u, 3u, 1u, 0));
}

TEST(FakeStorage, ACallThatNeverEndsEndsOnlyWhenCancelled) {
  const auto storage = Storage();
  const Opened cdrom = storage->Open(R"(\\.\CdRom0)", Access::ReadWrite);
  const auto pending = cdrom.device->Control(IoctlStorageReadCapacity, {}, 64);
  EXPECT_FALSE(pending->Wait(50ms));
  pending->Cancel();
  ASSERT_TRUE(pending->Wait(0ms));
  EXPECT_EQ(pending->Result().error, ErrorOperationAborted);
}

// The port gives up after the pass-through's TimeOutValue.
TEST(FakeStorage, ADeviceSlowerThanTheTimeOutValueTimesOut) {
  const auto storage = Storage();
  const Opened disk = storage->Open(R"(\\.\PhysicalDrive2)", Access::ReadWrite);
  const auto pending =
      disk.device->Control(IoctlScsiPassThrough, PassThroughTo(0, scsi::Inquiry, 1), PassThroughRoom);
  EXPECT_FALSE(pending->Wait(100ms));
  ASSERT_TRUE(pending->Wait(5s));
  EXPECT_EQ(pending->Result().error, ErrorSemTimeout);
}

// A unit that goes away ends what it was doing, and later calls on handles
// still open to it; its device object is gone. Calls dropped by their
// caller stay whole until then.
TEST(FakeStorage, AUnitThatGoesAwayEndsItsCalls) {
  const auto storage = Storage();
  Opened cdrom = storage->Open(R"(\\.\CdRom0)", Access::ReadWrite);
  const auto watched = cdrom.device->Control(IoctlStorageReadCapacity, {}, 64);
  cdrom.device->Control(IoctlDiskGetDriveGeometryEx, std::vector<std::uint8_t>(512, 1), 512);  // dropped
  storage->Unplug(0, 4, 0);
  ASSERT_TRUE(watched->Wait(1s));
  EXPECT_EQ(watched->Result().error, ErrorDeviceNotConnected);
  const auto later = cdrom.device->Control(IoctlScsiGetAddress, {}, 64);
  ASSERT_TRUE(later->Wait(0ms));
  EXPECT_EQ(later->Result().error, ErrorDeviceNotConnected);
  EXPECT_EQ(storage->Open(R"(\\.\CdRom0)", Access::None).error, ErrorFileNotFound);
  EXPECT_EQ(Call(*storage, R"(\\.\PhysicalDrive0)", Access::None, IoctlScsiGetAddress).error, ErrorSuccess);
}

// Each command completes on a thread of the backend's own that may end at
// once: MinGW's thread library lost the work of a new thread when the one
// before it had ended before it was detached, and the program crashed.
TEST(FakeStorage, TheLayerOverItAnswersThousandsOfCommandsInARow) {
  const auto backend = MakeWindowsBackend(Storage());
  ASSERT_EQ(backend->AdapterCount(), 2);
  std::uint8_t inquiry[36] = {};
  for (int i = 0; i < 3000; ++i) {
    SRB srb{};
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_CDBLen = 6;
    srb.SRB_BufLen = sizeof inquiry;
    srb.CDBByte[0] = scsi::Inquiry;
    srb.CDBByte[4] = sizeof inquiry;
    std::uint8_t status = backend->ExecScsiCommand(0, srb, inquiry, sizeof inquiry);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (status == SS_PENDING && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(50us);
      status = std::atomic_ref<std::uint8_t>(srb.SRB_Status).load(std::memory_order_acquire);
    }
    ASSERT_EQ(status, SS_COMP) << "command " << i;
  }
  EXPECT_EQ(std::string(inquiry + 8, inquiry + 14), "DISK81");
}

// The bus the Linux programs compare with: the ordinary user's shows what
// the calls open to anyone tell.
TEST(NearestBus, ShowsWhatEachUserCanSee) {
  const sim::Bus bus = MachineBus();
  const sim::Bus admin = fake_windows::NearestBus(bus, Rights::Administrator);
  const sim::Bus user = fake_windows::NearestBus(bus, Rights::OrdinaryUser);
  const auto unit = [](const sim::Bus& b, std::size_t a, std::uint8_t id) {
    return *sim::FindUnit(b.adapters[a], id, 0);
  };
  EXPECT_EQ(unit(admin, 0, 0).disk.int13Drive, 0x81);
  EXPECT_EQ(unit(admin, 1, 2).disk.int13Drive, 0x80);
  EXPECT_EQ(unit(admin, 0, 5).disk.driveFlags, 0) << "no medium, no INT 13h drive";
  EXPECT_EQ(unit(admin, 0, 5).inquiryCommand.delayMs, 60000);
  EXPECT_EQ(unit(user, 0, 5).inquiryCommand.delayMs, 0)
      << "a user's INQUIRY is answered from the port's copy";
  EXPECT_EQ(unit(admin, 0, 4).readCapacity.delayMs, -1);
  EXPECT_EQ(unit(user, 0, 4).readCapacity.delayMs, -1) << "a disc's geometry asks the drive";
  const auto& pages = unit(user, 0, 5).vpdPages;
  ASSERT_TRUE(pages.contains(scsi::DeviceIdentificationPage));
  const std::vector<std::uint8_t>& designators = pages.at(scsi::DeviceIdentificationPage);
  ASSERT_EQ(designators.size(), 20u);
  EXPECT_EQ(designators[12], 0x02) << "the protocol identifier is not kept";
  EXPECT_EQ(designators[13], 0x13) << "nor whether it is valid";
  EXPECT_EQ(pages.at(scsi::SupportedVpdPages), (std::vector<std::uint8_t>{0, 0, 0, 3, 0, 0x80, 0x83}));
  EXPECT_EQ(unit(user, 0, 3).vpdPages.size(), 1u) << "an unclaimed unit has no device object to ask";

  sim::FieldError error;
  const auto again = sim::ParseBus(fake_windows::BusFileText(user), error);
  ASSERT_TRUE(again) << error.place << ": " << error.problem;
  EXPECT_EQ(fake_windows::BusFileText(*again), fake_windows::BusFileText(user));
}

}  // namespace
