// End-to-end checks in the lab's guest: the real window on the real layer
// and the kernel's SCSI devices, against what lsscsi, sg_inq and sg_readcap
// say about the same devices (gathered by collect-peers.sh into LAB_PEERS)
// and against the QEMU properties of the scenario.
//
// Bus.*           any bus, run as root
// TwoAdapters.*   scenario two-adapters
// Unprivileged.*  scenario two-adapters, run as nobody
// BigDisk.*       scenario big-disk
// Raid.*          scenario raid
// Desktop.*       scenario desktop
// Nvme.*          scenario nvme
// NvmeVpd.*       scenario nvme, as root and as nobody
// Faults.*        scenario faults, with LAB_FAULTS set
//
// With --print the program shows the window's panes after a full survey
// (every adapter selected, every answering target displayed in detail)
// instead of running the checks.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "busview_window.h"
#include "expected_panes.h"
#include "peer_view.h"
#include "ui/qt/application.h"
#include "win32_stand_ins/buffer_handles.h"
#include "wnaspi32.h"

namespace lab {
namespace {

const PeerView& Peers() {
  static const PeerView view = [] {
    const char* dir = std::getenv("LAB_PEERS");
    return ReadPeerView(dir ? dir : "/tmp/lab-peers");
  }();
  return view;
}

const std::vector<AspiAdapter>& Adapters() {
  static const std::vector<AspiAdapter> adapters = ExpectedAdapters(Peers());
  return adapters;
}

int AdapterIndexOf(const PeerDevice& device) {
  const auto& adapters = Adapters();
  for (std::size_t i = 0; i < adapters.size(); ++i)
    if (adapters[i].nvme == device.nvme && adapters[i].host == device.host &&
        adapters[i].channel == device.channel)
      return static_cast<int>(i);
  return -1;
}

// Where the window finds `device`.
Unit UnitOf(const PeerDevice& device) {
  return {.adapter = AdapterIndexOf(device), .target = static_cast<std::int32_t>(device.target),
          .lun = static_cast<std::uint8_t>(device.lun)};
}

// The devices the window can reach: LUN 0 at targets 0-7 of adapters 0-9.
std::vector<const PeerDevice*> ReachableDevices() {
  std::vector<const PeerDevice*> devices;
  for (const auto& device : Peers().devices) {
    const int index = AdapterIndexOf(device);
    if (device.lun == 0 && device.target < 8 && index >= 0 && index < 10)
      devices.push_back(&device);
  }
  return devices;
}

// The disk's BIOS drive is the one that read its signature; without one
// (or with two alike) the kernel's translated geometry stands.
std::optional<DiskView> ExpectedDisk(const PeerDevice& device) {
  const int type = DeviceTypeOfLsscsiName(device.typeName);
  if (type != 0 && type != 7) return std::nullopt;
  if (device.mbrSignature && *device.mbrSignature != 0) {
    const auto drives = ReadEddDrives();
    const auto same = [&](const EddDrive& d) { return d.mbrSignature == *device.mbrSignature; };
    if (std::count_if(drives.begin(), drives.end(), same) == 1) {
      const EddDrive& drive = *std::find_if(drives.begin(), drives.end(), same);
      return DiskView{drive.number, drive.legacyMaxHead + 1, drive.legacySectorsPerTrack};
    }
  }
  if (device.geometry) return DiskView{std::nullopt, device.geometry->heads, device.geometry->sectors};
  return std::nullopt;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool AnyStartsWith(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.starts_with(prefix); });
}

void ExpectAdapterPaneAndLists() {
  ASSERT_FALSE(Adapters().empty()) << "lsscsi saw no SCSI host";
  EXPECT_EQ(HostAdapterPaneLines(), HostAdapterPane(Adapters()));
  EXPECT_EQ(AdapterListItems(), AdapterItems(Adapters()));
  for (std::size_t i = 0; i < Adapters().size() && i < 10; ++i) {
    SCOPED_TRACE("adapter " + std::to_string(i));
    const TargetList list = SelectAdapter(static_cast<int>(i));
    const auto expected = TargetItems(Peers(), Adapters()[i]);
    EXPECT_EQ(list.items, expected);
    EXPECT_EQ(list.text, expected.empty() ? std::string{} : expected.front());
  }
}

// --- any bus, as root ------------------------------------------------------

TEST(Bus, HostAdapterPaneAdapterListAndTargetListsFollowTheKernelsHosts) {
  ExpectAdapterPaneAndLists();
}

TEST(Bus, SimpleDisplayShowsEveryDeviceAsSgInqSeesIt) {
  EXPECT_EQ(DisplaySimple(), SimpleDisplay(Peers(), Adapters()));
}

TEST(Bus, DetailedDisplayOfEveryDeviceMatchesSgInqAndSgReadcap) {
  const auto devices = ReachableDevices();
  ASSERT_FALSE(devices.empty());
  for (const PeerDevice* device : devices) {
    SCOPED_TRACE(device->Address());
    const Unit unit = UnitOf(*device);
    EXPECT_EQ(DisplayDetailed(unit),
              DetailedDisplay(static_cast<unsigned>(unit.adapter), *device, device->inquiry,
                              ExpectedDisk(*device)));
  }
}

// --- two adapters ----------------------------------------------------------

TEST(TwoAdapters, AdaptersAreTheLsiAndTheVirtioController) {
  EXPECT_EQ(AdapterListItems(), (std::vector<std::string>{"0 : sym53c8xx", "1 : virtio_scsi"}));
}

// The -device properties the lab gave each device.
struct QemuDevice {
  int adapter;
  int target;
  const char* type;
  const char* vendor;
  const char* product;
  const char* revision;
};
const QemuDevice TwoAdapterDevices[] = {
    {0, 0, "ＨＤＤ", "BVLAB", "FIRST DISK      ", "2.5"},
    {0, 2, "ＨＤＤ", "BVLAB", "SECOND DISK     ", "1.0"},
    {0, 3, "ＣＤ－ＲＯＭ", "QEMU    ", "QEMU CD-ROM     ", "2.5+"},
    {1, 1, "ＨＤＤ", "BVLAB", "VIRTIO DISK     ", "0.9"},
    {1, 5, "ＣＤ－ＲＯＭ", "QEMU    ", "QEMU CD-ROM     ", "2.5+"},
};

TEST(TwoAdapters, DevicesShowTheirQemuProperties) {
  const auto pane = DisplaySimple();
  for (const QemuDevice& device : TwoAdapterDevices) {
    const std::string header = "HostNo " + std::to_string(device.adapter) + ",ID " +
                               std::to_string(device.target) + " の装置";
    SCOPED_TRACE(header);
    const auto at = std::find(pane.begin(), pane.end(), header);
    ASSERT_NE(at, pane.end());
    ASSERT_GE(pane.end() - at, 6);
    // QEMU pads vendor and product with blanks and ends a short revision with NUL.
    std::string vendor = device.vendor;
    vendor.resize(8, ' ');
    EXPECT_EQ(at[1], Labelled("ASPIのDevice Type", 17, device.type));
    EXPECT_EQ(at[2], Labelled("SCSIのInquiry ", 14, device.type));
    EXPECT_EQ(at[3], Labelled("ベンダＩＤ", 10, vendor));
    EXPECT_EQ(at[4], Labelled("プロダクトＩＤ", 14, device.product));
    EXPECT_EQ(at[5], Labelled("プロダクト版数", 14, device.revision));
  }
}

// Disks at LSI 0 and virtio 1 carry a signature the BIOS read; LSI 2 is
// blank; CD-ROMs are no INT 13h units.
TEST(TwoAdapters, DisksShowTheirBiosDriveOrTheirGeometry) {
  ASSERT_TRUE(std::filesystem::exists("/sys/firmware/edd")) << "booted without BIOS disk data";
  struct Case {
    int adapter;
    int target;
    bool driveLine;
    bool geometryLines;
  };
  const Case cases[] = {
      {0, 0, true, true}, {0, 2, false, true}, {0, 3, false, false}, {1, 1, true, true}, {1, 5, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("adapter " + std::to_string(c.adapter) + " target " + std::to_string(c.target));
    const auto pane = DisplayDetailed({.adapter = c.adapter, .target = c.target, .lun = 0});
    EXPECT_EQ(AnyStartsWith(pane, "INT13H UNIT (OS管理) (ドライブ番号 = 8"), c.driveLine);
    EXPECT_EQ(AnyStartsWith(pane, "ヘッド変換値"), c.geometryLines);
    EXPECT_EQ(AnyStartsWith(pane, "セクタ変換値"), c.geometryLines);
  }
}

TEST(TwoAdapters, EmptyCdRomGivesOnlyTheBlankLineForItsCapacity) {
  const PeerDevice* cd = DeviceAt(Peers(), Adapters().at(1), 5);
  ASSERT_NE(cd, nullptr);
  EXPECT_FALSE(cd->capacity) << "sg_readcap read the capacity of an empty drive";
  const auto pane = DisplayDetailed({.adapter = 1, .target = 5, .lun = 0});
  ASSERT_FALSE(pane.empty());
  EXPECT_EQ(pane.back(), " ");
  EXPECT_FALSE(Contains(pane, "Read Capacity情報"));
}

// --- the same bus, unprivileged --------------------------------------------

// The kernel's copy, as the layer reads it when the sg node is closed to it.
// An NVMe namespace's data is translated from sysfs for root too.
std::vector<std::uint8_t> KernelInquiry(const PeerDevice& device) {
  return device.nvme ? device.inquiry : ReadSysfsInquiry(device);
}

PeerView KernelView() {
  PeerView view = Peers();
  for (auto& device : view.devices) device.inquiry = KernelInquiry(device);
  return view;
}

TEST(Unprivileged, RunsWithoutAccessToAnySgNode) {
  ASSERT_NE(geteuid(), 0u);
  for (const auto& device : Peers().devices) {
    if (device.nvme) continue;
    SCOPED_TRACE(device.sgNode);
    const int fd = open(device.sgNode.c_str(), O_RDWR | O_NONBLOCK);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(errno, EACCES);
    if (fd >= 0) close(fd);
  }
}

TEST(Unprivileged, HostAdapterPaneAdapterListAndTargetListsAreAsForRoot) {
  ExpectAdapterPaneAndLists();
}

// The kernel keeps the INQUIRY data with each NUL of bytes 8-35 made a blank.
TEST(Unprivileged, KernelsInquiryCopyIsSgInqsWithBlanksForNuls) {
  for (const auto& device : Peers().devices) {
    if (device.nvme) continue;
    SCOPED_TRACE(device.Address());
    std::vector<std::uint8_t> expected(device.inquiry.begin(), device.inquiry.begin() + 36);
    for (std::size_t i = 8; i < 36; ++i)
      if (expected[i] == 0) expected[i] = ' ';
    auto copy = ReadSysfsInquiry(device);
    ASSERT_GE(copy.size(), 36u);
    copy.resize(36);
    EXPECT_EQ(copy, expected);
  }
}

TEST(Unprivileged, SimpleDisplayShowsTheKernelsInquiryCopy) {
  const PeerView kernel = KernelView();
  EXPECT_EQ(DisplaySimple(), SimpleDisplay(kernel, Adapters()));
}

TEST(Unprivileged, DetailedDisplayStillHasTheInquiryAndCapacityLines) {
  const PeerView kernel = KernelView();
  for (const PeerDevice* device : ReachableDevices()) {
    SCOPED_TRACE(device->Address());
    const Unit unit = UnitOf(*device);
    const auto pane = DisplayDetailed(unit);
    const auto expected =
        DetailedDisplay(static_cast<unsigned>(unit.adapter), *device, KernelInquiry(*device),
                        std::nullopt);
    // Header and type first; the disk lines (if any) stand between.
    ASSERT_GE(pane.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(pane.begin(), pane.begin() + 2),
              std::vector<std::string>(expected.begin(), expected.begin() + 2));
    EXPECT_EQ(std::vector<std::string>(pane.end() - static_cast<long>(expected.size() - 2), pane.end()),
              std::vector<std::string>(expected.begin() + 2, expected.end()));
  }
}

// --- a disk beyond READ CAPACITY(10) ---------------------------------------

TEST(BigDisk, ReadCapacity10SaysAllOnesAndTheDisplayShowsThreeTebibytes) {
  const PeerDevice* big = DeviceAt(Peers(), Adapters().at(0), 0);
  ASSERT_NE(big, nullptr);
  ASSERT_TRUE(big->capacity);
  EXPECT_EQ(big->capacity->lastLba, 0xFFFFFFFFu);
  EXPECT_EQ(big->capacity->blockLength, 512u);
  ASSERT_TRUE(big->capacity16);
  EXPECT_EQ((big->capacity16->lastLba + 1) * big->capacity16->blockLength, 3ull << 40);
  // The report moves on to READ CAPACITY(16): 3 TiB, not the 2^32 blocks
  // that (10) can name.
  const auto pane = DisplayDetailed({.adapter = 0, .target = 0, .lun = 0});
  EXPECT_TRUE(Contains(pane, Labelled("容量(ﾒｶﾞﾊﾞｲﾄ)", 13, "3,145,728.00")));
  EXPECT_TRUE(Contains(pane, Labelled("セクタサイズ", 12, "512")));
}

// --- MegaRAID, PVSCSI and AM53C974 -----------------------------------------

TEST(Raid, MegaraidDevicesOnChannel2AreReachableThroughTheirOwnAdapter) {
  std::vector<std::string> raidDevices;
  for (const auto& device : Peers().devices)
    if (device.host == Adapters().at(0).host) raidDevices.push_back(device.Address());
  EXPECT_EQ(raidDevices, (std::vector<std::string>{"0:2:0:0", "0:2:3:0"}));
  ASSERT_EQ(Adapters().at(0).channel, 2u);
  EXPECT_EQ(SelectAdapter(0).items, (std::vector<std::string>{"0", "3"}));
  EXPECT_TRUE(Contains(DisplayDetailed({.adapter = 0, .target = 3, .lun = 0}),
                       Labelled("プロダクトＩＤ", 14, "RAID DISK 3     ")));
}

TEST(Raid, EveryDriverGetsAnAdapterWithItsTargets) {
  EXPECT_EQ(AdapterListItems(),
            (std::vector<std::string>{"0 : megaraid_sas", "1 : am53c974", "2 : vmw_pvscsi"}));
  struct Case {
    int adapter;
    std::vector<std::string> targets;
  };
  const Case cases[] = {{0, {"0", "3"}}, {1, {"1"}}, {2, {"2", "6"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("adapter " + std::to_string(c.adapter));
    EXPECT_EQ(SelectAdapter(c.adapter).items, c.targets);
  }
}

// --- AHCI, ATAPI, USB Bulk-Only and UAS ----------------------------------

// One host per AHCI port, then the two USB hosts in the order their
// devices came up.
TEST(Desktop, AdaptersAreSixAhciPortsThenTheStickAndTheUasDisk) {
  const auto items = AdapterListItems();
  ASSERT_EQ(items.size(), 8u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(items[i], std::to_string(i) + " : ahci");
  std::vector<std::string> usb = {items[6].substr(4), items[7].substr(4)};
  std::sort(usb.begin(), usb.end());
  EXPECT_EQ(usb, (std::vector<std::string>{"uas", "usb-storage"}));
}

// What the kernel's ATA translation and the ATAPI drive answer, and the
// SATA disk as the BIOS's first drive.
TEST(Desktop, SataDiskAndAtapiDriveShowWhatTheirTranslationAnswers) {
  ASSERT_TRUE(std::filesystem::exists("/sys/firmware/edd")) << "booted without BIOS disk data";
  struct Case {
    int adapter;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {0,
       {"INT13H UNIT (OS管理) (ドライブ番号 = 80)", Labelled("ベンダＩＤ", 10, "ATA     "),
        Labelled("プロダクトＩＤ", 14, "BVLAB SATA DISK "), Labelled("プロダクト版数", 14, "7.1 "),
        Labelled("容量(ﾒｶﾞﾊﾞｲﾄ)", 13, "1,024.00")}},
      {1,
       {Labelled("ASPIのDevice Type", 17, "ＣＤ－ＲＯＭ"), "メディア交換可能",
        Labelled("セクタサイズ", 12, "2048"), Labelled("容量(ﾒｶﾞﾊﾞｲﾄ)", 13, "48.00")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("adapter " + std::to_string(c.adapter));
    const auto pane = DisplayDetailed({.adapter = c.adapter, .target = 0, .lun = 0});
    for (const auto& line : c.lines) EXPECT_TRUE(Contains(pane, line)) << line;
  }
}

// --- NVMe SSDs -----------------------------------------------------------

TEST(Nvme, AdaptersAreTheSixAhciPortsThenOnePerController) {
  const auto items = AdapterListItems();
  ASSERT_EQ(items.size(), 8u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(items[i], std::to_string(i) + " : ahci");
  EXPECT_EQ(items[6], "6 : pcie");
  EXPECT_EQ(items[7], "7 : pcie");
}

// The subsystem's controller has namespace 1 (1 GiB in 4 KiB blocks) and 2
// (3 TiB, beyond READ CAPACITY (10)), the other controller namespace 1 (512
// MiB); which of the two the kernel numbers first varies.
TEST(Nvme, NamespacesSitAtTheirTargetsWithTheirBlockSizesAndCapacities) {
  const int first = SelectAdapter(6).items.size() == 2 ? 6 : 7;
  EXPECT_EQ(SelectAdapter(first).items, (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(SelectAdapter(13 - first).items, (std::vector<std::string>{"0"}));
  struct Case {
    int adapter, target;
    const char* blockSize;
    const char* megabytes;
  };
  const Case cases[] = {
      {first, 0, "4096", "1,024.00"},
      {first, 1, "512", "3,145,728.00"},
      {13 - first, 0, "512", "512.00"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("adapter " + std::to_string(c.adapter) + " target " + std::to_string(c.target));
    const auto pane = DisplayDetailed({.adapter = c.adapter, .target = c.target, .lun = 0});
    EXPECT_TRUE(Contains(pane, Labelled("ベンダＩＤ", 10, "NVMe    ")));
    EXPECT_TRUE(Contains(pane, Labelled("プロダクトＩＤ", 14, "QEMU NVMe Ctrl  ")));
    EXPECT_TRUE(Contains(pane, Labelled("セクタサイズ", 12, c.blockSize)));
    EXPECT_TRUE(Contains(pane, Labelled("容量(ﾒｶﾞﾊﾞｲﾄ)", 13, c.megabytes)));
  }
  const PeerDevice* big = DeviceAt(Peers(), Adapters().at(first), 1);
  ASSERT_NE(big, nullptr);
  ASSERT_TRUE(big->capacity);
  EXPECT_EQ(big->capacity->lastLba, 0xFFFFFFFFu) << "sg_readcap's READ CAPACITY (10)";
}

// One page of vital product data, asked through the layer's two calls as
// any ASPI program asks; nothing when the request fails.
std::optional<std::vector<std::uint8_t>> AskVpdPage(const Unit& unit, std::uint8_t page) {
  static std::uint8_t buffer[255];
  SRB srb{};
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  srb.SRB_Target = static_cast<std::uint8_t>(unit.target);
  srb.SRB_Lun = unit.lun;
  srb.SRB_Flags = SRB_DIR_IN;
  srb.SRB_BufLen = sizeof buffer;
  srb.SRB_BufPointer = RegisterDataBuffer(buffer, sizeof buffer);
  srb.SRB_SenseLen = 14;
  srb.SRB_CDBLen = 6;
  const std::uint8_t cdb[6] = {0x12, 0x01, page, 0, sizeof buffer, 0};
  std::copy(cdb, cdb + 6, srb.CDBByte);
  SendASPI32Command(&srb);
  for (int waited = 0; waited < 1000; ++waited) {
    if (std::atomic_ref<std::uint8_t>(srb.SRB_Status).load() != SS_PENDING) break;
    usleep(10000);
  }
  if (srb.SRB_Status != SS_COMP) return std::nullopt;
  const std::size_t length = std::min<std::size_t>(4 + (buffer[2] << 8 | buffer[3]), sizeof buffer);
  return std::vector<std::uint8_t>(buffer, buffer + length);
}

// sg3_utils translates as the layer does for namespaces without identifiers
// of their own (the kernel shows none of QEMU's): the controller's serial
// number, and a T10 vendor ID designator for the controller.
TEST(NvmeVpd, UnitSerialNumberAndDeviceIdentificationAreSgVpds) {
  int namespaces = 0;
  for (const PeerDevice& device : Peers().devices) {
    if (!device.nvme) continue;
    SCOPED_TRACE(device.Address());
    ++namespaces;
    ASSERT_FALSE(device.unitSerialNumber.empty());
    ASSERT_FALSE(device.deviceIdentification.empty());
    EXPECT_EQ(AskVpdPage(UnitOf(device), 0x80), device.unitSerialNumber);
    EXPECT_EQ(AskVpdPage(UnitOf(device), 0x83), device.deviceIdentification);
  }
  EXPECT_EQ(namespaces, 3);
}

// --- devices that fail -----------------------------------------------------

// LAB_FAULTS names each faulty device with the statuses busview-report
// --json gave its device type, disk information, INQUIRY and READ CAPACITY
// ("1:0:0:0=1444 1:0:1:0=1411"): the window must show what the requests
// that completed say, and every other device as the peers saw it before
// (unprivileged: the kernel's INQUIRY copy, and no disk lines).
TEST(Faults, WindowShowsWhatTheRequestsThatCompletedSay) {
  const bool root = geteuid() == 0;
  std::istringstream faults(std::getenv("LAB_FAULTS") ? std::getenv("LAB_FAULTS") : "");
  std::map<std::string, std::string> statuses;
  for (std::string word; faults >> word;)
    statuses[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
  PeerView view = root ? Peers() : KernelView();
  for (PeerDevice& device : view.devices) {
    const std::string answered =
        statuses.count(device.Address()) ? statuses[device.Address()] : "1111";
    if (answered[2] != '1') device.inquiry.clear();
    if (answered[3] != '1') device.capacity = device.capacity16 = std::nullopt;
  }
  EXPECT_EQ(DisplaySimple(), SimpleDisplay(view, Adapters()));
  for (const PeerDevice& device : view.devices) {
    const int index = AdapterIndexOf(device);
    if (device.lun != 0 || device.target >= 8 || index < 0 || index >= 10) continue;
    SCOPED_TRACE(device.Address());
    const bool diskAnswered =
        root && (!statuses.count(device.Address()) || statuses[device.Address()][1] == '1');
    EXPECT_EQ(DisplayDetailed(UnitOf(device)),
              DetailedDisplay(static_cast<unsigned>(index), device, device.inquiry,
                              diskAnswered ? ExpectedDisk(device) : std::nullopt));
  }
}

// --- the full survey, printed ----------------------------------------------

void PrintLines(const char* title, const std::vector<std::string>& lines) {
  std::cout << "== " << title << "\n";
  for (const auto& line : lines) std::cout << line << "\n";
}

int PrintFullSurvey() {
  PrintLines("host adapter pane", HostAdapterPaneLines());
  PrintLines("simple display", DisplaySimple());
  const auto adapters = AdapterListItems();
  for (std::size_t a = 0; a < adapters.size() && a < 10; ++a) {
    for (const auto& target : SelectAdapter(static_cast<int>(a)).items) {
      const std::string title = "detailed display, adapter " + std::to_string(a) + ", target " + target;
      const Unit unit{.adapter = static_cast<int>(a), .target = std::stoi(target), .lun = 0};
      PrintLines(title.c_str(), DisplayDetailed(unit));
    }
  }
  return 0;
}

}  // namespace
}  // namespace lab

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const bool print = argc > 1 && std::strcmp(argv[1], "--print") == 0;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  CreateBusviewWindows();
  const int status = print ? lab::PrintFullSurvey() : RUN_ALL_TESTS();
  DestroyBusviewWindows();
  return status;
}
