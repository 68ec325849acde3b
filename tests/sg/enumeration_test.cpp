// Host adapters, their inquiry replies and device types, from the tree.
#include <string>

#include "sg_fixture.h"

namespace sgtest {
namespace {

std::string Field16(const std::uint8_t (&field)[16]) {
  return std::string(reinterpret_cast<const char*>(field), 16);
}

class EnumerationTest : public SgBackendTest {
 protected:
  void SetUp() override {
    // Host numbers as the kernel hands them out: by driver load order, not
    // sorted as text (host10 comes after host2).
    tree.AddHost(10, "usb-storage");
    tree.AddHost(0, "ahci");
    tree.AddHost(1, "sym53c8xx", "7");
    tree.AddHost(2, "megaraid_sas");
    tree.AddHost(3, "virtio_scsi", "-1");
    tree.AddHost(4, "a_driver_name_over_16_bytes");
    tree.AddDevice({.address = "0:0:0:0", .type = 0});
    tree.AddDevice({.address = "0:0:2:0", .type = 5});
    tree.AddDevice({.address = "2:2:0:0", .type = 0});  // RAID volumes on channel 2
    tree.AddDevice({.address = "2:2:1:0", .type = 0});
    tree.AddDevice({.address = "3:0:5:0", .type = 1});
    tree.AddDevice({.address = "3:1:0:0", .type = 8});
    tree.AddDevice({.address = "10:0:0:0", .type = 0});
    tree.AddDevice({.address = "10:0:0:1", .type = 0x1F});
  }
};

TEST_F(EnumerationTest, AdaptersAreHostChannelPairsInAscendingOrder) {
  struct Expected {
    std::string identifier;
    std::uint8_t scsiId;
  };
  const std::vector<Expected> expected = {
      {"ahci", 7},              // 0:0
      {"sym53c8xx", 7},         // 1:0, no devices, this_id 7
      {"megaraid_sas", 7},      // 2:2 only: no empty channel 0 for it
      {"virtio_scsi", 7},       // 3:0, this_id -1
      {"virtio_scsi", 7},       // 3:1
      {"a_driver_name_ov", 7},  // 4:0, no devices, name cut to 16 bytes
      {"usb-storage", 7},       // 10:0
  };
  ASSERT_EQ(Backend().AdapterCount(), static_cast<int>(expected.size()));
  EXPECT_EQ(Backend().SupportInfo(), 0x0100u | expected.size());

  const std::string manager("ASPI for Linux\0\0", 16);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("adapter " + std::to_string(i));
    SRB srb{};
    srb.SRB_HaId = static_cast<std::uint8_t>(i);
    ASSERT_EQ(Backend().HostAdapterInquiry(srb), SS_COMP);
    EXPECT_EQ(srb.HA_Count, expected.size());
    EXPECT_EQ(srb.HA_SCSI_ID, expected[i].scsiId);
    EXPECT_EQ(Field16(srb.HA_ManagerId), manager);
    std::string identifier = expected[i].identifier;
    identifier.resize(16, '\0');
    EXPECT_EQ(Field16(srb.HA_Identifier), identifier);
  }
}

TEST_F(EnumerationTest, ThisIdOfTheHostIsTheAdaptersScsiId) {
  tree.AddHost(5, "aic7xxx", "6");
  SRB srb{};
  srb.SRB_HaId = 6;  // after 4:0, before 10:0
  ASSERT_EQ(Backend().HostAdapterInquiry(srb), SS_COMP);
  EXPECT_EQ(srb.HA_SCSI_ID, 6);
  EXPECT_EQ(Field16(srb.HA_Identifier), std::string("aic7xxx\0\0\0\0\0\0\0\0\0", 16));
}

TEST_F(EnumerationTest, DeviceTypeAtEachTargetOfEachAdapter) {
  struct Case {
    std::uint8_t adapter, target, lun;
    std::uint8_t status;
    std::uint8_t type;
  };
  const Case cases[] = {
      {0, 0, 0, SS_COMP, 0},       {0, 2, 0, SS_COMP, 5},       {0, 1, 0, SS_NO_DEVICE, 0},
      {1, 0, 0, SS_NO_DEVICE, 0},  {2, 0, 0, SS_COMP, 0},       {2, 1, 0, SS_COMP, 0},
      {3, 5, 0, SS_COMP, 1},       {3, 0, 0, SS_NO_DEVICE, 0},  {4, 0, 0, SS_COMP, 8},
      {6, 0, 0, SS_COMP, 0},       {6, 0, 1, SS_COMP, 0x1F},    {6, 0, 2, SS_NO_DEVICE, 0},
      {7, 0, 0, SS_INVALID_HA, 0}, {255, 0, 0, SS_INVALID_HA, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "adapter " << int{c.adapter} << " target "
                                    << int{c.target} << " lun " << int{c.lun});
    SRB srb = TargetRequest(SC_GET_DEV_TYPE, c.adapter, c.target);
    srb.SRB_Lun = c.lun;
    srb.SRB_DeviceType = 0xEE;
    EXPECT_EQ(Backend().GetDeviceType(srb), c.status);
    if (c.status == SS_COMP) {
      EXPECT_EQ(srb.SRB_DeviceType, c.type);
    }
  }
}

TEST_F(EnumerationTest, AdaptersStayAsFirstSurveyedWhileDevicesComeAndGo) {
  ASSERT_EQ(Backend().AdapterCount(), 7);
  tree.RemoveDevice("0:0:0:0");
  tree.AddDevice({.address = "0:0:3:0", .type = 0});
  tree.AddHost(11, "late_driver");

  EXPECT_EQ(Backend().AdapterCount(), 7);
  SRB gone = TargetRequest(SC_GET_DEV_TYPE, 0, 0);
  EXPECT_EQ(Backend().GetDeviceType(gone), SS_NO_DEVICE);
  SRB goneDisk = TargetRequest(SC_GET_DISK_INFO, 0, 0);
  EXPECT_EQ(Backend().GetDiskInfo(goneDisk), SS_NO_DEVICE);
  SRB arrived = TargetRequest(SC_GET_DEV_TYPE, 0, 3);
  EXPECT_EQ(Backend().GetDeviceType(arrived), SS_COMP);

  const Finished command = RunScsi(Backend(), ScsiRequest(0, 0, {0x12, 0, 0, 0, 36, 0}, 40));
  EXPECT_EQ(command.status, SS_ERR);
  EXPECT_EQ(command.srb.SRB_HaStat, HASTAT_SEL_TO);
  EXPECT_EQ(command.buffer, std::vector<std::uint8_t>(40, kUntouched));
}

TEST(EmptyTreeTest, NoAdaptersMeansTheLayerIsNotThere) {
  FakeTree tree;
  auto backend = wnaspi32::MakeSgBackend(tree.roots(), std::make_shared<ScriptedIo>());
  EXPECT_EQ(backend->SupportInfo(), 0x0000E800u);
  EXPECT_EQ(backend->AdapterCount(), 0);
}

TEST(AdapterLimitTest, AtMost255AdaptersAreCounted) {
  FakeTree tree;
  for (unsigned host = 0; host < 260; ++host) tree.AddHost(host, "many");
  auto backend = wnaspi32::MakeSgBackend(tree.roots(), std::make_shared<ScriptedIo>());
  EXPECT_EQ(backend->SupportInfo(), 0x01FFu);
  EXPECT_EQ(backend->AdapterCount(), 255);
}

}  // namespace
}  // namespace sgtest
