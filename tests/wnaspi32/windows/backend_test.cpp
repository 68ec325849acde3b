// The Windows backend over a scripted door: one machine with two ports
// (the first with two buses), a disk that only its device object reaches,
// one without a SCSI address, as an administrator and as an ordinary user;
// devices that go away or never answer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "scripted_calls.h"
#include "scsi/commands.h"
#include "text/cp932.h"
#include "win32_stand_ins/win32_events.h"
#include "windows_answers.h"
#include "wnaspi32.h"
#include "wnaspi32/windows/windows_backend.h"

namespace wintest {
namespace {

namespace w = wnaspi32::windows;
using std::chrono::milliseconds;

constexpr char Disk0[] = "\\\\.\\PhysicalDrive0";  // port 0 path 0 target 0, claimed
constexpr char Disk1[] = "\\\\.\\PhysicalDrive1";  // port 2 path 0 target 12, no port lists it
constexpr char Disk3[] = "\\\\.\\PhysicalDrive3";  // no SCSI address, removable
constexpr char CdRom0[] = "\\\\.\\CdRom0";         // port 0 path 1 target 2, claimed
constexpr char Port0[] = "\\\\.\\Scsi0:";
constexpr char Port2[] = "\\\\.\\Scsi2:";

Bytes StandardInquiry(std::uint8_t type, const std::string& product) {
  Bytes data(36, ' ');
  data[0] = type;
  data[1] = data[2] = data[5] = data[6] = data[7] = 0;
  data[3] = 2;
  data[4] = 31;
  std::copy(product.begin(), product.end(), data.begin() + 16);
  return data;
}
const Bytes DiskInquiry = StandardInquiry(0, "DISK0");
const Bytes ScannerInquiry = StandardInquiry(6, "SCANNER");
const Bytes CdInquiry = StandardInquiry(5, "CDROM");
const Bytes ChangerInquiry = StandardInquiry(8, "CHANGER");  // claimed, no device object of ours
const Bytes DeviceData = {0xD0, 0xD1, 0xD2, 0xD3};  // what a device answers by pass-through

ScriptedDevice Object(const Bytes& address, const Described& described, const Bytes& geometryEx,
                      std::uint32_t media) {
  ScriptedDevice device;
  if (!address.empty())
    device.answers[w::IoctlScsiGetAddress] = {0, address};
  else
    device.answers[w::IoctlScsiGetAddress] = {w::ErrorInvalidFunction, {}};
  device.answers[w::IoctlStorageQueryProperty] = {0, Descriptor(described)};
  if (!geometryEx.empty()) device.answers[w::IoctlDiskGetDriveGeometryEx] = {0, geometryEx};
  if (media != 0) device.answers[w::IoctlDiskGetDriveGeometry] = {0, Geometry(media)};
  // Every pass-through answers GOOD with the device's bytes.
  device.passThrough = [](const Bytes& input, std::uint32_t) {
    return ControlResult{0, PassThroughOutput(input, STATUS_GOOD, {}, DeviceData)};
  };
  return device;
}

class WindowsBackendTest : public ::testing::Test {
 protected:
  WindowsBackendTest() {
    auto& d = calls->devices;
    d[Port0].answers[w::IoctlScsiGetInquiryData] = {0, PortList({{7,
                                                                  {{0, 0, true, DiskInquiry},
                                                                   {1, 0, false, ScannerInquiry},
                                                                   {5, 0, true, ChangerInquiry}}},
                                                                 {6, {{2, 0, true, CdInquiry}}}})};
    d[Port0].passThrough = d[Disk0].passThrough;
    d[Port2].answers[w::IoctlScsiGetInquiryData] = {0, PortList({{5, {}}})};
    d[Disk0] = Object(Address(0, 0, 0, 0), {.type = 0, .serial = "SER0"},
                      GeometryEx(w::MediaFixed, 300, 255, 512, 1 << 30), w::MediaFixed);
    d[Disk1] =
        Object(Address(2, 0, 12, 0), {.type = 0, .product = "NVME", .busType = w::BusTypeNvme},
               GeometryEx(w::MediaFixed, 255, 63, 4096, 1 << 30), w::MediaFixed);
    d[Disk3] = Object({}, {.type = 0, .removable = true, .product = "STICK"},
                      GeometryEx(w::MediaRemovable, 64, 32, 512, 1 << 26), w::MediaRemovable);
    d[CdRom0] = Object(Address(0, 1, 2, 0), {.type = 5}, {}, 0);
    d[Port0].passThrough = d[Disk0].passThrough;
    calls->registry["HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port 0|Driver"] = "storahci";
    calls->registry["HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port 2|Driver"] = "stornvme";
  }
  ~WindowsBackendTest() override { calls->Release(); }

