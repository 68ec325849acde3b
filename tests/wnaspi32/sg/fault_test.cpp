// Faults that real kernels report, one row each: what the program reads in
// the request block, and that nothing waits when sysfs already tells.
#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "scsi/commands.h"
#include "sg_fixture.h"
#include "wnaspi32/linux/host_status.h"

namespace sgtest {
namespace {

const Bytes Inquiry36 = {0x12, 0, 0, 0, 36, 0};
Bytes Fixed(std::uint8_t key, std::uint8_t asc) {
  const auto sense = scsi::MakeFixedSense(key, asc);
  return {sense.begin(), sense.end()};
}
// 20 bytes: the header and an information descriptor.
Bytes Descriptor(std::uint8_t key, std::uint8_t asc) {
  Bytes s(20, 0);
  s[0] = 0x72, s[1] = key, s[2] = asc, s[7] = 12, s[8] = 0x00, s[9] = 0x0A, s[10] = 0x80;
  return s;
}

class FaultTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "scsi_debug");
    tree.AddDevice({.address = "0:0:0:0", .type = 0, .inquiry = MakeInquiry(0, "L", "D", "1"),
                    .sg = "sg0", .block = "sda", .sectors = 1 << 15});
    io->geometries[tree.DevNode("sda")] = {.heads = 8, .sectors = 32};
  }
  void SetStates(const std::string& device, const std::string& host) {
    tree.ReplaceEntry("0:0:0:0", "state", device + "\n");
    std::ofstream(tree.roots().sysfs / "class/scsi_host/host0/state") << host << "\n";
  }
  Finished Inquiry(std::uint8_t senseLen = 14) {
    SRB srb = Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40);
    srb.SRB_SenseLen = senseLen;
    return RunScsi(Backend(), srb);
  }
};

