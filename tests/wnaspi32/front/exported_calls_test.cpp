// The two exported calls around a backend that throws: nothing escapes into
// the program.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "front_fixture.h"

namespace fronttest {
namespace {

class ThrowingBackend final : public wnaspi32::Backend {
 public:
  std::uint32_t SupportInfo() override { throw std::bad_alloc(); }
  int AdapterCount() override { return 1; }
  std::uint8_t HostAdapterInquiry(int, SRB&) override { throw std::runtime_error("inquiry"); }
  std::uint8_t GetDeviceType(int, SRB&) override { throw 7; }
  std::uint8_t GetDiskInfo(int, SRB&) override { throw std::bad_alloc(); }
  std::uint8_t ExecScsiCommand(int, SRB&, std::uint8_t*, std::uint32_t) override { throw 7; }
  std::optional<std::uint8_t> DeviceTypeOf(int, const SRB&) override { throw std::bad_alloc(); }
};

TEST(ExportedCallsTest, WhatABackendThrowsBecomesSsErr) {
  wnaspi32::ReplaceBackend(std::make_unique<ThrowingBackend>());
  EXPECT_EQ(GetASPI32SupportInfo(), std::uint32_t{SS_ERR} << 8);
  // INQUIRY reaches the command itself; SEND KEY or MAINTENANCE IN first
  // asks the device's type.
  for (const Bytes& cdb : {Bytes{0x12, 0, 0, 0, 36, 0}, Bytes{0xA3, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0}}) {
    for (const std::uint8_t command :
         {SC_HA_INQUIRY, SC_GET_DEV_TYPE, SC_GET_DISK_INFO, SC_EXEC_SCSI_CMD}) {
      SRB srb = Command(0, cdb);
      srb.SRB_Cmd = command;
      EXPECT_EQ(SendASPI32Command(&srb), SS_ERR) << int{command};
      EXPECT_EQ(srb.SRB_Status, SS_ERR);
    }
  }
  wnaspi32::ReplaceBackend(wnaspi32::MakeNoAdaptersBackend());
}

}  // namespace
}  // namespace fronttest
