// SCSI commands: through the sg driver, from sysfs without permission, refused when
// they would send data, and side by side with a device that hangs.
#include "../../guarded_buffer.h"
#include "sg_fixture.h"

namespace sgtest {
namespace {

const Bytes DiskInquiry = MakeInquiry(0, "ATA", "QEMU HARDDISK", "2.5", 96);
const Bytes Inquiry36 = {0x12, 0, 0, 0, 36, 0};
const Bytes ReadCapacity10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes ReadCapacity16 = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};

class ScsiCommandTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "ahci");
    // 3 TiB in 512-byte blocks on 4 KiB physical ones.
    tree.AddDevice({.address = "0:0:0:0", .type = 0, .inquiry = DiskInquiry, .sg = "sg0",
                    .block = "sda", .sectors = 3ull << 31, .physicalBlockSize = 4096});
    // An empty drive: sr gives it a made-up size of 1FFFFFh sectors.
    tree.AddDevice({.address = "0:0:1:0", .type = 5, .inquiry = MakeInquiry(5, "", "", "", 5),
                    .sg = "sg1", .block = "sr0", .sectors = 0x1FFFFF});
    tree.AddDevice({.address = "0:0:2:0", .type = 1, .inquiry = MakeInquiry(1, "HP", "TAPE", "1")});
    tree.AddDevice({.address = "0:0:3:0", .type = 0, .inquiry = MakeInquiry(0, "LSI", "4Kn", "1"),
                    .sg = "sg3", .block = "sdb", .sectors = 1u << 24, .logicalBlockSize = 4096});
    // A card reader without a card: its disk has size 0.
    tree.AddDevice({.address = "0:0:4:0", .type = 0, .inquiry = MakeInquiry(0, "Generic", "SD", "1"),
                    .sg = "sg4", .block = "sdc", .sectors = 0});
  }
  std::string Node(std::uint8_t target) { return tree.DevNode("sg" + std::to_string(target)); }
};

TEST_F(ScsiCommandTest, InquiryThroughSgIoAsksForNoMoreThanItsAllocationLength) {
  io->Script(Node(0), {.data = Head(DiskInquiry, 36)});
  const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40));
  EXPECT_EQ(done.returned, SS_PENDING);
  EXPECT_EQ(done.status, SS_COMP);
  // The four bytes the device did not send stay as they were.
  Bytes expected = Head(DiskInquiry, 36);
  expected.resize(40, Untouched);
  EXPECT_EQ(done.buffer, expected);
  const auto seen = io->Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].node, Node(0));
  EXPECT_EQ(seen[0].cdb, Inquiry36);
  EXPECT_EQ(seen[0].dataLength, 36u);
  EXPECT_EQ(seen[0].senseRoom, 96u);  // all the kernel keeps; the caller gets its 14
  EXPECT_EQ(seen[0].timeoutMs, 8000u);
}

TEST_F(ScsiCommandTest, OutcomesOfSgIo) {
  const Bytes sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0, 0, 0, 0, 0};
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
      {"driver time-out", {.driverStatus = 0x06, .data = {1, 2, 3}}, SS_ERR, 0x0B, 0, 0, true},
      {"busy target", {.status = 0x08}, SS_ERR, HASTAT_OK, 0x08, 0, false},
      {"transport error", {.hostStatus = 0x07}, SS_ERR, 0x14, STATUS_GOOD, 0, false},
      // However the kernel tells of a device that left, it is an empty target.
      {"aborted as it left", {.hostStatus = 0x05}, SS_ERR, HASTAT_SEL_TO, STATUS_GOOD, 0, false},
      {"transport gone", {.hostStatus = 0x0E}, SS_ERR, HASTAT_SEL_TO, STATUS_GOOD, 0, false},
      {"unplugged", {.error = ENODEV, .data = {1, 2, 3}}, SS_ERR, HASTAT_SEL_TO, 0, 0, false},
      {"gone", {.error = ENXIO}, SS_ERR, HASTAT_SEL_TO, 0, 0, false},
      {"held exclusively", {.error = EBUSY}, SS_ERR, 0, 0, 0, false},
      {"i/o error", {.error = EIO}, SS_ERR, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    io->Script(Node(0), c.reply);
    const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40));
    EXPECT_EQ(done.status, c.status);
    EXPECT_EQ(done.srb.SRB_HaStat, c.haStat);
    EXPECT_EQ(done.srb.SRB_TargStat, c.targStat);
    Bytes expectedSense = Head(sense, c.senseBytes);
    expectedSense.resize(36, 0);
    EXPECT_EQ(Bytes(std::begin(done.srb.SenseArea), std::end(done.srb.SenseArea)), expectedSense);
    EXPECT_EQ(Head(done.buffer, 3), c.dataArrives ? Bytes({1, 2, 3}) : Bytes(3, Untouched));
  }
}