TEST_F(FaultTest, EveryKernelOutcomeGivesItsStatuses) {
  struct Case {
    const char* name;
    ScriptedReply reply;
    std::uint8_t status, haStat, targStat;
    std::uint8_t senseLen;  // SRB_SenseLen; the sense area gets that much of reply.sense
  };
  const std::uint8_t CC = STATUS_CHKCOND;
  const Case cases[] = {
      {"DID_NO_CONNECT", {.hostStatus = 0x01}, SS_ERR, 0x11, 0, 14},
      {"DID_BUS_BUSY", {.hostStatus = 0x02}, SS_ERR, 0x09, 0, 14},
      {"DID_TIME_OUT", {.hostStatus = 0x03}, SS_ERR, 0x0B, 0, 14},
      {"DID_BAD_TARGET", {.hostStatus = 0x04}, SS_ERR, 0x11, 0, 14},
      {"DID_PARITY", {.hostStatus = 0x06}, SS_ERR, 0x0F, 0, 14},
      {"DID_ERROR", {.hostStatus = 0x07}, SS_ERR, 0x14, 0, 14},
      {"DID_RESET", {.hostStatus = 0x08}, SS_ERR, 0x0E, 0, 14},
      {"DID_BAD_INTR", {.hostStatus = 0x09}, SS_ERR, 0x14, 0, 14},
      {"DID_SOFT_ERROR", {.hostStatus = 0x0B}, SS_ERR, 0x09, 0, 14},
      {"DID_IMM_RETRY", {.hostStatus = 0x0C}, SS_ERR, 0x09, 0, 14},
      {"DID_REQUEUE", {.hostStatus = 0x0D}, SS_ERR, 0x09, 0, 14},
      {"DID_TRANSPORT_FAILFAST", {.hostStatus = 0x0F}, SS_ERR, 0x11, 0, 14},
      {"DID_TARGET_FAILURE", {.hostStatus = 0x10}, SS_ERR, 0x14, 0, 14},
      {"DID_TRANSPORT_MARGINAL", {.hostStatus = 0x14}, SS_ERR, 0x09, 0, 14},
      {"DRIVER_TIMEOUT", {.driverStatus = 0x06}, SS_ERR, 0x0B, 0, 14},
      {"DRIVER_BUSY", {.driverStatus = 0x01}, SS_ERR, 0x09, 0, 14},
      {"DRIVER_SENSE alone", {.driverStatus = 0x08, .data = {1, 2, 3}}, SS_COMP, 0, 0, 14},
      {"BUSY", {.status = 0x08}, SS_ERR, 0, 0x08, 14},
      {"RESERVATION CONFLICT", {.status = 0x18}, SS_ERR, 0, 0x18, 14},
      {"TASK SET FULL", {.status = 0x28}, SS_ERR, 0, 0x28, 14},
      {"NOT READY, fixed", {.status = CC, .sense = Fixed(2, 0x04)}, SS_ERR, 0, CC, 14},
      {"MEDIUM ERROR, fixed", {.status = CC, .sense = Fixed(3, 0x11)}, SS_ERR, 0, CC, 14},
      {"MEDIUM ERROR, descriptor", {.status = CC, .sense = Descriptor(3, 0x11)}, SS_ERR, 0, CC, 14},
      {"HARDWARE ERROR, fixed", {.status = CC, .sense = Fixed(4, 0x44)}, SS_ERR, 0, CC, 14},
      {"ILLEGAL REQUEST, descriptor", {.status = CC, .sense = Descriptor(5, 0x24)}, SS_ERR, 0, CC,
       14},
      {"ABORTED COMMAND, fixed", {.status = CC, .sense = Fixed(0x0B, 0x4B)}, SS_ERR, 0, CC, 14},
      {"sense longer than the room", {.status = CC, .sense = Fixed(3, 0x11)}, SS_ERR, 0, CC, 8},
      {"sense room past the area", {.status = CC, .sense = Descriptor(3, 0x11)}, SS_ERR, 0, CC, 60},
      // The device recovered: the data stands, TargStat and sense tell.
      {"RECOVERED ERROR, fixed", {.status = CC, .data = {1, 2, 3}, .sense = Fixed(1, 0x5D)},
       SS_COMP, 0, CC, 14},
      {"RECOVERED ERROR, descriptor",
       {.status = CC, .data = {1, 2, 3}, .sense = Descriptor(1, 0x17)}, SS_COMP, 0, CC, 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    io->Script(tree.DevNode("sg0"), c.reply);
    const Finished done = Inquiry(c.senseLen);
    EXPECT_EQ(done.status, c.status);
    EXPECT_EQ(done.srb.SRB_HaStat, c.haStat);
    EXPECT_EQ(done.srb.SRB_TargStat, c.targStat);
    Bytes sense =
        Head(c.reply.sense, std::min<std::size_t>({c.senseLen, 36, c.reply.sense.size()}));
    sense.resize(36, 0);
    EXPECT_EQ(Bytes(std::begin(done.srb.SenseArea), std::end(done.srb.SenseArea)), sense);
    if (c.status == SS_COMP) {
      EXPECT_EQ(Head(done.buffer, 3), Bytes({1, 2, 3}));
    }
  }
}

// A UNIT ATTENTION goes once more, whatever room the caller gave for sense;
// a second one is the failure.
TEST_F(FaultTest, UnitAttentionIsRetriedOnce) {
  const ScriptedReply attention = {.status = STATUS_CHKCOND, .data = {9, 9, 9, 9},
                                   .sense = Descriptor(6, 0x29)};
  const ScriptedReply good = {.data = {1, 2}};
  struct Case {
    const char* name;
    std::vector<ScriptedReply> replies;
    std::uint8_t senseLen, status, targStat;
  };
  const Case cases[] = {
      {"once", {attention, good}, 14, SS_COMP, 0},
      {"once, no room for sense", {attention, good}, 0, SS_COMP, 0},
      {"twice", {attention, attention, good}, 14, SS_ERR, STATUS_CHKCOND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = io->Seen().size();
    io->ScriptNext(tree.DevNode("sg0"), c.replies);
    const Finished done = Inquiry(c.senseLen);
    EXPECT_EQ(io->Seen().size() - before, 2u);
    EXPECT_EQ(done.status, c.status);
    EXPECT_EQ(done.srb.SRB_TargStat, c.targStat);
    if (c.status == SS_COMP) {
      EXPECT_EQ(Head(done.buffer, 4), Bytes({1, 2, Untouched, Untouched}));
    }
    if (c.status == SS_ERR) {
      EXPECT_EQ(done.srb.SenseArea[1], 6);
    }
  }
}

// What sysfs tells beforehand answers at once: the type as known, every
// command failed with why, the disk information failed, nothing opened.
TEST_F(FaultTest, DeviceOrHostThatCannotTakeACommandAnswersAtOnce) {
  struct Case {
    const char *device, *host;
    std::uint8_t haStat;  // 0: the command goes to the device
  };
  // Every state the kernel shows for a device or a host but "running"
  // (and a device's "cancel" and "deleted", which make it gone).
  const Case cases[] = {
      {"offline", "running", 0x11},      {"transport-offline", "running", 0x11},
      {"blocked", "running", 0x09},      {"created-blocked", "running", 0x09},
      {"created", "running", 0x09},      {"quiesce", "running", 0x09},
      {"running", "recovery", 0x0E},     {"running", "cancel/recovery", 0x0E},
      {"running", "deleted/recovery", 0x0E},
      {"running", "cancel", 0x11},       {"running", "deleted", 0x11},
      {"running", "created", 0x09},      {"blocked", "recovery", 0x09},
      {"running", "running", 0},
  };
  io->Script(tree.DevNode("sg0"), {.data = {1}});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.device) + ", host " + c.host);
    SetStates(c.device, c.host);
    const std::size_t before = io->Seen().size();
    SRB type = Request(SC_GET_DEV_TYPE, 0, 0);
    EXPECT_EQ(Backend().GetDeviceType(type.SRB_HaId, type), SS_COMP);
    SRB disk = Request(SC_GET_DISK_INFO, 0, 0);
    EXPECT_EQ(Backend().GetDiskInfo(disk.SRB_HaId, disk), c.haStat ? SS_ERR : SS_COMP);
    const Finished done = Inquiry();
    EXPECT_EQ(done.returned, c.haStat ? SS_ERR : SS_PENDING);
    EXPECT_EQ(done.srb.SRB_HaStat, c.haStat);
    EXPECT_EQ(io->Seen().size() - before, c.haStat ? 0u : 2u);
  }
}

