// The INT 13h view of disks: BIOS drive data, the OS's geometry, or none.
#include <chrono>
#include <future>
#include <thread>

#include "aspi/executor.h"
#include "sg_fixture.h"

namespace sgtest {
namespace {

struct DiskCase {
  const char* name;
  int type;
  std::optional<std::uint32_t> signature;  // what the disk's MBR holds
  bool osGeometry, blockDevice;
  std::uint8_t flags, drive, heads, sectors;
};

class DiskInfoTest : public SgBackendTest, public testing::WithParamInterface<DiskCase> {};

TEST_P(DiskInfoTest, AnswersFromTheFirstSourceThatKnowsTheDisk) {
  const DiskCase& c = GetParam();
  tree.AddHost(0, "ahci");
  tree.AddDevice({.address = "0:0:3:0", .type = c.type, .block = c.blockDevice ? "sdc" : ""});
  tree.AddEdd("int13_dev80", "0x12345678", 254, 63);
  tree.AddEdd("int13_dev81", "0xcafef00d", 15, 32);
  tree.AddEdd("int13_dev82", "0x0badbeef", 63, 32);  // two drives, one signature
  tree.AddEdd("int13_dev83", "0x0badbeef", 63, 32);
  tree.AddEdd("int13_dev84", "0x00000000", 63, 32);
  if (c.signature) io->signatures[tree.DevNode("sdc")] = *c.signature;
  if (c.osGeometry) io->geometries[tree.DevNode("sdc")] = {.heads = 64, .sectors = 32};

  SRB srb = Request(SC_GET_DISK_INFO, 0, 3);
  ASSERT_EQ(Backend().GetDiskInfo(srb.SRB_HaId, srb), SS_COMP);
  EXPECT_EQ(srb.SRB_DriveFlags, c.flags);
  EXPECT_EQ(srb.SRB_Int13HDriveInfo, c.drive);
  EXPECT_EQ(srb.SRB_Heads, c.heads);
  EXPECT_EQ(srb.SRB_Sectors, c.sectors);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, DiskInfoTest,
    testing::Values(
        DiskCase{"BiosDriveWithMaxHead254", 0, 0x12345678, true, true, 1, 0x80, 255, 63},
        DiskCase{"SecondBiosDrive", 0, 0xCAFEF00D, false, true, 1, 0x81, 16, 32},
        DiskCase{"OpticalMemoryOnTheBios", 7, 0xCAFEF00D, true, true, 1, 0x81, 16, 32},
        DiskCase{"SignatureNotInTheBios", 0, 0x11111111, true, true, 3, 0, 64, 32},
        DiskCase{"BlankSignatureNamesNoDrive", 0, 0, true, true, 3, 0, 64, 32},
        DiskCase{"TwoBiosDrivesWithOneSignature", 0, 0x0BADBEEF, true, true, 3, 0, 64, 32},
        DiskCase{"DiskWithoutAccess", 0, std::nullopt, false, true, 0, 0, 0, 0},
        DiskCase{"DiskWithoutBlockDevice", 0, 0x12345678, true, false, 0, 0, 0, 0},
        DiskCase{"CdRomIsNoDisk", 5, 0x12345678, true, true, 0, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SgBackendTest, WithoutBiosDataTheOsGeometryAnswers) {
  tree.AddHost(0, "virtio_scsi");
  tree.AddDevice({.address = "0:0:0:0", .type = 0, .block = "sda"});
  io->signatures[tree.DevNode("sda")] = 0x12345678;
  io->geometries[tree.DevNode("sda")] = {.heads = 255, .sectors = 63};
  SRB srb = Request(SC_GET_DISK_INFO, 0, 0);
  ASSERT_EQ(Backend().GetDiskInfo(srb.SRB_HaId, srb), SS_COMP);
  EXPECT_EQ(srb.SRB_DriveFlags, 3);
  EXPECT_EQ(srb.SRB_Heads, 255);
  SRB missing = Request(SC_GET_DISK_INFO, 0, 4);
  EXPECT_EQ(Backend().GetDiskInfo(missing.SRB_HaId, missing), SS_NO_DEVICE);
}

// Reading the geometry queues behind the disk's other I/O; a disk that
// never gets to it must not hold the caller past the wait.
TEST_F(SgBackendTest, DiskWhoseGeometryHangsFailsAfterTheWait) {
  tree.AddHost(0, "usb-storage");
  tree.AddDevice({.address = "0:0:0:0", .type = 0, .block = "sda"});
  io->geometries[tree.DevNode("sda")] = {.heads = 64, .sectors = 32};
  io->hangingDisks.insert(tree.DevNode("sda"));
  backend = wnaspi32::MakeSgBackend({tree.roots(), io, std::chrono::milliseconds(200)});
  // Without a bound the call returns only once this lets the disk go.
  std::promise<void> answered;
  std::thread rescue([this, answered = answered.get_future()] {
    answered.wait_for(std::chrono::seconds(5));
    io->Release();
  });
  SRB srb = Request(SC_GET_DISK_INFO, 0, 0);
  EXPECT_EQ(Backend().GetDiskInfo(srb.SRB_HaId, srb), SS_ERR);
  EXPECT_FALSE(io->Released()) << "the request waited for the hung disk";
  answered.set_value();
  rescue.join();
}

// Get-disk-information returns only when its answer is in, so the layer's
// wait is all that bounds it: the program's own wait for any request.
TEST(DiskInfoWaitTest, IsTheProgramsWaitForARequest) {
  EXPECT_EQ(wnaspi32::linux_io::DiskInfoWait, std::chrono::milliseconds(RequestWaitMilliseconds));
}

TEST_F(SgBackendTest, OlderKernelsLinkTheBlockDeviceAndSgNodeByName) {
  tree.AddHost(0, "sym53c8xx");
  tree.AddDevice({.address = "0:0:0:0", .type = 0, .sg = "sg4", .block = "sdd", .sectors = 2048,
                  .oldStyleLinks = true});
  io->geometries[tree.DevNode("sdd")] = {.heads = 16, .sectors = 63};
  SRB srb = Request(SC_GET_DISK_INFO, 0, 0);
  ASSERT_EQ(Backend().GetDiskInfo(srb.SRB_HaId, srb), SS_COMP);
  EXPECT_EQ(srb.SRB_DriveFlags, 3);
  EXPECT_EQ(srb.SRB_Heads, 16);

  io->Script(tree.DevNode("sg4"), {.error = EACCES});
  const Finished capacity =
      RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8));
  ASSERT_EQ(capacity.status, SS_COMP);
  EXPECT_EQ(Head(capacity.buffer, 8), (Bytes{0, 0, 0x07, 0xFF, 0, 0, 0x02, 0}));
  // The disk information's read of block 0, then READ CAPACITY.
  ASSERT_EQ(io->Seen().size(), 2u);
  EXPECT_EQ(io->Seen()[1].node, tree.DevNode("sg4"));
}

}  // namespace
}  // namespace sgtest
