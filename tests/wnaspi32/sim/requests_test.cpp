// Each request kind answered from a bus file, as a real layer answers it.
#include <cstring>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

using namespace simtest;

std::vector<std::uint8_t> Bytes(const std::uint8_t* from, std::size_t count) {
  return {from, from + count};
}

std::vector<std::uint8_t> Bytes(const char* text, std::size_t count) {
  return Bytes(reinterpret_cast<const std::uint8_t*>(text), count);
}

// The single-disk example is the machine of the worked examples: one
// adapter and a SCSI-2 disk at target 0.
class SingleDisk : public ::testing::Test {
 protected:
  void SetUp() override { UseBusFile(ExamplePath("single-disk.json")); }
};

TEST_F(SingleDisk, AdapterInquiryNamesTheAdapter) {
  EXPECT_EQ(GetASPI32SupportInfo(), 0x0101u);
  SRB srb = TargetRequest(SC_HA_INQUIRY, 0, 0);
  ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
  EXPECT_EQ(srb.SRB_Status, SS_COMP);
  EXPECT_EQ(srb.HA_Count, 1);
  EXPECT_EQ(srb.HA_SCSI_ID, 7);
  EXPECT_EQ(Bytes(srb.HA_ManagerId, 16), Bytes("ASPI for WIN32\0\0", 16));
  EXPECT_EQ(Bytes(srb.HA_Identifier, 16), Bytes("ABCD-123\0\0\0\0\0\0\0\0", 16));
}

TEST_F(SingleDisk, DeviceTypeAndDiskInformation) {
  SRB type = TargetRequest(SC_GET_DEV_TYPE, 0, 0);
  type.SRB_DeviceType = 0xEE;
  ASSERT_EQ(SendASPI32Command(&type), SS_COMP);
  EXPECT_EQ(type.SRB_DeviceType, 0);

  SRB disk = TargetRequest(SC_GET_DISK_INFO, 0, 0);
  ASSERT_EQ(SendASPI32Command(&disk), SS_COMP);
  EXPECT_EQ(disk.SRB_DriveFlags, 1);
  EXPECT_EQ(disk.SRB_Int13HDriveInfo, 0x80);
  EXPECT_EQ(disk.SRB_Heads, 64);
  EXPECT_EQ(disk.SRB_Sectors, 32);
}

TEST_F(SingleDisk, InquiryAsTheProgramSendsIt) {
  Buffer buffer;
  SRB srb = ScsiRequest(0, 0, buffer, 40, {0x12, 0, 0, 0, 36, 0});
  ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
  const std::vector<std::uint8_t> head = {0x00, 0x00, 0x02, 0x02, 31, 0, 0, 0x32};
  EXPECT_EQ(Bytes(buffer.bytes.data(), 8), head);
  EXPECT_EQ(Bytes(&buffer.bytes[8], 28), Bytes("VENDOR01MODEL-2000      0100", 28));
  // 36 bytes asked for: the four more that SRB_BufLen allows stay untouched.
  for (std::size_t i = 36; i < buffer.bytes.size(); ++i) EXPECT_EQ(buffer.bytes[i], Buffer::Marker) << i;
  EXPECT_EQ(srb.SRB_HaStat, HASTAT_OK);
  EXPECT_EQ(srb.SRB_TargStat, STATUS_GOOD);
}

TEST_F(SingleDisk, ReadCapacityAsTheProgramSendsIt) {
  Buffer buffer;
  SRB srb = ScsiRequest(0, 0, buffer, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
  const std::vector<std::uint8_t> expected = {0x00, 0x3E, 0xB8, 0x8F, 0x00, 0x00, 0x02, 0x00};
  EXPECT_EQ(Bytes(buffer.bytes.data(), 8), expected);
  EXPECT_EQ(buffer.bytes[8], Buffer::Marker);
}

// Nobody at the ID, and an adapter that is not there.
TEST(SimAbsent, EachKindEndsAsARealLayerDoes) {
  UseBusFile(ExamplePath("single-disk.json"));
  Buffer buffer;
  struct Case {
    const char* what;
    SRB srb;
    std::uint8_t status;
  };
  SRB inquiry = ScsiRequest(0, 3, buffer, 40, {0x12, 0, 0, 0, 36, 0});
  SRB otherLun = TargetRequest(SC_GET_DEV_TYPE, 0, 0);
  otherLun.SRB_Lun = 1;
  const Case cases[] = {
      {"device type, empty ID", TargetRequest(SC_GET_DEV_TYPE, 0, 3), SS_NO_DEVICE},
      {"disk info, empty ID", TargetRequest(SC_GET_DISK_INFO, 0, 3), SS_NO_DEVICE},
      {"device type, LUN 1", otherLun, SS_NO_DEVICE},
      {"inquiry, empty ID", inquiry, SS_ERR},
      {"adapter inquiry, adapter 1", TargetRequest(SC_HA_INQUIRY, 1, 0), SS_INVALID_HA},
      {"device type, adapter 1", TargetRequest(SC_GET_DEV_TYPE, 1, 0), SS_INVALID_HA},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SendASPI32Command(&c.srb), c.status);
    EXPECT_EQ(c.srb.SRB_Status, c.status);
    if (c.srb.SRB_Cmd == SC_EXEC_SCSI_CMD) {
      EXPECT_EQ(c.srb.SRB_HaStat, HASTAT_SEL_TO);
      EXPECT_EQ(buffer.bytes[0], Buffer::Marker);
    }
  }
}

}  // namespace
