// SCSI commands: through SG_IO, from sysfs without permission, refused when
// they would send data, and side by side with a device that hangs.
#include <cerrno>

#include "sg/data_direction.h"
#include "sg_fixture.h"

namespace sgtest {
namespace {

const std::vector<std::uint8_t> kDiskInquiry = MakeInquiry(0, "ATA", "QEMU HARDDISK", "2.5", 96);
constexpr std::uint64_t kThreeTiBSectors = 3ull << 40 >> 9;

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& bytes, std::size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

class ScsiCommandTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "ahci");
    tree.AddDevice({.address = "0:0:0:0", .type = 0, .inquiry = kDiskInquiry, .sg = "sg0",
                    .block = "sda", .sectors = kThreeTiBSectors, .physicalBlockSize = 4096});
    tree.AddDevice({.address = "0:0:1:0", .type = 5,
                    .inquiry = MakeInquiry(5, "QEMU", "QEMU DVD-ROM", "2.5", 5), .sg = "sg1",
                    .block = "sr0", .sectors = 0, .logicalBlockSize = 2048});
    tree.AddDevice({.address = "0:0:2:0", .type = 1, .inquiry = MakeInquiry(1, "HP", "TAPE", "1"),
                    .sg = ""});
    tree.AddDevice({.address = "0:0:3:0", .type = 0, .inquiry = MakeInquiry(0, "LSI", "4Kn", "1"),
                    .sg = "sg3", .block = "sdb", .sectors = 16777216, .logicalBlockSize = 4096,
                    .physicalBlockSize = 4096});
  }
};

TEST_F(ScsiCommandTest, InquiryThroughSgIo) {
  io->Script(tree.DevNode("sg0"), {.data = Head(kDiskInquiry, 36)});
  const Finished done = RunScsi(Backend(), ScsiRequest(0, 0, {0x12, 0, 0, 0, 36, 0}, 40));
  EXPECT_EQ(done.returned, SS_PENDING);
  EXPECT_EQ(done.status, SS_COMP);
  EXPECT_EQ(Head(done.buffer, 36), Head(kDiskInquiry, 36));
  // The four bytes the device did not send stay as they were.
  EXPECT_EQ(std::vector<std::uint8_t>(done.buffer.begin() + 36, done.buffer.end()),
            std::vector<std::uint8_t>(4, kUntouched));

  const auto commands = io->Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].node, tree.DevNode("sg0"));
  EXPECT_EQ(commands[0].cdb, (std::vector<std::uint8_t>{0x12, 0, 0, 0, 36, 0}));
  EXPECT_EQ(commands[0].dataLength, 40u);
  EXPECT_EQ(commands[0].senseRoom, 14u);
  EXPECT_EQ(commands[0].timeoutMs, 60000u);
}

TEST_F(ScsiCommandTest, OutcomesOfSgIo) {
  const std::vector<std::uint8_t> sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0,
                                           0, 0, 0, 0};
  struct Case {
    const char* name;
    ScriptedReply reply;
    std::uint8_t status, haStat, targStat;
    std::size_t senseBytes;
    bool dataArrives;
  };
  const Case cases[] = {
      {"good", {.data = {1, 2, 3}}, SS_COMP, HASTAT_OK, STATUS_GOOD, 0, true},
      {"check condition", {.status = STATUS_CHKCOND, .driverStatus = 0x08, .sense = sense},
       SS_ERR, HASTAT_OK, STATUS_CHKCOND, 14, false},
      {"selection timeout", {.hostStatus = 0x01}, SS_ERR, HASTAT_SEL_TO, STATUS_GOOD, 0, false},
      {"transport timeout", {.hostStatus = 0x03}, SS_ERR, 0x0B, STATUS_GOOD, 0, false},
      {"driver error", {.driverStatus = 0x06, .data = {1, 2, 3}}, SS_ERR, HASTAT_OK, STATUS_GOOD,
       0, true},
      {"busy target", {.status = 0x08}, SS_ERR, HASTAT_OK, 0x08, 0, false},
      {"unplugged", {.error = ENODEV, .data = {1, 2, 3}}, SS_ERR, 0, 0, 0, false},
      {"gone", {.error = ENXIO}, SS_ERR, 0, 0, 0, false},
      {"held exclusively", {.error = EBUSY}, SS_ERR, 0, 0, 0, false},
      {"i/o error", {.error = EIO}, SS_ERR, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    io->Script(tree.DevNode("sg0"), c.reply);
    const Finished done = RunScsi(Backend(), ScsiRequest(0, 0, {0x12, 0, 0, 0, 36, 0}, 40));
    EXPECT_EQ(done.status, c.status);
    EXPECT_EQ(done.srb.SRB_HaStat, c.haStat);
    EXPECT_EQ(done.srb.SRB_TargStat, c.targStat);
    EXPECT_EQ(std::vector<std::uint8_t>(done.srb.SenseArea, done.srb.SenseArea + c.senseBytes),
              Head(sense, c.senseBytes));
    EXPECT_EQ(std::vector<std::uint8_t>(done.srb.SenseArea + c.senseBytes, std::end(done.srb.SenseArea)),
              std::vector<std::uint8_t>(36 - c.senseBytes, 0));
    const auto expected =
        c.dataArrives ? std::vector<std::uint8_t>{1, 2, 3} : std::vector<std::uint8_t>(3, kUntouched);
    EXPECT_EQ(Head(done.buffer, 3), expected);
  }
}

