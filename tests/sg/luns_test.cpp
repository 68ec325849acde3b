// Logical units other than 0, the number of target IDs an adapter
// publishes, and what sysfs answers about LUNs and identities without root.
#include <cerrno>

#include "sg_fixture.h"

namespace sgtest {
namespace {

const Bytes Inquiry36 = {0x12, 0, 0, 0, 36, 0};
Bytes VpdInquiry(std::uint8_t page) { return {0x12, 0x01, page, 0, 255, 0}; }
Bytes ReportLuns(std::uint8_t select, std::uint8_t allocation) {
  return {0xA0, 0, select, 0, 0, 0, 0, 0, 0, allocation, 0, 0};
}
const Bytes Serial = {0, 0x80, 0, 4, 'S', 'N', '0', '1'};
const Bytes Identification = {0, 0x83, 0, 12, 1, 3, 0, 8, 0x50, 1, 2, 3, 4, 5, 6, 7};

class LunTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "virtio_scsi");
    tree.AddHost(1, "sym53c8xx");
    tree.AddDevice({.address = "0:0:1:0", .type = 0, .inquiry = MakeInquiry(0, "L", "ZERO", "1"),
                    .sg = "sg0", .vpd = {{0x80, Serial}, {0x83, Identification}}});
    tree.AddDevice({.address = "0:0:1:1", .type = 0, .inquiry = MakeInquiry(0, "L", "ONE", "1"),
                    .sg = "sg1", .block = "sdb", .sectors = 2048,
                    .vpd = {{0x00, {0, 0, 0, 2, 0, 0x80}}, {0x80, Serial}}});
    tree.AddDevice({.address = "0:0:1:5", .type = 5, .sg = "sg5"});
    tree.AddDevice({.address = "0:0:12:3", .type = 0, .sg = "sg12"});
    tree.AddDevice({.address = "0:1:300:0", .type = 0});
    io->Script(tree.DevNode("sg0"), {.error = EACCES});
    io->Script(tree.DevNode("sg1"), {.data = {9, 9, 9}});
    io->geometries[tree.DevNode("sdb")] = {.heads = 16, .sectors = 63};
  }
};

TEST_F(LunTest, HaUniqueHasTheTargetIdsInUseAndCountsResiduals) {
  const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0, 13}, {1, 255}, {2, 8}};
  for (const auto& [adapter, targetIds] : cases) {
    SCOPED_TRACE(int{adapter});
    SRB srb = Request(SC_HA_INQUIRY, adapter, 0);
    ASSERT_EQ(Backend().HostAdapterInquiry(srb), SS_COMP);
    EXPECT_EQ(srb.HA_Unique[3], targetIds);
    EXPECT_EQ(srb.HA_Unique[2], 0x02);
  }
}

TEST_F(LunTest, RequestsReachTheLunTheyName) {
  SRB type = Request(SC_GET_DEV_TYPE, 0, 1);
  type.SRB_Lun = 5;
  EXPECT_EQ(Backend().GetDeviceType(type), SS_COMP);
  EXPECT_EQ(type.SRB_DeviceType, 5);
  type.SRB_Lun = 2;
  EXPECT_EQ(Backend().GetDeviceType(type), SS_NO_DEVICE);

  SRB disk = Request(SC_GET_DISK_INFO, 0, 1);
  disk.SRB_Lun = 1;
  ASSERT_EQ(Backend().GetDiskInfo(disk), SS_COMP);
  EXPECT_EQ(disk.SRB_Heads, 16);

  SRB command = Request(SC_EXEC_SCSI_CMD, 0, 1, Inquiry36, 40);
  command.SRB_Lun = 1;
  command.SRB_Flags = SRB_ENABLE_RESIDUAL_COUNT;
  const Finished done = RunScsi(Backend(), command);
  ASSERT_EQ(done.status, SS_COMP);
  EXPECT_EQ(io->Seen().back().node, tree.DevNode("sg1"));
  EXPECT_EQ(Head(done.buffer, 4), Bytes({9, 9, 9, Untouched}));
  EXPECT_EQ(std::uint32_t{done.srb.SRB_BufLen}, 37u) << "40 offered, 3 came";
}

// LUN 0 of target 1 may not be opened: sysfs answers. Target 12 has LUN 3
// only, target 7 nothing.
TEST_F(LunTest, WithoutPermissionSysfsGivesPagesAndLuns) {
  const Bytes synthesized = {0, 0, 0, 3, 0, 0x80, 0x83};
  const Bytes listed = {0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0,
                        0, 5, 0, 0, 0, 0, 0, 0};
  const Bytes alone = {0, 0, 0, 8, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* name;
    std::uint8_t target, lun;
    Bytes cdb;
    std::uint8_t status;
    Bytes data;
  };
  const Case cases[] = {
      {"page 80h", 1, 0, VpdInquiry(0x80), SS_COMP, Serial},
      {"page 83h", 1, 0, VpdInquiry(0x83), SS_COMP, Identification},
      {"page 00h of the pages there", 1, 0, VpdInquiry(0x00), SS_COMP, synthesized},
      {"page 89h not fetched", 1, 0, VpdInquiry(0x89), SS_ERR, {}},
      {"report luns", 1, 0, ReportLuns(0, 255), SS_COMP, listed},
      {"report luns, cut to its allocation", 1, 0, ReportLuns(0, 20), SS_COMP, Head(listed, 20)},
      {"report luns, well-known only", 1, 0, ReportLuns(1, 255), SS_COMP, Bytes(8, 0)},
      {"report luns, allocation under 16", 1, 0, ReportLuns(0, 15), SS_ERR, {}},
      {"report luns of a target without lun 0", 12, 0, ReportLuns(0, 255), SS_COMP, alone},
      {"report luns of an empty target", 7, 0, ReportLuns(0, 255), SS_ERR, {}},
      {"inquiry of a target without lun 0", 12, 0, Inquiry36, SS_ERR, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SRB request = Request(SC_EXEC_SCSI_CMD, 0, c.target, c.cdb, 255);
    request.SRB_Lun = c.lun;
    const Finished done = RunScsi(Backend(), request, 255);
    EXPECT_EQ(done.status, c.status);
    EXPECT_EQ(Head(done.buffer, c.data.size()), c.data);
    EXPECT_EQ(done.buffer[c.data.size()], Untouched);
  }
  // LUN 1 lists its pages itself in vpd_pg0.
  SRB own = Request(SC_EXEC_SCSI_CMD, 0, 1, VpdInquiry(0x00), 40);
  own.SRB_Lun = 1;
  io->Script(tree.DevNode("sg1"), {.error = EPERM});
  EXPECT_EQ(Head(RunScsi(Backend(), own).buffer, 6), Bytes({0, 0, 0, 2, 0, 0x80}));
}

}  // namespace
}  // namespace sgtest
