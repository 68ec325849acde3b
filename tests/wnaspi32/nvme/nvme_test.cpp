// NVMe controllers after the SCSI hosts, their namespaces as disks, and the
// SCSI commands translated for them, on fake sysfs trees with and without
// native multipath.
#include <functional>
#include <string>

#include "../sg/sg_fixture.h"
#include "wnaspi32/linux_platform/platform_backend.h"

namespace sgtest {
namespace {

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }
// clang-format off
const FakeController Pcie = {
    .number = 0, .transport = "pcie", .model = "BVLAB NVME DISK WITH A LONG NAME", .serial = "S0",
    .firmware = "7.2.15", .state = "live", .subsystem = std::nullopt,
    .namespaces = {{.nsid = 1, .sectors = 3ull << 31, .eui = "52 54 00 00 00 00 00 01"},
                   // The kernel shows an NGUID as the UUID of a namespace without one.
                   {.nsid = 2, .sectors = 1u << 21, .logicalBlockSize = 4096,
                    .nguid = "00112233-4455-6677-8899-aabbccddeeff",
                    .uuid = "00112233-4455-6677-8899-aabbccddeeff"},
                   {.nsid = 5, .sectors = 8, .eui = "00 00 00 00 00 00 00 05",
                    .nguid = "50000000-0000-0000-0000-000000000005",
                    .uuid = "55555555-5555-5555-5555-555555555555"}}};
// Behind native multipath, subsystem 3: path nvme3c1n1, block device nvme3n1.
const FakeController Tcp = {
    .number = 1, .transport = "tcp", .model = "M", .serial = "SERIAL-ONE", .firmware = "AB",
    .state = "connecting", .subsystem = 3,
    .namespaces = {{.nsid = 9, .sectors = 1u << 20, .uuid = "12345678-9abc-def0-1234-56789abcdef0"}}};
// A model longer than the 40 bytes of its Identify field, as no kernel
// shows; a serial number filling its 20; identifiers of zeros, which name
// nothing.
const FakeController Loop = {.number = 4, .transport = "loop", .model = "L" + std::string(49, '-'),
                             .serial = "SL12345678901234567Z", .firmware = "F",
                             .namespaces = {{.nsid = 1, .sectors = 8, .eui = "00 00 00 00 00 00 00 00",
                                             .nguid = "00000000-0000-0000-0000-000000000000"}}};
// clang-format on

// Adapters: 0 ahci, 1 usb-storage, 2 nvme0, 3 nvme1, 4 nvme4.
class NvmeTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(1, "usb-storage");
    tree.AddHost(0, "ahci");
    tree.AddDevice({.address = "0:0:0:0", .type = 0, .inquiry = MakeInquiry(0, "ATA", "D", "1")});
    for (const FakeController& c : {Loop, Tcp, Pcie}) tree.AddController(c);
    linux_ = wnaspi32::MakePlatformBackend({tree.roots(), io});
  }
  void TearDown() override {
    io->Release();
    linux_.reset();
  }
  Finished Exec(std::uint8_t adapter, std::uint8_t target, const Bytes& cdb,
                std::uint32_t length = 255) {
    return RunScsi(*linux_, Request(SC_EXEC_SCSI_CMD, adapter, target, cdb, length), 255);
  }
  std::uint8_t DeviceType(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun = 0) {
    SRB srb = Request(SC_GET_DEV_TYPE, adapter, target);
    srb.SRB_Lun = lun;
    srb.SRB_DeviceType = 0xEE;
    const std::uint8_t status = linux_->GetDeviceType(srb.SRB_HaId, srb);
    return status == SS_COMP ? srb.SRB_DeviceType : status;
  }
  std::unique_ptr<wnaspi32::Backend> linux_;
};

TEST_F(NvmeTest, ScsiHostsFirstThenOneAdapterPerControllerInItsNumbersOrder) {
  struct Case {
    const char* identifier;
    std::uint8_t targetIds;  // HA_Unique byte 3; 0: not checked
  };
  const Case cases[] = {{"ahci", 0}, {"usb-storage", 0}, {"pcie", 8}, {"tcp", 9}, {"loop", 8}};
  ASSERT_EQ(linux_->AdapterCount(), 5);
  EXPECT_EQ(linux_->SupportInfo(), 0x0105u);
  for (std::uint8_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(cases[i].identifier);
    SRB srb = Request(SC_HA_INQUIRY, i, 0);
    ASSERT_EQ(linux_->HostAdapterInquiry(srb.SRB_HaId, srb), SS_COMP);
    EXPECT_EQ(srb.HA_Count, 5);
    EXPECT_EQ(srb.HA_SCSI_ID, 7);
    EXPECT_EQ(Bytes(srb.HA_ManagerId, srb.HA_ManagerId + 16),
              Join({Text("ASPI for Linux"), Bytes(2)}));
    const std::string name = cases[i].identifier;
    EXPECT_EQ(Bytes(srb.HA_Identifier, srb.HA_Identifier + 16),
              Join({Text(name), Bytes(16 - name.size())}));
    if (cases[i].targetIds != 0) {
      EXPECT_EQ(srb.HA_Unique[3], cases[i].targetIds);
    }
  }
}

