// Host adapters, their inquiry replies and device types, from the tree.
#include <string>

#include "sg_fixture.h"
#include "wnaspi32/linux_platform/platform_backend.h"

namespace sgtest {
namespace {

std::string Field16(const std::uint8_t (&field)[16]) {
  return std::string(reinterpret_cast<const char*>(field), 16);
}

class EnumerationTest : public SgBackendTest {
 protected:
  void SetUp() override {
    // Host numbers follow driver load order; host10 sorts after host2.
    tree.AddHost(10, "usb-storage");
    tree.AddHost(0, "ahci");
    tree.AddHost(1, "sym53c8xx", "6");
    tree.AddHost(2, "megaraid_sas");
    tree.AddHost(3, "virtio_scsi", "-1");
    tree.AddHost(4, "a_driver_name_over_16_bytes");
    tree.AddHost(5, "(null)", std::nullopt, "am53c974");  // a driver without a proc name
    for (const auto& [address, type] : {std::pair{"0:0:0:0", 0}, {"0:0:2:0", 5},
                                        {"2:2:0:0", 0}, {"2:2:1:0", 0},  // RAID volumes
                                        {"3:0:5:0", 1}, {"3:1:0:0", 8},
                                        {"10:0:0:0", 0}, {"10:0:0:1", 0x1F}})
      tree.AddDevice({.address = address, .type = type});
  }
};

TEST_F(EnumerationTest, AdaptersAreHostChannelPairsInAscendingOrder) {
  const std::vector<std::pair<std::string, std::uint8_t>> expected = {
      {"ahci", 7},              // 0:0
      {"sym53c8xx", 6},         // 1:0, no devices, this_id 6
      {"megaraid_sas", 7},      // 2:2 alone: no empty channel 0 beside it
      {"virtio_scsi", 7},       // 3:0, this_id -1
      {"virtio_scsi", 7},       // 3:1
      {"a_driver_name_ov", 7},  // 4:0, no devices, name cut to 16 bytes
      {"am53c974", 7},          // 5:0, named after its controller's driver
      {"usb-storage", 7},       // 10:0
  };
  // The layer as the program has it on Linux: these adapters, and no NVMe
  // controller after them.
  const auto layer = wnaspi32::MakePlatformBackend({tree.roots(), io});
  ASSERT_EQ(layer->AdapterCount(), 8);
  EXPECT_EQ(layer->SupportInfo(), 0x0108u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("adapter " + std::to_string(i));
    SRB srb = Request(SC_HA_INQUIRY, static_cast<std::uint8_t>(i), 0);
    ASSERT_EQ(layer->HostAdapterInquiry(srb.SRB_HaId, srb), SS_COMP);
    EXPECT_EQ(srb.HA_Count, 8);
    EXPECT_EQ(srb.HA_SCSI_ID, expected[i].second);
    EXPECT_EQ(Field16(srb.HA_ManagerId), std::string("ASPI for Linux\0\0", 16));
    const std::string padded = expected[i].first + std::string(16, '\0');
    EXPECT_EQ(Field16(srb.HA_Identifier), padded.substr(0, 16));
  }
}

TEST_F(EnumerationTest, DeviceTypeAtEachTargetOfEachAdapter) {
  struct Case {
    std::uint8_t adapter, target, lun, status, type;
  };
  const Case cases[] = {
      {0, 0, 0, SS_COMP, 0},       {0, 2, 0, SS_COMP, 5},      {0, 1, 0, SS_NO_DEVICE, 0},
      {1, 0, 0, SS_NO_DEVICE, 0},  {2, 1, 0, SS_COMP, 0},      {3, 5, 0, SS_COMP, 1},
      {3, 0, 0, SS_NO_DEVICE, 0},  {4, 0, 0, SS_COMP, 8},      {7, 0, 1, SS_COMP, 0x1F},
      {7, 0, 2, SS_NO_DEVICE, 0},  {8, 0, 0, SS_INVALID_HA, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "adapter " << int{c.adapter} << " target "
                                    << int{c.target} << " lun " << int{c.lun});
    SRB srb = Request(SC_GET_DEV_TYPE, c.adapter, c.target);
    srb.SRB_Lun = c.lun;
    srb.SRB_DeviceType = 0xEE;
    EXPECT_EQ(Backend().GetDeviceType(srb.SRB_HaId, srb), c.status);
    EXPECT_EQ(srb.SRB_DeviceType, c.status == SS_COMP ? c.type : 0xEE);
  }
}

TEST_F(EnumerationTest, AdaptersStayAsFirstSurveyedWhileDevicesComeAndGo) {
  ASSERT_EQ(Backend().AdapterCount(), 8);
  tree.RemoveDevice("0:0:0:0");
  tree.AddDevice({.address = "0:0:3:0", .type = 0});
  tree.AddHost(11, "late_driver");

  EXPECT_EQ(Backend().AdapterCount(), 8);
  SRB gone = Request(SC_GET_DEV_TYPE, 0, 0);
  EXPECT_EQ(Backend().GetDeviceType(gone.SRB_HaId, gone), SS_NO_DEVICE);
  SRB goneDisk = Request(SC_GET_DISK_INFO, 0, 0);
  EXPECT_EQ(Backend().GetDiskInfo(goneDisk.SRB_HaId, goneDisk), SS_NO_DEVICE);
  SRB arrived = Request(SC_GET_DEV_TYPE, 0, 3);
  EXPECT_EQ(Backend().GetDeviceType(arrived.SRB_HaId, arrived), SS_COMP);

  const Finished command =
      RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, {0x12, 0, 0, 0, 36, 0}, 40));
  EXPECT_EQ(command.status, SS_ERR);
  EXPECT_EQ(command.srb.SRB_HaStat, HASTAT_SEL_TO);
  EXPECT_EQ(command.buffer, Bytes(40, Untouched));
}

TEST(AdapterCountTest, NoneMeansTheLayerIsNotThereAndAtMost255Count) {
  for (const unsigned hosts : {0u, 1u, 255u, 260u}) {
    SCOPED_TRACE(hosts);
    FakeTree tree;
    for (unsigned host = 0; host < hosts; ++host) tree.AddHost(host, "many");
    auto backend = wnaspi32::MakeSgBackend({tree.roots(), std::make_shared<ScriptedIo>()});
    const unsigned counted = std::min(hosts, 255u);
    EXPECT_EQ(backend->AdapterCount(), static_cast<int>(counted));
    EXPECT_EQ(backend->SupportInfo(), hosts == 0 ? 0x0000E800u : 0x0100u | counted);
  }
}

}  // namespace
}  // namespace sgtest