  // Windows opens nothing for reading and writing to an ordinary user.
  void AsOrdinaryUser() {
    for (auto& [path, device] : calls->devices) device.readWriteError = w::ErrorAccessDenied;
  }
  wnaspi32::Backend& Backend(milliseconds bound = w::RequestBound) {
    if (!backend) backend = wnaspi32::MakeWindowsBackend(calls, bound);
    return *backend;
  }

  std::shared_ptr<ScriptedCalls> calls = std::make_shared<ScriptedCalls>();
  std::unique_ptr<wnaspi32::Backend> backend;
};

SRB Command(std::uint8_t adapter, std::uint8_t target, const Bytes& cdb,
            std::uint32_t length = 64) {
  SRB srb{};
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = adapter;
  srb.SRB_Target = target;
  srb.SRB_BufLen = length;
  srb.SRB_SenseLen = 18;
  srb.SRB_CDBLen = static_cast<std::uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
  return srb;
}

std::uint8_t StatusOf(SRB& srb) {
  return std::atomic_ref<std::uint8_t>(srb.SRB_Status).load(std::memory_order_acquire);
}

struct Done {
  std::uint8_t status;
  SRB srb;
  Bytes data;  // the buffer's bytes the reply filled (SRB_BufLen less the residual)
};

// Runs a SCSI command and waits for its event when it is pending.
Done Send(wnaspi32::Backend& backend, SRB srb) {
  Bytes buffer(srb.SRB_BufLen, 0xA5);
  HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
  srb.SRB_Flags |= SRB_EVENT_NOTIFY | SRB_ENABLE_RESIDUAL_COUNT;
  srb.SRB_PostProc = static_cast<SrbPointer>(reinterpret_cast<std::uintptr_t>(event));
  const std::uint32_t offered = srb.SRB_BufLen;
  std::uint8_t status = backend.ExecScsiCommand(srb.SRB_HaId, srb, buffer.data(), offered);
  if (status == SS_PENDING) {
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    status = StatusOf(srb);
  }
  CloseHandle(event);
  buffer.resize(status == SS_COMP ? offered - srb.SRB_BufLen : 0);
  return {status, srb, buffer};
}

const Bytes Inquiry36 = {0x12, 0, 0, 0, 36, 0};
const Bytes SerialPage = {0x12, 1, 0x80, 0, 64, 0};
const Bytes Capacity10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes ModeSense = {0x1A, 0, 0x3F, 0, 64, 0};

TEST_F(WindowsBackendTest, AdaptersArePortsAndPathsThenDevicesWithoutAddress) {
  ASSERT_EQ(Backend().AdapterCount(), 4);
  struct Expected {
    std::uint8_t scsiId;
    std::string identifier;
    std::uint8_t targetIds;
  } expected[] = {
      {7, "storahci", 8}, {6, "storahci", 8}, {5, "stornvme", 13}, {7, "PhysicalDrive3", 8}};
  for (int a = 0; a < 4; ++a) {
    SRB srb{};
    ASSERT_EQ(Backend().HostAdapterInquiry(a, srb), SS_COMP);
    EXPECT_EQ(srb.HA_SCSI_ID, expected[a].scsiId) << a;
    EXPECT_STREQ(reinterpret_cast<const char*>(srb.HA_ManagerId), "ASPI for WIN32");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(srb.HA_Identifier)), expected[a].identifier)
        << a;
    EXPECT_EQ(srb.HA_Unique[3], expected[a].targetIds);
  }
  // Device types: listed, placed by address, without address; nobody else.
  const struct {
    int adapter;
    std::uint8_t target;
    std::optional<std::uint8_t> type;
  } types[] = {{0, 0, 0},           {0, 1, 6}, {1, 2, 5},
               {2, 12, 0},          {3, 0, 0}, {0, 2, std::nullopt},
               {2, 0, std::nullopt}};
  for (const auto& t : types) {
    SRB srb = Command(static_cast<std::uint8_t>(t.adapter), t.target, {});
    EXPECT_EQ(Backend().DeviceTypeOf(t.adapter, srb), t.type) << t.adapter << ":" << int{t.target};
  }
}

// The driver's name is code page 932 bytes, cut where a character ends.
TEST_F(WindowsBackendTest, AdapterNamesAreCutWithoutSplittingACharacter) {
  calls->registry["HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port 0|Driver"] = "a日本語のドライバ名";
  SRB srb{};
  ASSERT_EQ(Backend().HostAdapterInquiry(0, srb), SS_COMP);
  const std::string expected = Cp932("a日本語のドライ");  // 15 bytes: the next takes two
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(srb.HA_Identifier), 16), expected + '\0');
}