TEST_F(ScsiCommandTest, WithoutPermissionSysfsGivesWhatTheDeviceWould) {
  struct Case {
    const char* name;
    std::uint8_t target;
    Bytes cdb;
    std::uint32_t bufLen;
    Bytes deviceAnswer;  // what the sg driver returns as root
  };
  const Case cases[] = {
      {"inquiry", 0, Inquiry36, 40, Head(DiskInquiry, 36)},
      {"inquiry into a short buffer", 0, Inquiry36, 8, Head(DiskInquiry, 8)},
      {"inquiry, 16-bit allocation length", 0, {0x12, 0, 0, 0x01, 0x00, 0}, 200, DiskInquiry},
      {"short inquiry", 1, Inquiry36, 40, MakeInquiry(5, "", "", "", 5)},
      {"read capacity(10) over 2 TiB", 0, ReadCapacity10, 8, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}},
      {"read capacity(16) over 2 TiB", 0, ReadCapacity16, 32,
       {0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0}},
      {"read capacity(16), 12-byte allocation", 0,
       {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0}, 32,
       {0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}},
      {"read capacity(10), 4096-byte blocks", 3, ReadCapacity10, 8,
       {0, 0x1F, 0xFF, 0xFF, 0, 0, 0x10, 0}},
  };
  for (const int error : {EACCES, EPERM}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (error == EACCES ? ", EACCES" : ", EPERM"));
      const SRB request = Request(SC_EXEC_SCSI_CMD, 0, c.target, c.cdb, c.bufLen);
      io->Script(Node(c.target), {.data = c.deviceAnswer});
      const Finished asRoot = RunScsi(Backend(), request, 256);
      io->Script(Node(c.target), {.error = error});
      const Finished asUser = RunScsi(Backend(), request, 256);

      ASSERT_EQ(asRoot.status, SS_COMP);
      EXPECT_EQ(asUser.status, SS_COMP);
      EXPECT_EQ(asUser.buffer, asRoot.buffer);
      EXPECT_EQ(Head(asUser.buffer, c.deviceAnswer.size()), c.deviceAnswer);
    }
  }
}

TEST_F(ScsiCommandTest, WithoutPermissionOtherCommandsFail) {
  const std::pair<std::uint8_t, Bytes> cases[] = {
      {0, {0, 0, 0, 0, 0, 0}},                                         // TEST UNIT READY
      {0, {0x1A, 0, 0x3F, 0, 40, 0}},                                  // MODE SENSE
      {0, {0x12, 0x01, 0x80, 0, 36, 0}},                               // a VPD page
      {0, {0x12, 0x02, 0, 0, 36, 0}},                                  // CMDDT
      {0, {0x12, 0, 0x80, 0, 36, 0}},                                  // a page without EVPD
      {0, {0x25, 0, 0, 0, 0x10, 0, 0, 0, 1, 0}},                       // capacity from an LBA on
      {0, {0x25, 0, 0, 0, 0x10, 0, 0, 0, 0, 0}},                       // an LBA alone
      {0, {0x25, 0, 0, 0, 0, 0, 0, 0, 1, 0}},                          // PMI alone
      {0, {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 32, 0, 0}}, // (16), an LBA
      {0, {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 1, 0}},    // (16), PMI
      {0, {0x9E, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}},   // other service action
      {1, ReadCapacity10},                                             // no medium
      {2, ReadCapacity10},                                             // a tape, no sg node
      {4, ReadCapacity10},                                             // no card: size 0
      {4, ReadCapacity16},
  };
  io->Script(Node(0), {.error = EACCES});
  io->Script(Node(1), {.error = EPERM});
  io->Script(Node(4), {.error = EACCES});
  for (const auto& [target, cdb] : cases) {
    SCOPED_TRACE(testing::Message() << "target " << int{target} << " opcode " << int{cdb[0]});
    const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, target, cdb, 40));
    EXPECT_EQ(done.status, SS_ERR);
    EXPECT_EQ(done.buffer, Bytes(40, Untouched));
  }
}

