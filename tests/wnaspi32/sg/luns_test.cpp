// Logical units other than 0, the number of target IDs an adapter
// publishes, and what sysfs answers about LUNs and identities without root.
#include <cerrno>

#include "sg_fixture.h"

namespace sgtest {
namespace {

Bytes ReportLuns(std::uint8_t select, std::uint8_t allocation) {
  return {0xA0, 0, select, 0, 0, 0, 0, 0, 0, allocation, 0, 0};
}
Bytes Lun(std::uint8_t lun) { return {0, lun, 0, 0, 0, 0, 0, 0}; }
const Bytes Serial = {0, 0x80, 0, 2, 'S', 'N'};
const Bytes Identification = {0, 0x83, 0, 12, 1, 3, 0, 8, 0x50, 1, 2, 3, 4, 5, 6, 7};

// Target 1: LUN 0 closed to us (pages 80h and 83h kept), LUN 1 open, LUN 5
// without an sg node to us.
// Target 12: LUN 3 alone. Host 0 channel 1: target 300.
class LunTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "virtio_scsi");
    tree.AddHost(1, "sym53c8xx");
    tree.AddDevice({.address = "0:0:1:0", .type = 0, .sg = "sg0", .vpd = {{0x80, Serial}, {0x83, Identification}}});
    tree.AddDevice({.address = "0:0:1:1", .type = 0, .sg = "sg1", .block = "sdb", .sectors = 8,
                    .vpd = {{0x00, {0, 0, 0, 2, 0, 0x80}}}});
    // Every page the kernel keeps a copy of, but for its own list of them.
    tree.AddDevice({.address = "0:0:1:5", .type = 5, .sg = "sg5",
                    .vpd = {{0x80, Serial}, {0x83, Identification}, {0x89, {1}}, {0xB0, {1}},
                            {0xB1, {1}}, {0xB2, {1}}}});
    tree.AddDevice({.address = "0:0:12:3", .type = 0, .sg = "sg12"});
    tree.AddDevice({.address = "0:1:300:0", .type = 0});
    io->Script(tree.DevNode("sg0"), {.error = EACCES});
    io->Script(tree.DevNode("sg1"), {.data = {9, 9, 9}});
    io->geometries[tree.DevNode("sdb")] = {.heads = 16, .sectors = 63};
  }
  Finished Send(std::uint8_t target, std::uint8_t lun, const Bytes& cdb) {
    SRB request = Request(SC_EXEC_SCSI_CMD, 0, target, cdb, 255);
    request.SRB_Lun = lun;
    request.SRB_Flags = SRB_ENABLE_RESIDUAL_COUNT;
    return RunScsi(Backend(), request, 255);
  }
};

TEST_F(LunTest, HaUniqueHasTheTargetIdsInUseAndCountsResiduals) {
  for (const auto& [adapter, targetIds] : {std::pair{0, 13}, {1, 255}, {2, 8}}) {
    SRB srb = Request(SC_HA_INQUIRY, static_cast<std::uint8_t>(adapter), 0);
    ASSERT_EQ(Backend().HostAdapterInquiry(srb.SRB_HaId, srb), SS_COMP);
    EXPECT_EQ((std::pair{srb.HA_Unique[2], srb.HA_Unique[3]}), (std::pair<std::uint8_t, std::uint8_t>{2, targetIds}));
  }
}

