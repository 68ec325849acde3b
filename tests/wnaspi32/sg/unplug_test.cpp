// Devices that leave, entries that cannot be read, a door that throws and a
// device that never answers: the layer answers every request and lives on.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "sg_fixture.h"
#include "wnaspi32/linux/host_status.h"
#include "wnaspi32/linux_platform/platform_backend.h"

namespace sgtest {
namespace {

const Bytes Inquiry36 = {0x12, 0, 0, 0, 36, 0};
const Bytes ReadCapacity10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const FakeDevice Disk = {.address = "0:0:0:0", .type = 0, .inquiry = MakeInquiry(0, "A", "B", "C"),
                         .sg = "sg0", .block = "sda", .sectors = 1 << 20};

class UnplugTest : public SgBackendTest {
 protected:
  void SetUp() override {
    tree.AddHost(0, "virtio_scsi");
    tree.AddDevice(Disk);
    tree.AddDevice({.address = "0:0:1:0", .type = 0, .sg = "sg1"});
  }
  std::uint8_t DeviceType(std::uint8_t target) {
    SRB srb = Request(SC_GET_DEV_TYPE, 0, target);
    return Backend().GetDeviceType(srb.SRB_HaId, srb);
  }
};

TEST_F(UnplugTest, DeviceThatLeavesDuringACommandIsAnEmptyTarget) {
  const auto unplug = [this] { tree.RemoveDevice(Disk.address); };
  std::thread remover;
  const std::pair<const char*, ScriptedReply> cases[] = {
      {"i/o error", {.error = EIO, .meanwhile = unplug}},
      {"transport error", {.hostStatus = 0x07, .meanwhile = unplug}},
      {"check condition", {.status = STATUS_CHKCOND, .meanwhile = unplug}},
      {"no right to the node, nothing left in sysfs", {.error = EACCES, .meanwhile = unplug}},
      {"transport error, removal noticed a moment later",
       {.hostStatus = 0x07, .meanwhile = [this, &remover] {
          remover = std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            tree.RemoveDevice(Disk.address);
          });
        }}},
      {"state deleted", {.error = EIO, .meanwhile = [this] {
                           tree.ReplaceEntry(Disk.address, "state", "deleted\n");
                         }}},
  };
  for (const auto& [name, reply] : cases) {
    SCOPED_TRACE(name);
    tree.AddDevice(Disk);
    io->Script(tree.DevNode("sg0"), reply);
    const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40));
    if (remover.joinable()) remover.join();
    EXPECT_EQ(done.status, SS_ERR);
    EXPECT_EQ(done.srb.SRB_HaStat, HASTAT_SEL_TO);
    EXPECT_EQ(DeviceType(0), SS_NO_DEVICE);
    EXPECT_EQ(DeviceType(1), SS_COMP);
    tree.RemoveDevice(Disk.address);
  }
}