TEST_F(ScsiCommandTest, DeviceWithoutSgNodeAnswersInquiryFromSysfs) {
  const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 2, Inquiry36, 40));
  EXPECT_EQ(done.status, SS_COMP);
  EXPECT_EQ(Head(done.buffer, 36), MakeInquiry(1, "HP", "TAPE", "1"));
  EXPECT_TRUE(io->Seen().empty());
}

TEST_F(ScsiCommandTest, CommandsThatWouldSendDataNeverReachTheDevice) {
  struct Case {
    const char* name;
    std::uint8_t flags, target;
    Bytes cdb;
  };
  const Case cases[] = {
      {"direction out", SRB_DIR_OUT, 0, Inquiry36},
      {"both directions", SRB_DIR_IN | SRB_DIR_OUT, 0, Inquiry36},
      {"write(10)", 0, 0, {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
      {"write(10) said to be data-in", SRB_DIR_IN, 0, {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}},
      {"mode select(6)", 0, 0, {0x15, 0x10, 0, 0, 12, 0}},
      {"send key to a dvd drive", 0, 1, {0xA3, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0}},
      {"maintenance out to a disk", 0, 0, {0xA4, 0x06, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0}},
      {"ata pass-through to the device", 0, 0,
       {0x85, 0x0A, 0x02, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xF2, 0}},
      {"no cdb", 0, 0, {}},
      {"cdb over 16 bytes", 0, 0, Bytes(17, 0)},
  };
  io->Script(Node(0), {});
  io->Script(Node(1), {});
  LendToTheFront();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedBuffer buffer(40);
    SRB request = Request(SC_EXEC_SCSI_CMD, 0, c.target, Head(c.cdb, std::min(c.cdb.size(), 16ul)), 40);
    request.SRB_CDBLen = static_cast<std::uint8_t>(c.cdb.size());
    request.SRB_Flags = c.flags;
    request.SRB_BufPointer = buffer.handle;
    EXPECT_EQ(SendASPI32Command(&request), SS_ERR);
    EXPECT_EQ(buffer.Written(), Bytes{});
  }
  EXPECT_TRUE(io->Seen().empty());
}

TEST_F(ScsiCommandTest, HungDeviceHoldsUpNobodyElse) {
  io->Script(Node(0), {.data = Head(DiskInquiry, 36), .hang = true});
  io->Script(Node(3), {.data = {0, 0x1F, 0xFF, 0xFF, 0, 0, 0x10, 0}});

  SRB hung = Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40);
  Bytes hungBuffer(40, Untouched);
  HANDLE hungEvent = CreateEventA(nullptr, 0, 0, nullptr);
  hung.SRB_Flags = SRB_EVENT_NOTIFY;
  hung.SRB_PostProc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hungEvent));
  ASSERT_EQ(Backend().ExecScsiCommand(hung.SRB_HaId, hung, hungBuffer.data(), 40), SS_PENDING);

  for (int i = 0; i < 2; ++i) {  // a second request, too, gets past the hung one
    const Finished other = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 3, ReadCapacity10, 8));
    EXPECT_EQ(other.status, SS_COMP);
  }
  EXPECT_EQ(LoadStatus(hung), SS_PENDING);
  EXPECT_EQ(hungBuffer, Bytes(40, Untouched));

  io->Release();
  ASSERT_EQ(WaitForSingleObject(hungEvent, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(LoadStatus(hung), SS_COMP);
  EXPECT_EQ(Head(hungBuffer, 36), Head(DiskInquiry, 36));
  CloseHandle(hungEvent);
}

}  // namespace
}  // namespace sgtest