TEST_F(NvmeTest, NamespaceIdNIsADiskAtTargetNMinus1WithOrWithoutMultipath) {
  io->geometries[tree.DevNode("nvme0n2")] = {.heads = 64, .sectors = 32};
  io->geometries[tree.DevNode("nvme3n1")] = {.heads = 255, .sectors = 63};
  struct Case {
    std::uint8_t adapter, target, lun, type;  // type: or the status
    std::uint8_t diskStatus, heads;
  };
  const Case cases[] = {
      {2, 0, 0, 0, SS_COMP, 0},  {2, 1, 0, 0, SS_COMP, 64}, {2, 2, 0, SS_NO_DEVICE, SS_NO_DEVICE, 0},
      {2, 0, 1, SS_NO_DEVICE, SS_NO_DEVICE, 0},  {3, 8, 0, 0, SS_COMP, 255},
      {3, 0, 0, SS_NO_DEVICE, SS_NO_DEVICE, 0},  {4, 0, 0, 0, SS_COMP, 0}, {0, 0, 0, 0, SS_COMP, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "adapter " << int{c.adapter} << " target " << int{c.target}
                                    << " lun " << int{c.lun});
    EXPECT_EQ(DeviceType(c.adapter, c.target, c.lun), c.type);
    SRB disk = Request(SC_GET_DISK_INFO, c.adapter, c.target);
    disk.SRB_Lun = c.lun;
    EXPECT_EQ(linux_->GetDiskInfo(disk.SRB_HaId, disk), c.diskStatus);
    EXPECT_EQ(disk.SRB_Heads, c.heads);
    EXPECT_EQ(disk.SRB_DriveFlags, c.heads != 0 ? 3 : 0);
  }
}

TEST_F(NvmeTest, CommandsAreTranslatedFromSysfs) {
  const Bytes std36 = {0x12, 0, 0, 0, 36, 0};
  const auto vpd = [](std::uint8_t page, std::uint8_t length = 255) {
    return Bytes{0x12, 1, page, 0, length, 0};
  };
  const Bytes rc10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes rc16 = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};
  const Bytes header = {0, 0, 6, 2, 31, 0, 0, 2};
  const Bytes nguid = {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC,
                       0xDD, 0xEE, 0xFF};
  const Bytes uuid8 = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  struct Case {
    const char* what;
    std::uint8_t adapter, target;
    Bytes cdb, data;
  };
  const Case cases[] = {
      {"standard, model cut, last 4 of the firmware", 2, 0, std36,
       Join({header, Text("NVMe    BVLAB NVME DISK 2.15")})},
      {"standard, short names", 3, 8, std36, Join({header, Text("NVMe    M               AB  ")})},
      {"standard, cut to the allocation length", 4, 0, {0x12, 0, 0, 0, 5, 0}, {0, 0, 6, 2, 31}},
      {"supported pages", 2, 0, vpd(0), {0, 0, 0, 3, 0, 0x80, 0x83}},
      {"serial of the controller", 2, 1, vpd(0x80),
       Join({{0, 0x80, 0, 20}, Text("S0"), Bytes(18, ' ')})},
      {"serial of the controller, multipath", 3, 8, vpd(0x80),
       Join({{0, 0x80, 0, 20}, Text("SERIAL-ONE"), Bytes(10, ' ')})},
      {"EUI-64 designator", 2, 0, vpd(0x83), {0, 0x83, 0, 12, 1, 2, 0, 8, 0x52, 0x54, 0, 0, 0, 0, 0, 1}},
      {"NGUID designator, no UUID", 2, 1, vpd(0x83), Join({{0, 0x83, 0, 20, 1, 2, 0, 16}, nguid})},
      {"UUID designator", 3, 8, vpd(0x83), Join({{0, 0x83, 0, 22, 1, 0x0A, 0, 18, 0x10, 0}, uuid8, uuid8})},
      {"serial of the controller, all 20", 4, 0, vpd(0x80),
       Join({{0, 0x80, 0, 20}, Text("SL12345678901234567Z")})},
      {"EUI-64, NGUID and UUID designators", 2, 4, vpd(0x83),
       Join({{0, 0x83, 0, 54, 1, 2, 0, 8, 0, 0, 0, 0, 0, 0, 0, 5, 1, 2, 0, 16, 0x50}, Bytes(14),
             {5, 1, 0x0A, 0, 18, 0x10, 0}, Bytes(16, 0x55)})},
      {"T10 vendor designator of the controller", 4, 0, vpd(0x83),
       Join({{0, 0x83, 0, 76, 2, 0x21, 0, 72},
             Text("NVMe    L" + std::string(39, '-') + "_SL12345678901234567Z"), Bytes(3)})},
      {"designators cut to the allocation length", 2, 0, vpd(0x83, 6), {0, 0x83, 0, 12, 1, 2}},
      {"read capacity (10) of 3 TiB", 2, 0, rc10, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}},
      {"read capacity (16) of 3 TiB", 2, 0, rc16,
       Join({{0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}, Bytes(20)})},
      {"read capacity (10), 4 KiB blocks", 2, 1, rc10, {0, 3, 0xFF, 0xFF, 0, 0, 0x10, 0}},
      {"test unit ready", 2, 0, {0, 0, 0, 0, 0, 0}, {}},
      {"report luns: LUN 0 alone", 2, 1, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0},
       Join({{0, 0, 0, 8}, Bytes(12)})},
      {"report luns: no well-known LUNs", 2, 1, {0xA0, 0, 1, 0, 0, 0, 0, 0, 0, 255, 0, 0}, Bytes(8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Finished done = Exec(c.adapter, c.target, c.cdb);
    ASSERT_EQ(done.status, SS_COMP);
    EXPECT_EQ(done.srb.SRB_HaStat, HASTAT_OK);
    EXPECT_EQ(done.srb.SRB_TargStat, STATUS_GOOD);
    EXPECT_EQ(Head(done.buffer, c.data.size()), c.data);
    EXPECT_EQ(done.buffer[c.data.size()], Untouched);
  }
}