TEST_F(LunTest, RequestsReachTheLunTheyName) {
  SRB type = Request(SC_GET_DEV_TYPE, 0, 1), missing = type, disk = Request(SC_GET_DISK_INFO, 0, 1);
  type.SRB_Lun = 5, missing.SRB_Lun = 2, disk.SRB_Lun = 1;
  EXPECT_EQ(Backend().GetDeviceType(type.SRB_HaId, type), SS_COMP);
  EXPECT_EQ(type.SRB_DeviceType, 5);
  EXPECT_EQ(Backend().GetDeviceType(missing.SRB_HaId, missing), SS_NO_DEVICE);
  ASSERT_EQ(Backend().GetDiskInfo(disk.SRB_HaId, disk), SS_COMP);
  EXPECT_EQ(disk.SRB_Heads, 16);
  const Finished done = Send(1, 1, {0x12, 0, 0, 0, 36, 0});
  EXPECT_EQ(io->Seen().back().node, tree.DevNode("sg1"));
  EXPECT_EQ(Head(done.buffer, 4), Bytes({9, 9, 9, Untouched}));
  EXPECT_EQ(std::uint32_t{done.srb.SRB_BufLen}, 252u) << "255 offered, 3 came";
}

TEST_F(LunTest, WithoutPermissionSysfsGivesPagesAndLuns) {
  const Bytes listed = Join({{0, 0, 0, 24, 0, 0, 0, 0}, Lun(0), Lun(1), Lun(5)});
  const std::tuple<std::uint8_t, std::uint8_t, Bytes, Bytes> cases[] = {  // empty: SS_ERR
      {1, 0, {0x12, 1, 0x80, 0, 255, 0}, Serial},
      {1, 0, {0x12, 1, 0x83, 0, 255, 0}, Identification},
      {1, 0, {0x12, 1, 0x00, 0, 255, 0}, {0, 0, 0, 3, 0, 0x80, 0x83}},  // of the pages there
      {1, 0, {0x12, 1, 0x89, 0, 255, 0}, {}},                           // not fetched
      {1, 5, {0x12, 1, 0x00, 0, 255, 0}, {5, 0, 0, 7, 0, 0x80, 0x83, 0x89, 0xB0, 0xB1, 0xB2}},
      {1, 0, ReportLuns(0, 255), listed},
      {1, 0, ReportLuns(0, 20), Head(listed, 20)},
      {1, 0, ReportLuns(1, 255), Bytes(8, 0)},                          // well-known only
      {1, 0, ReportLuns(0, 15), {}},                                    // no room for a LUN
      {12, 0, ReportLuns(0, 255), Join({{0, 0, 0, 8, 0, 0, 0, 0}, Lun(3)})},  // without LUN 0
      {7, 0, ReportLuns(0, 255), {}},
      {12, 0, {0x12, 0, 0, 0, 36, 0}, {}},
  };
  for (const auto& [target, lun, cdb, data] : cases) {
    const Finished done = Send(target, lun, cdb);
    EXPECT_EQ(done.status, data.empty() ? SS_ERR : SS_COMP) << int{target} << " " << int{cdb[0]};
    EXPECT_EQ(Head(done.buffer, data.size() + 1), Join({data, {Untouched}}));
  }
  io->Script(tree.DevNode("sg1"), {.error = EPERM});
  EXPECT_EQ(Head(Send(1, 1, {0x12, 1, 0, 0, 255, 0}).buffer, 6), Bytes({0, 0, 0, 2, 0, 0x80}))
      << "LUN 1 lists its pages itself in vpd_pg0";
}

TEST_F(LunTest, PagesTheKernelKeepsAreAnsweredWithoutACommand) {
  const std::size_t sent = io->Seen().size();
  const Finished kept = Send(1, 1, {0x12, 1, 0, 0, 5, 0});
  EXPECT_EQ(kept.status, SS_COMP);
  EXPECT_EQ(Head(kept.buffer, 6), Bytes({0, 0, 0, 2, 0, Untouched})) << "cut to 5 bytes";
  EXPECT_EQ(std::uint32_t{kept.srb.SRB_BufLen}, 250u);
  EXPECT_EQ(io->Seen().size(), sent);
  EXPECT_EQ(Head(Send(1, 1, {0x12, 1, 0x80, 0, 255, 0}).buffer, 3), Bytes({9, 9, 9}));
  EXPECT_EQ(io->Seen().size(), sent + 1) << "a page the kernel did not fetch goes to the device";
}

}  // namespace
}  // namespace sgtest