TEST_F(ScsiCommandTest, WithoutPermissionSysfsGivesWhatTheDeviceWould) {
  struct Case {
    const char* name;
    std::uint8_t target;
    std::vector<std::uint8_t> cdb;
    std::uint32_t bufLen;
    std::vector<std::uint8_t> deviceAnswer;  // what SG_IO returns as root
  };
  const Case cases[] = {
      {"inquiry", 0, {0x12, 0, 0, 0, 36, 0}, 40, Head(kDiskInquiry, 36)},
      {"inquiry into a short buffer", 0, {0x12, 0, 0, 0, 36, 0}, 8, Head(kDiskInquiry, 8)},
      {"inquiry, 16-bit allocation", 0, {0x12, 0, 0, 0x01, 0x00, 0}, 200, kDiskInquiry},
      {"short inquiry", 1, {0x12, 0, 0, 0, 36, 0}, 40, MakeInquiry(5, "QEMU", "", "", 5)},
      {"read capacity(10), over 2 TiB", 0, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8,
       {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x02, 0x00}},
      {"read capacity(16), over 2 TiB",
       0,
       {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0},
       32,
       {0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0x02, 0x00, 0, 3, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"read capacity(16), 12-byte allocation",
       0,
       {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0},
       32,
       {0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0x02, 0x00}},
      {"read capacity(10), 4096-byte blocks", 3, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8,
       {0, 0x1F, 0xFF, 0xFF, 0, 0, 0x10, 0x00}},
  };
  for (const int error : {EACCES, EPERM}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (error == EACCES ? ", EACCES" : ", EPERM"));
      const std::string node = tree.DevNode(c.target == 0 ? "sg0" : c.target == 1 ? "sg1" : "sg3");
      SRB request = ScsiRequest(0, c.target, {}, c.bufLen);
      request.SRB_CDBLen = static_cast<std::uint8_t>(c.cdb.size());
      std::copy(c.cdb.begin(), c.cdb.end(), request.CDBByte);

      io->Script(node, {.data = c.deviceAnswer});
      const Finished asRoot = RunScsi(Backend(), request, 256);
      io->Script(node, {.error = error});
      const Finished asUser = RunScsi(Backend(), request, 256);

      ASSERT_EQ(asRoot.status, SS_COMP);
      EXPECT_EQ(asUser.status, SS_COMP);
      EXPECT_EQ(asUser.buffer, asRoot.buffer);
      EXPECT_EQ(Head(asUser.buffer, c.deviceAnswer.size()), c.deviceAnswer);
    }
  }
}

TEST_F(ScsiCommandTest, WithoutPermissionOtherCommandsFail) {
  struct Case {
    const char* name;
    std::uint8_t target;
    std::vector<std::uint8_t> cdb;
  };
  const Case cases[] = {
      {"test unit ready", 0, {0, 0, 0, 0, 0, 0}},
      {"mode sense", 0, {0x1A, 0, 0x3F, 0, 40, 0}},
      {"vital product data", 0, {0x12, 0x01, 0x80, 0, 36, 0}},
      {"read capacity of a part", 0, {0x25, 0, 0, 0, 0x10, 0, 0, 0, 1, 0}},
      {"read capacity without a medium", 1, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"read capacity of a tape", 2, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"other service action", 0, {0x9E, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}},
  };
  io->Script(tree.DevNode("sg0"), {.error = EACCES});
  io->Script(tree.DevNode("sg1"), {.error = EPERM});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SRB request = ScsiRequest(0, c.target, {}, 40);
    request.SRB_CDBLen = static_cast<std::uint8_t>(c.cdb.size());
    std::copy(c.cdb.begin(), c.cdb.end(), request.CDBByte);
    const Finished done = RunScsi(Backend(), request);
    EXPECT_EQ(done.status, SS_ERR);
    EXPECT_EQ(done.buffer, std::vector<std::uint8_t>(40, kUntouched));
  }
}

TEST_F(ScsiCommandTest, DeviceWithoutSgNodeAnswersInquiryFromSysfs) {
  const Finished done = RunScsi(Backend(), ScsiRequest(0, 2, {0x12, 0, 0, 0, 36, 0}, 40));
  EXPECT_EQ(done.status, SS_COMP);
  EXPECT_EQ(Head(done.buffer, 36), MakeInquiry(1, "HP", "TAPE", "1"));
  EXPECT_TRUE(io->Commands().empty());
}

