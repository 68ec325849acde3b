// Requests no part of busview makes, as another program may send them to
// the simulated bus: the front's checks of direction and buffer, logical
// units other than 0, and READ CAPACITY(16)'s four-byte allocation length.
#include <cstdio>
#include <string>
#include <vector>

#include "../../guarded_buffer.h"
#include "sim_fixture.h"

namespace {

using namespace simtest;
using Bytes = std::vector<std::uint8_t>;

// INQUIRY data 00h, 01h, ... 5Fh: every byte tells where it came from.
Bytes Numbered(std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) {
    char two[4];
    std::snprintf(two, sizeof two, "%02X ", b);
    text += two;
  }
  return text;
}

TEST(SimFront, DirectionBufferLogicalUnitAndAllocationLength) {
  UseBus(R"({"adapters": [{"targets": [{"id": 0, "inquiry": ")" + Hex(Numbered(96)) +
         R"(", "capacity": {"last_lba": 5860533167, "block_length": 4096}}]}]})");
  Bytes missingUnit(36, 0);
  missingUnit[0] = 0x7F;  // qualifier 3: no logical unit there
  missingUnit[4] = 31;
  Bytes capacity16(32, 0);
  const Bytes lastLbaAndLength = {0, 0, 0, 1, 0x5D, 0x50, 0xA3, 0xAF, 0, 0, 0x10, 0};
  std::copy(lastLbaAndLength.begin(), lastLbaAndLength.end(), capacity16.begin());
  const Bytes inquiry36 = {0x12, 0, 0, 0, 36, 0};

  struct Case {
    const char* name;
    std::uint8_t flags, lun;
    Bytes cdb;
    std::uint32_t bufLen, registered;  // registered 0: no buffer
    std::uint8_t status;
    Bytes written;
  };
  const Case cases[] = {
      {"data out", SRB_DIR_OUT, 0, inquiry36, 40, 40, SS_ERR, {}},
      {"no data, no buffer", 0, 0, {0x12, 0, 0, 0, 0, 0}, 0, 0, SS_COMP, {}},
      {"length past the buffer", 0, 0, {0x12, 0, 0, 0, 200, 0}, 200, 81, SS_COMP, Numbered(81)},
      {"length without a buffer", 0, 0, inquiry36, 40, 0, SS_ERR, {}},
      {"inquiry to unit 1", 0, 1, inquiry36, 40, 40, SS_COMP, missingUnit},
      {"inquiry to unit 7", 0, 7, inquiry36, 40, 40, SS_COMP, missingUnit},
      {"read capacity to unit 1", 0, 1, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, 8, SS_ERR, {}},
      {"read capacity(16), allocation 00010000h", 0, 0,
       {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, 32, 32, SS_COMP, capacity16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedBuffer buffer(c.registered);
    SRB srb = TargetRequest(SC_EXEC_SCSI_CMD, 0, 0);
    srb.SRB_Flags = c.flags;
    srb.SRB_Lun = c.lun;
    srb.SRB_BufLen = c.bufLen;
    srb.SRB_BufPointer = buffer.handle;
    srb.SRB_SenseLen = 14;
    srb.SRB_CDBLen = static_cast<std::uint8_t>(c.cdb.size());
    std::copy(c.cdb.begin(), c.cdb.end(), srb.CDBByte);
    EXPECT_EQ(SendASPI32Command(&srb), c.status);
    EXPECT_EQ(buffer.Written(), c.written);
  }
}

}  // namespace