// A folder where a file should be fails its read with EISDIR, as a sysfs
// file of a device removed after the open fails with ENODEV. A file over
// 64 KiB is no attribute either, and a device whose state says it is on its
// way out is gone already.
TEST_F(UnplugTest, EntriesThatCannotBeReadAreNotThere) {
  const std::string mebibyte(1 << 20, ' ');
  std::string inquiry64k(Disk.inquiry.begin(), Disk.inquiry.end());
  inquiry64k.resize(64 * 1024, ' ');
  struct Case {
    const char* entry;
    std::optional<std::string> text;  // nothing: a folder
    Bytes cdb;
    std::uint8_t deviceType, commandStatus, haStat;
    bool refused = false;  // the state fails the disk information at once too
  };
  const Case cases[] = {
      {"type", {}, Inquiry36, SS_NO_DEVICE, SS_ERR, HASTAT_SEL_TO},
      {"inquiry", {}, Inquiry36, SS_COMP, SS_ERR, HASTAT_OK},
      {"block/sda/size", {}, ReadCapacity10, SS_COMP, SS_ERR, HASTAT_OK},
      {"block/sda/queue/logical_block_size", {}, ReadCapacity10, SS_COMP, SS_ERR, HASTAT_OK},
      {"block", "sda\n", ReadCapacity10, SS_COMP, SS_ERR, HASTAT_OK},
      {"scsi_generic", "sg0\n", Inquiry36, SS_COMP, SS_COMP, HASTAT_OK},  // from sysfs
      {"type", "0" + mebibyte, Inquiry36, SS_NO_DEVICE, SS_ERR, HASTAT_SEL_TO},
      {"inquiry", mebibyte, Inquiry36, SS_COMP, SS_ERR, HASTAT_OK},
      {"inquiry", inquiry64k, Inquiry36, SS_COMP, SS_COMP, HASTAT_OK},
      {"state", "running\n", Inquiry36, SS_COMP, SS_COMP, HASTAT_OK},
      // Still there, but the kernel takes no command for it.
      {"state", "offline\n", Inquiry36, SS_COMP, SS_ERR, HASTAT_SEL_TO, true},
      {"state", "cancel\n", Inquiry36, SS_NO_DEVICE, SS_ERR, HASTAT_SEL_TO},
      {"state", "deleted\n", Inquiry36, SS_NO_DEVICE, SS_ERR, HASTAT_SEL_TO},
  };
  io->Script(tree.DevNode("sg0"), {.error = EACCES});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " " + c.text.value_or("(a folder)").substr(0, 8));
    tree.AddDevice(Disk);
    tree.ReplaceEntry(Disk.address, c.entry, c.text);
    EXPECT_EQ(DeviceType(0), c.deviceType);
    const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, c.cdb, 40));
    EXPECT_EQ(done.status, c.commandStatus);
    EXPECT_EQ(done.srb.SRB_HaStat, c.haStat);
    SRB disk = Request(SC_GET_DISK_INFO, 0, 0);
    EXPECT_EQ(Backend().GetDiskInfo(disk.SRB_HaId, disk), c.refused ? SS_ERR : c.deviceType);
    tree.RemoveDevice(Disk.address);
  }
}

// A FIFO where an attribute should be would block a plain open until a
// writer came; the layer must not wait for one.
TEST_F(UnplugTest, FifoWhereAnAttributeShouldBeIsNotThere) {
  const auto type = tree.roots().sysfs / "bus/scsi/devices" / Disk.address / "type";
  std::filesystem::remove(type);
  ASSERT_EQ(mkfifo(type.c_str(), 0644), 0);
  auto asked = std::async(std::launch::async, [this] { return DeviceType(0); });
  if (asked.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    ADD_FAILURE() << "reading the FIFO waits for a writer";
    // A writer that comes and goes lets the blocked open return.
    const int writer = ::open(type.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  EXPECT_EQ(asked.get(), SS_NO_DEVICE);
}

TEST_F(UnplugTest, ThrowingDoorFailsTheCommandOnly) {
  io->Script(tree.DevNode("sg0"), {.throws = true});
  const Finished done = RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40));
  EXPECT_EQ(done.status, SS_ERR);
  EXPECT_EQ(done.buffer, Bytes(40, Untouched));
}

TEST_F(UnplugTest, DeviceThatNeverAnswersGetsAtMostFourCommands) {
  io->Script(tree.DevNode("sg0"), {.data = {7}, .hang = true});
  io->Script(tree.DevNode("sg1"), {.data = {8}});
  struct Sent {
    SRB srb;
    Bytes buffer = Bytes(40, Untouched);
    HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
  };
  std::vector<Sent> sent(5);
  std::vector<std::uint8_t> returned;
  for (Sent& s : sent) {
    s.srb = Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40);
    s.srb.SRB_Flags = SRB_EVENT_NOTIFY;
    s.srb.SRB_PostProc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(s.event));
    returned.push_back(Backend().ExecScsiCommand(s.srb.SRB_HaId, s.srb, s.buffer.data(), 40));
  }
  EXPECT_EQ(returned, Bytes({SS_PENDING, SS_PENDING, SS_PENDING, SS_PENDING, SS_ERR}));
  EXPECT_EQ(sent[4].srb.SRB_HaStat, HASTAT_TIMEOUT);
  EXPECT_EQ(sent[4].buffer, Bytes(40, Untouched));
  EXPECT_EQ(RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 1, Inquiry36, 40)).status, SS_COMP);

  io->Release();
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(WaitForSingleObject(sent[i].event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(LoadStatus(sent[i].srb), SS_COMP);
  }
  // Each answer gave its room back.
  EXPECT_EQ(RunScsi(Backend(), Request(SC_EXEC_SCSI_CMD, 0, 0, Inquiry36, 40)).status, SS_COMP);
  for (Sent& s : sent) CloseHandle(s.event);
}

}  // namespace
}  // namespace sgtest