TEST_F(ScsiCommandTest, CommandsThatWouldSendDataAreRefusedBeforeReachingTheDevice) {
  struct Case {
    const char* name;
    std::uint8_t flags;
    std::uint8_t target;
    std::vector<std::uint8_t> cdb;
  };
  const Case cases[] = {
      {"direction out", SRB_DIR_OUT, 0, {0x12, 0, 0, 0, 36, 0}},
      {"both directions", SRB_DIR_IN | SRB_DIR_OUT, 0, {0x12, 0, 0, 0, 36, 0}},
      {"write(10)", 0, 0, {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
      {"write(10) said to be data-in", SRB_DIR_IN, 0, {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
      {"mode select(6)", 0, 0, {0x15, 0x10, 0, 0, 12, 0}},
      {"write buffer", 0, 0, {0x3B, 0x05, 0, 0, 0, 0, 0x10, 0, 0, 0}},
      {"send key to a dvd drive", 0, 1, {0xA3, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0}},
      {"maintenance out to a disk", 0, 0, {0xA4, 0x06, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0}},
      {"ata pass-through to the device", 0, 0,
       {0x85, 0x0A, 0x02, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xF2, 0}},
      {"no cdb", 0, 0, {}},
  };
  io->Script(tree.DevNode("sg0"), {});
  io->Script(tree.DevNode("sg1"), {});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SRB request = ScsiRequest(0, c.target, {}, 40);
    request.SRB_Flags = c.flags;
    request.SRB_CDBLen = static_cast<std::uint8_t>(c.cdb.size());
    std::copy(c.cdb.begin(), c.cdb.end(), request.CDBByte);
    const Finished done = RunScsi(Backend(), request);
    EXPECT_EQ(done.returned, SS_ERR);
    EXPECT_EQ(done.buffer, std::vector<std::uint8_t>(40, kUntouched));
  }
  SRB tooLong = ScsiRequest(0, 0, {0x12, 0, 0, 0, 36, 0}, 40);
  tooLong.SRB_CDBLen = 17;
  EXPECT_EQ(RunScsi(Backend(), tooLong).returned, SS_ERR);
  EXPECT_TRUE(io->Commands().empty());
}

TEST(DataDirectionTest, ReadingCommandsPass) {
  struct Case {
    const char* name;
    int type;
    std::vector<std::uint8_t> cdb;
  };
  const Case cases[] = {
      {"inquiry", 0, {0x12, 0, 0, 0, 36, 0}},
      {"read capacity(16)", 0, {0x9E, 0x10}},
      {"read(10)", 0, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
      {"maintenance in on a disk", 0, {0xA3, 0x0C}},
      {"report key on a dvd drive", 5, {0xA4, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0}},
      {"blank on a cd writer", 5, {0xA1, 0x01}},
      {"ata identify from the device", 0, {0x85, 0x08, 0x0E}},
      {"read(32)", 0, {0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x09}},
      {"test unit ready", 1, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(wnaspi32::sg::MovesDataToDevice(c.cdb, c.type));
  }
  EXPECT_TRUE(wnaspi32::sg::MovesDataToDevice(std::vector<std::uint8_t>{0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x0B}, 0));
  EXPECT_TRUE(wnaspi32::sg::MovesDataToDevice(std::vector<std::uint8_t>{0xA1, 0x0A, 0x02}, 0));
}

TEST_F(ScsiCommandTest, HungDeviceHoldsUpNobodyElse) {
  io->Script(tree.DevNode("sg0"), {.data = Head(kDiskInquiry, 36), .hang = true});
  io->Script(tree.DevNode("sg3"), {.data = {0, 0x1F, 0xFF, 0xFF, 0, 0, 0x10, 0}});

  SRB hung = ScsiRequest(0, 0, {0x12, 0, 0, 0, 36, 0}, 40);
  std::vector<std::uint8_t> hungBuffer(40, kUntouched);
  HANDLE hungEvent = CreateEventA(nullptr, 0, 0, nullptr);
  hung.SRB_Flags = SRB_EVENT_NOTIFY;
  hung.SRB_PostProc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hungEvent));
  ASSERT_EQ(Backend().ExecScsiCommand(hung, hungBuffer.data(), 40), SS_PENDING);

  // Twice, so that a second request also gets past the hung one.
  for (int i = 0; i < 2; ++i) {
    const Finished other = RunScsi(Backend(), ScsiRequest(0, 3, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8));
    EXPECT_EQ(other.status, SS_COMP);
    EXPECT_EQ(Head(other.buffer, 8), (std::vector<std::uint8_t>{0, 0x1F, 0xFF, 0xFF, 0, 0, 0x10, 0}));
  }
  EXPECT_EQ(LoadStatus(hung), SS_PENDING);

  io->Release();
  ASSERT_EQ(WaitForSingleObject(hungEvent, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(LoadStatus(hung), SS_COMP);
  EXPECT_EQ(Head(hungBuffer, 36), Head(kDiskInquiry, 36));
  CloseHandle(hungEvent);
}

}  // namespace
}  // namespace sgtest