// A device whose state turns to leaving between its lookup and its
// command is an empty target, as one already gone is.
TEST(StateRefusalTest, DeviceOnItsWayOutIsAnEmptyTarget) {
  for (const char* state : {"cancel", "deleted"})
    EXPECT_EQ(wnaspi32::linux_io::RefusalOfStates(state, "running"), HASTAT_SEL_TO) << state;
}

// The disk information reads block 0 through the sg node before it opens
// the block device; a disk that does not answer that is never opened, and
// the caller is not held while the read hangs.
TEST_F(FaultTest, DiskInformationOpensOnlyADiskThatAnswersARead) {
  struct Case {
    const char* name;
    ScriptedReply reply;
    std::uint8_t status;
  };
  const Case cases[] = {
      {"answers", {.data = Bytes(512, 0)}, SS_COMP},
      {"medium error", {.status = STATUS_CHKCOND, .sense = Fixed(3, 0x11)}, SS_COMP},
      {"no right to the sg node", {.error = EACCES}, SS_COMP},
      {"timed out", {.hostStatus = 0x03}, SS_ERR},
      {"gone", {.error = ENODEV}, SS_ERR},
      {"hangs", {.hang = true}, SS_ERR},
  };
  backend = wnaspi32::MakeSgBackend({tree.roots(), io, std::chrono::milliseconds(300)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    io->Script(tree.DevNode("sg0"), c.reply);
    std::promise<void> answered;
    std::thread rescue([this, answered = answered.get_future()] {
      if (answered.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) io->Release();
    });
    SRB srb = Request(SC_GET_DISK_INFO, 0, 0);
    EXPECT_EQ(Backend().GetDiskInfo(srb.SRB_HaId, srb), c.status);
    EXPECT_FALSE(io->Released()) << "the request waited for the hung disk";
    answered.set_value();
    rescue.join();
    const auto seen = io->Seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().cdb, Bytes({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
    if (c.status == SS_COMP) {
      EXPECT_EQ(srb.SRB_Heads, 8);
    }
  }
}

}  // namespace
}  // namespace sgtest