TEST_F(NvmeTest, OtherCommandsAndPagesAreIllegalRequests) {
  struct Case {
    const char* what;
    Bytes cdb;
    std::uint8_t asc;
  };
  const Case cases[] = {
      {"READ (10)", {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0x20},
      {"WRITE (10)", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0x20},
      {"MODE SENSE (6)", {0x1A, 0, 0x3F, 0, 255, 0}, 0x20},
      {"block limits page", {0x12, 1, 0xB0, 0, 255, 0}, 0x24},
      {"a page without EVPD", {0x12, 0, 0x80, 0, 255, 0}, 0x24},
      {"CMDDT", {0x12, 2, 0, 0, 255, 0}, 0x24},
      {"GET LBA STATUS", {0x9E, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, 0x24},
      {"read capacity (10) of an address", {0x25, 0, 0, 0, 0, 1, 0, 0, 0, 0}, 0x24},
      {"report luns, no room for a LUN", {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 15, 0, 0}, 0x24}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Finished done = Exec(2, 0, c.cdb);
    EXPECT_EQ(done.status, SS_ERR);
    EXPECT_EQ(done.srb.SRB_HaStat, HASTAT_OK);
    EXPECT_EQ(done.srb.SRB_TargStat, STATUS_CHKCOND);
    // Fixed format, as much as SRB_SenseLen (14) asks.
    EXPECT_EQ(Bytes(done.srb.SenseArea, done.srb.SenseArea + 15),
              (Bytes{0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, c.asc, 0, 0}));
    EXPECT_EQ(done.buffer, Bytes(255, Untouched));
  }
}

TEST_F(NvmeTest, ControllerOrNamespaceThatLeavesIsAnEmptyTarget) {
  const Bytes std36 = {0x12, 0, 0, 0, 36, 0};
  struct Case {
    const char* how;
    std::function<void()> leave;
    std::uint8_t stays;  // a target of adapter 2 that still answers, or 0xFF
  };
  const Case cases[] = {
      {"controller removed", [this] { tree.RemoveController(0); }, 0xFF},
      {"controller being deleted", [this] { tree.SetControllerState(0, "deleting (no IO)"); }, 0xFF},
      {"controller starting to be deleted", [this] { tree.SetControllerState(0, "deleting"); },
       0xFF},
      {"controller dead", [this] { tree.SetControllerState(0, "dead"); }, 0xFF},
      {"namespace removed",
       [this] { std::filesystem::remove_all(tree.roots().sysfs / "class/nvme/nvme0/nvme0n1"); }, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    tree.RemoveController(0);
    tree.AddController(Pcie);
    ASSERT_EQ(Exec(2, 0, std36).status, SS_COMP);
    c.leave();
    EXPECT_EQ(DeviceType(2, 0), SS_NO_DEVICE);
    SRB disk = Request(SC_GET_DISK_INFO, 2, 0);
    EXPECT_EQ(linux_->GetDiskInfo(disk.SRB_HaId, disk), SS_NO_DEVICE);
    const Finished gone = Exec(2, 0, std36);
    EXPECT_EQ(gone.status, SS_ERR);
    EXPECT_EQ(gone.srb.SRB_HaStat, HASTAT_SEL_TO);
    EXPECT_EQ(gone.buffer, Bytes(255, Untouched));
    if (c.stays != 0xFF) {
      EXPECT_EQ(Exec(2, c.stays, std36).status, SS_COMP);
    }
    // The adapters keep their numbers and names.
    EXPECT_EQ(linux_->AdapterCount(), 5);
    SRB adapter = Request(SC_HA_INQUIRY, 2, 0);
    EXPECT_EQ(linux_->HostAdapterInquiry(adapter.SRB_HaId, adapter), SS_COMP);
    EXPECT_EQ(adapter.HA_Identifier[0], 'p');
    EXPECT_EQ(Exec(3, 8, std36).status, SS_COMP);
  }
}

}  // namespace
}  // namespace sgtest
