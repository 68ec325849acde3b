// The layer on Linux: one line on standard error when it finds nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../linux/fake_sysfs.h"
#include "../linux/scripted_io.h"
#include "wnaspi32/linux_platform/platform_backend.h"

namespace sgtest {
namespace {

TEST(NoAdaptersTest, OneLineOnStandardErrorPerRun) {
  struct Case {
    bool scsiHost, nvmeController;
  };
  for (const Case c : {Case{false, false}, Case{true, false}, Case{false, true}}) {
    SCOPED_TRACE(testing::Message() << c.scsiHost << c.nvmeController);
    FakeTree tree;
    if (c.scsiHost) tree.AddHost(0, "ahci");
    if (c.nvmeController) tree.AddController({.number = 0});
    const bool none = !c.scsiHost && !c.nvmeController;
    testing::internal::CaptureStderr();
    auto backend = wnaspi32::MakePlatformBackend({tree.roots(), std::make_shared<ScriptedIo>()});
    backend->SupportInfo();
    backend->AdapterCount();
    EXPECT_EQ(backend->SupportInfo(), none ? 0x0000E800u : 0x0101u);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, none ? "wnaspi32: no SCSI host adapter under " +
                               (tree.roots().sysfs / "class/scsi_host").string() +
                               ", no NVMe controller under " +
                               (tree.roots().sysfs / "class/nvme").string() + "\n"
                         : "");
  }
}

}  // namespace
}  // namespace sgtest
