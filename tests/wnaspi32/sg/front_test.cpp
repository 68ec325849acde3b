// The Linux backend behind the layer's two calls, as any program reaches
// it: the host's own SCSI ID, the sysfs answers when the sg node cannot be
// used, and the front's checks of direction and buffer.
#include <cerrno>
#include <string>

#include "../../guarded_buffer.h"
#include "sg_fixture.h"

namespace sgtest {
namespace {

const Bytes DiskInquiry = MakeInquiry(0, "ATA", "QEMU HARDDISK", "2.5", 96);
const Bytes Inquiry36 = {0x12, 0, 0, 0, 36, 0};
const Bytes Inquiry255 = {0x12, 0, 0, 0, 255, 0};
const Bytes ReadCapacity10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes TestUnitReady = {0, 0, 0, 0, 0, 0};

class SgFrontTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "ahci", "0");
    tree.AddHost(1, "sym53c8xx", "5");
    tree.AddHost(2, "virtio_scsi");
    tree.AddHost(3, "mptspi", "-1");
    // Two 1 GiB disks, the second without an sg node.
    tree.AddDevice({.address = "0:0:0:0", .type = 0, .inquiry = DiskInquiry, .sg = "sg0",
                    .block = "sda", .sectors = 1u << 21});
    tree.AddDevice({.address = "0:0:1:0", .type = 0, .inquiry = DiskInquiry,
                    .block = "sdb", .sectors = 1u << 21});
    LendToTheFront();
  }
};

TEST_F(SgFrontTest, AdapterScsiIdIsTheHostsThisIdOrElse7) {
  ASSERT_EQ(GetASPI32SupportInfo(), 0x0104u);
  // this_id "0", "5", missing, "-1".
  const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0, 0}, {1, 5}, {2, 7}, {3, 7}};
  for (const auto& [adapter, scsiId] : cases) {
    SRB srb = Request(SC_HA_INQUIRY, adapter, 0);
    srb.HA_SCSI_ID = 0xEE;
    ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
    EXPECT_EQ(srb.HA_SCSI_ID, scsiId) << "adapter " << int{adapter};
  }
}

// Without a usable node INQUIRY and READ CAPACITY come from sysfs, cut to
// the CDB's allocation length like the device's own answer.
TEST_F(SgFrontTest, SysfsAnswersWhenTheNodeCannotBeUsed) {
  const Bytes capacity = {0, 0x1F, 0xFF, 0xFF, 0, 0, 2, 0};
  struct Case {
    const char* name;
    std::uint8_t target;
    int error;
  };
  const Case cases[] = {{"no node", 0, ENOENT},
                        {"not allowed", 0, EACCES},
                        {"not permitted", 0, EPERM},
                        {"no sg node in sysfs", 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    io->Script(tree.DevNode("sg0"), {.error = c.error});
    GuardedBuffer inquiry(40);
    SRB srb = Request(SC_EXEC_SCSI_CMD, 0, c.target, Inquiry36, 40);
    srb.SRB_BufPointer = inquiry.handle;
    EXPECT_EQ(Send(srb), SS_COMP);
    EXPECT_EQ(inquiry.Written(), Head(DiskInquiry, 36));

    GuardedBuffer readCapacity(8);
    srb = Request(SC_EXEC_SCSI_CMD, 0, c.target, ReadCapacity10, 8);
    srb.SRB_BufPointer = readCapacity.handle;
    EXPECT_EQ(Send(srb), SS_COMP);
    EXPECT_EQ(readCapacity.Written(), capacity);
  }
}

TEST_F(SgFrontTest, FrontRefusesDataOutAndKeepsToTheRegisteredBuffer) {
  io->Script(tree.DevNode("sg0"), {.data = DiskInquiry});
  struct Case {
    const char* name;
    std::uint8_t target, flags;
    Bytes cdb;
    std::uint32_t bufLen, registered;  // registered 0: no buffer
    std::uint8_t status;
    std::size_t written;  // bytes of the INQUIRY data
  };
  const Case cases[] = {
      {"data out", 0, SRB_DIR_OUT, Inquiry36, 40, 40, SS_ERR, 0},
      {"no data, no buffer", 0, 0, TestUnitReady, 0, 0, SS_COMP, 0},
      {"length past the buffer", 0, 0, Inquiry255, 200, 81, SS_COMP, 81},
      {"length past the buffer, from sysfs", 1, 0, Inquiry255, 200, 81, SS_COMP, 81},
      {"length without a buffer", 0, 0, Inquiry36, 40, 0, SS_ERR, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedBuffer buffer(c.registered);
    SRB srb = Request(SC_EXEC_SCSI_CMD, 0, c.target, c.cdb, c.bufLen);
    srb.SRB_BufPointer = buffer.handle;
    srb.SRB_Flags = c.flags;
    EXPECT_EQ(Send(srb), c.status);
    EXPECT_EQ(buffer.Written(), Head(DiskInquiry, c.written));
  }
}

}  // namespace
}  // namespace sgtest
