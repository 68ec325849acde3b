#include <gtest/gtest.h>
#include "fake_storage.h"
#include "wnaspi32/sim/bus_file.h"
#include "wnaspi32/windows/storage_structures.h"
using namespace wnaspi32;
TEST(FakeStorage, Probe) {
  std::string error;
  auto s = fake_windows::LoadFakeStorage(BUSVIEW_EXAMPLES "/workstation.json", fake_windows::Rights::Administrator, error);
  ASSERT_TRUE(s) << error;
  auto o = s->Open("\\\\.\\Scsi0:", windows::Access::None);
  ASSERT_TRUE(o.device) << o.error;
  auto p = o.device->Control(windows::IoctlScsiGetInquiryData, {}, 65536);
  ASSERT_TRUE(p->Wait(std::chrono::milliseconds(100)));
  auto r = p->Result();
  EXPECT_EQ(r.error, 0u);
  for (auto b : r.output) printf("%02x ", b);
  printf("\n");
}
#include "wnaspi32/windows/windows_backend.h"
TEST(FakeStorage, Probe2) {
  std::string error;
  auto s = fake_windows::LoadFakeStorage(BUSVIEW_EXAMPLES "/workstation.json", fake_windows::Rights::Administrator, error);
  auto b = MakeWindowsBackend(s);
  EXPECT_EQ(b->AdapterCount(), 2);
}