struct CommandCase {
  const char* name;
  bool ordinaryUser;
  std::uint8_t adapter, target;
  Bytes cdb;
  std::uint8_t status;
  Bytes data;             // the reply's first bytes
  std::string reachedBy;  // the path the pass-through went to, "" for none
};

class CommandTest : public WindowsBackendTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTest, ReachesTheDeviceOrAnswersFromWhatWindowsTellsAnyone) {
  const CommandCase& c = GetParam();
  if (c.ordinaryUser) AsOrdinaryUser();
  const Done done = Send(Backend(), Command(c.adapter, c.target, c.cdb));
  EXPECT_EQ(done.status, c.status);
  EXPECT_EQ(Bytes(done.data.begin(), done.data.begin() + std::min(done.data.size(), c.data.size())),
            c.data);
  std::string reached;
  for (const SeenCall& call : calls->Seen()) {
    if (call.code != w::IoctlScsiPassThrough) continue;
    const w::ScsiPassThrough spt = PassThroughOf(call.input);
    reached = call.path + " " + std::to_string(spt.PathId) + "." + std::to_string(spt.TargetId);
  }
  EXPECT_EQ(reached, c.reachedBy);
  if (c.status == SS_ERR) {
    EXPECT_EQ(done.srb.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(done.srb.SenseArea[2], scsi::SenseKeyIllegalRequest);
  }
}

const Bytes Serial0Page = {0, 0x80, 0, 4, 'S', 'E', 'R', '0'};
const Bytes Disk0Capacity = {0, 0x1F, 0xFF, 0xFF, 0, 0, 2, 0};  // 1 GiB of 512-byte blocks

INSTANTIATE_TEST_SUITE_P(
    Users, CommandTest,
    ::testing::Values(
        CommandCase{"admin_claimed_disk_by_its_object", false, 0, 0, Inquiry36, SS_COMP, DeviceData,
                    "\\\\.\\PhysicalDrive0 0.0"},
        CommandCase{"admin_unclaimed_unit_by_its_port", false, 0, 1, Inquiry36, SS_COMP, DeviceData,
                    "\\\\.\\Scsi0: 0.1"},
        CommandCase{"admin_unlisted_disk_by_its_object", false, 2, 12, ModeSense, SS_COMP,
                    DeviceData, "\\\\.\\PhysicalDrive1 0.0"},
        CommandCase{"admin_disk_without_address", false, 3, 0, Capacity10, SS_COMP, DeviceData,
                    "\\\\.\\PhysicalDrive3 0.0"},
        CommandCase{"admin_claimed_unit_never_through_its_port", false, 0, 5, Inquiry36, SS_COMP,
                    ChangerInquiry, ""},
        CommandCase{"user_inquiry_from_the_port", true, 0, 0, Inquiry36, SS_COMP, DiskInquiry, ""},
        CommandCase{"user_inquiry_from_the_descriptor", true, 2, 12, Inquiry36, SS_COMP,
                    StandardInquiry(0, "NVME"), ""},
        CommandCase{"user_unclaimed_unit_inquiry", true, 0, 1, Inquiry36, SS_COMP, ScannerInquiry,
                    ""},
        CommandCase{"user_serial_page", true, 0, 0, SerialPage, SS_COMP, Serial0Page, ""},
        CommandCase{"user_capacity_from_the_geometry", true, 0, 0, Capacity10, SS_COMP,
                    Disk0Capacity, ""},
        CommandCase{"user_unclaimed_unit_capacity", true, 0, 1, Capacity10, SS_ERR, {}, ""},
        CommandCase{"user_mode_sense", true, 0, 0, ModeSense, SS_ERR, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsBackendTest, AnOrdinaryUsersHandlesAskForNoAccess) {
  AsOrdinaryUser();
  for (const Bytes& cdb : {Inquiry36, SerialPage, Capacity10, Bytes{0x12, 1, 0x83, 0, 64, 0}})
    Send(Backend(), Command(0, 0, cdb));
  for (const SeenCall& call : calls->Seen()) {
    EXPECT_EQ(call.access, Access::None) << call.path;
    EXPECT_EQ(w::AccessOf(call.code), w::AnyAccess) << std::hex << call.code;
  }
}

TEST_F(WindowsBackendTest, LunsTheTargetHasAreReportedAtAnyLun) {
  calls->devices[Port0].answers[w::IoctlScsiGetInquiryData] = {
      0, PortList({{7, {{3, 0, false, ScannerInquiry}, {3, 5, false, ScannerInquiry}}}})};
  SRB srb = Command(0, 3, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0});
  srb.SRB_Lun = 1;  // nobody there
  const Done done = Send(Backend(), srb);
  ASSERT_EQ(done.status, SS_COMP);
  EXPECT_EQ(done.data,
            (Bytes{0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0}));
  srb.SRB_Target = 4;
  EXPECT_EQ(Send(Backend(), srb).srb.SRB_HaStat, HASTAT_SEL_TO);
}

struct Reply {
  std::uint32_t error;
  std::uint8_t status;
  Bytes sense;
};
struct ReplyCase {
  const char* name;
  std::vector<Reply> replies;  // one per pass-through, the last repeated
  std::uint8_t status, haStat, targStat;
  std::uint8_t senseKey;
  std::size_t calls;
};

class ReplyTest : public WindowsBackendTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, WindowsAndTheTargetSayHowTheCommandEnded) {
  const ReplyCase& c = GetParam();
  auto sent = std::make_shared<std::atomic<std::size_t>>(0);
  calls->devices[Disk0].passThrough = [c, sent](const Bytes& input, std::uint32_t) {
    const Reply& r = c.replies[std::min(sent->fetch_add(1), c.replies.size() - 1)];
    if (r.error != 0) return ControlResult{r.error, {}};
    return ControlResult{0, PassThroughOutput(input, r.status, r.sense, DeviceData)};
  };
  const Done done = Send(Backend(), Command(0, 0, Inquiry36));
  EXPECT_EQ(done.status, c.status);
  EXPECT_EQ(done.srb.SRB_HaStat, c.haStat);
  EXPECT_EQ(done.srb.SRB_TargStat, c.targStat);
  EXPECT_EQ(done.srb.SenseArea[2], c.senseKey);
  EXPECT_EQ(sent->load(), c.calls);
}

const Bytes Recovered = {0x70, 0, 0x01, 0, 0, 0, 0, 10};
const Bytes Attention = {0x70, 0, 0x06, 0, 0, 0, 0, 10};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTest,
    ::testing::Values(
        ReplyCase{"good", {{0, STATUS_GOOD, {}}}, SS_COMP, HASTAT_OK, STATUS_GOOD, 0, 1},
        ReplyCase{"recovered_error_is_good", {{0, STATUS_CHKCOND, Recovered}},
                  SS_COMP, HASTAT_OK, STATUS_CHKCOND, 0x01, 1},
        ReplyCase{"unit_attention_goes_once_more", {{0, STATUS_CHKCOND, Attention}, {0, STATUS_GOOD, {}}},
                  SS_COMP, HASTAT_OK, STATUS_GOOD, 0, 2},
        ReplyCase{"a_second_unit_attention_is_the_answer", {{0, STATUS_CHKCOND, Attention}},
                  SS_ERR, HASTAT_OK, STATUS_CHKCOND, 0x06, 2},
        ReplyCase{"gone_mid_command", {{w::ErrorDeviceNotConnected, 0, {}}}, SS_ERR, HASTAT_SEL_TO, 0, 0, 1},
        ReplyCase{"no_such_device", {{w::ErrorNoSuchDevice, 0, {}}}, SS_ERR, HASTAT_SEL_TO, 0, 0, 1},
        ReplyCase{"windows_timed_it_out", {{w::ErrorSemTimeout, 0, {}}}, SS_ERR, HASTAT_COMMAND_TIMEOUT, 0, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A device gone before the command is an empty target; one Windows will
// not open for reading and writing now is answered as for anyone.
TEST_F(WindowsBackendTest, WhenTheDeviceObjectWillNotOpen) {
  const struct {
    std::uint32_t readWriteError;
    std::uint8_t status, haStat;
  } cases[] = {{w::ErrorFileNotFound, SS_ERR, HASTAT_SEL_TO},
               {w::ErrorDeviceRemoved, SS_ERR, HASTAT_SEL_TO},
               {w::ErrorSharingViolation, SS_COMP, HASTAT_OK}};
  for (const auto& c : cases) {
    calls->devices[Disk0].readWriteError = c.readWriteError;
    const Done done = Send(Backend(), Command(0, 0, Inquiry36));
    EXPECT_EQ(done.status, c.status) << c.readWriteError;
    EXPECT_EQ(done.srb.SRB_HaStat, c.haStat) << c.readWriteError;
  }
}

TEST_F(WindowsBackendTest, AnOrdinaryUsersDeviceGoneMidQueryIsAnEmptyTarget) {
  AsOrdinaryUser();
  calls->devices[Disk0].answers[w::IoctlDiskGetDriveGeometryEx] = {w::ErrorDeviceNotConnected, {}};
  const Done done = Send(Backend(), Command(0, 0, Capacity10));
  EXPECT_EQ(done.status, SS_ERR);
  EXPECT_EQ(done.srb.SRB_HaStat, HASTAT_SEL_TO);
}

TEST_F(WindowsBackendTest, NvmeCommandsTheTranslationRefusesComeFromTheProperties) {
  calls->devices[Disk1].answers[w::IoctlStorageQueryProperty] = {
      0, Descriptor({.type = 0, .serial = "NV01", .busType = w::BusTypeNvme})};
  const scsi::FixedSense refusal = scsi::MakeFixedSense(scsi::SenseKeyIllegalRequest, 0x24);
  const Bytes illegal(refusal.begin(), refusal.end());
  calls->devices[Disk1].passThrough = [illegal](const Bytes& input, std::uint32_t) {
    return ControlResult{0, PassThroughOutput(input, STATUS_CHKCOND, illegal, {})};
  };
  const Done done = Send(Backend(), Command(2, 12, SerialPage));
  ASSERT_EQ(done.status, SS_COMP);
  EXPECT_EQ(done.data, (Bytes{0, 0x80, 0, 4, 'N', 'V', '0', '1'}));
}

TEST_F(WindowsBackendTest, DiskInformationFollowsTheFixedDisksOrder) {
  const struct {
    int adapter;
    std::uint8_t target;
    Bytes expected;  // drive flags, drive, heads, sectors
  } cases[] = {
      {0, 0, {1, 0x80, 255, 63}},   // fixed, cut to what INT 13h holds
      {2, 12, {1, 0x81, 255, 63}},  // the second fixed PhysicalDrive
      {3, 0, {3, 0, 64, 32}},       // removable: geometry only
      {1, 2, {0, 0, 0, 0}},         // a CD-ROM
      {0, 1, {0, 0, 0, 0}},         // no device object
  };
  for (const auto& c : cases) {
    SRB srb = Command(static_cast<std::uint8_t>(c.adapter), c.target, {});
    srb.SRB_Cmd = SC_GET_DISK_INFO;
    ASSERT_EQ(Backend().GetDiskInfo(c.adapter, srb), SS_COMP);
    EXPECT_EQ((Bytes{srb.SRB_DriveFlags, srb.SRB_Int13HDriveInfo, srb.SRB_Heads, srb.SRB_Sectors}),
              c.expected)
        << c.adapter;
  }
}

// A call that never ends: the request waits for it only as long as the
// bound, cancels it and stays pending; whatever Windows does later with
// the call touches nothing of the request's.
TEST_F(WindowsBackendTest, ACallThatNeverEndsIsCancelledAtTheBound) {
  Backend(milliseconds{50}).AdapterCount();
  calls->devices[Disk0].hangs = true;
  auto srb = std::make_unique<SRB>(Command(0, 0, Inquiry36));
  Bytes buffer(64, 0xA5);
  ASSERT_EQ(Backend().ExecScsiCommand(0, *srb, buffer.data(), 64), SS_PENDING);
  for (int i = 0; i < 500 && calls->Cancels() == 0; ++i)
    std::this_thread::sleep_for(milliseconds{10});
  EXPECT_EQ(calls->Cancels(), 1);
  calls->Release();
  std::this_thread::sleep_for(milliseconds{100});
  EXPECT_EQ(StatusOf(*srb), SS_PENDING);
  EXPECT_EQ(buffer, Bytes(64, 0xA5));
  srb.reset();  // the program's given-up block goes; nothing may write it
}

TEST_F(WindowsBackendTest, AHungDeviceHoldsUpOnlyItsOwnRequests) {
  Backend().AdapterCount();
  calls->devices[CdRom0].hangs = true;
  SRB hung = Command(1, 2, Inquiry36);
  Bytes buffer(64, 0);
  ASSERT_EQ(Backend().ExecScsiCommand(1, hung, buffer.data(), 64), SS_PENDING);
  EXPECT_EQ(Send(Backend(), Command(0, 0, Inquiry36)).status, SS_COMP);
  EXPECT_EQ(StatusOf(hung), SS_PENDING);
  calls->Release();
  for (int i = 0; i < 500 && StatusOf(hung) == SS_PENDING; ++i)
    std::this_thread::sleep_for(milliseconds{10});
  EXPECT_EQ(StatusOf(hung), SS_COMP);
}

}  // namespace
}  // namespace wintest
