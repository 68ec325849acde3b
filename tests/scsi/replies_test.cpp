// The replies several answerers build, against the layouts the command sets
// publish: REPORT LUNS and READ CAPACITY (10) and (16) parameter data, and
// the four-byte header of a vital product data page.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "scsi/replies.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Head(const Bytes& bytes, std::size_t n) { return {bytes.begin(), bytes.begin() + n}; }

// REPORT LUNS with SELECT REPORT `select` and an allocation length.
Bytes ReportLuns(std::uint8_t select, std::uint32_t allocation) {
  Bytes cdb(12, 0);
  cdb[0] = 0xA0;
  cdb[2] = select;
  scsi::PutBigEndian(&cdb[6], allocation, 4);
  return cdb;
}

TEST(ReportLunsReplyTest, ListLengthReservedBytesAndEightBytesALun) {
  const std::vector<std::uint64_t> luns = {0, 5, 0x1234};
  struct Case {
    const char* what;
    Bytes cdb;
    std::optional<Bytes> reply;
  };
  const Bytes header = {0, 0, 0, 24, 0, 0, 0, 0};
  const Bytes entries = Join({Bytes(8, 0), {0, 5, 0, 0, 0, 0, 0, 0}, {0x12, 0x34, 0, 0, 0, 0, 0, 0}});
  const Case cases[] = {
      {"all LUNs", ReportLuns(0, 4096), Join({header, entries})},
      {"LUNs the target reaches", ReportLuns(2, 4096), Join({header, entries})},
      {"well-known LUNs only: none", ReportLuns(1, 4096), Bytes(8, 0)},
      {"cut to the allocation length, the list length still whole", ReportLuns(0, 20),
       Join({header, {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0}})},
      {"the least allocation length", ReportLuns(0, 16), Join({header, Bytes(8, 0)})},
      {"no room for one LUN", ReportLuns(0, 15), std::nullopt},
      {"block shorter than 12 bytes", Head(ReportLuns(0, 4096), 11), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(scsi::ReportLunsReply(c.cdb, luns), c.reply);
  }
  EXPECT_EQ(scsi::ReportLunsReply(ReportLuns(0, 4096), {}), Bytes(8, 0)) << "no LUN at all";
}

TEST(ReadCapacityDataTest, LastAddressAndBlockLengthBigEndian) {
  EXPECT_EQ(scsi::ReadCapacity10Data(0x003EB88F, 512), (Bytes{0, 0x3E, 0xB8, 0x8F, 0, 0, 2, 0}));
  // A last address past 32 bits says FFFFFFFFh: ask READ CAPACITY (16).
  EXPECT_EQ(scsi::ReadCapacity10Data(0x15D50A3AF, 4096), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x10, 0}));
  EXPECT_EQ(scsi::ReadCapacity10Data(0xFFFFFFFE, 512), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 2, 0}));
  EXPECT_EQ(scsi::ReadCapacity16Data(0x15D50A3AF, 512, 3),
            Join({{0, 0, 0, 1, 0x5D, 0x50, 0xA3, 0xAF, 0, 0, 2, 0, 0, 3}, Bytes(18, 0)}));
}

TEST(ReadCapacityReplyTest, WholeMediumOnlyCutToTheAllocationLength) {
  const Bytes rc10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const auto rc16 = [](std::uint8_t allocation) {
    return Bytes{0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, allocation, 0, 0};
  };
  const Bytes last16 = {0, 0, 0, 0, 0, 0, 0x07, 0xFF, 0, 0, 0x10, 0};  // 2048 blocks of 4 KiB
  struct Case {
    const char* what;
    Bytes cdb;
    std::optional<Bytes> reply;
  };
  const Case cases[] = {
      {"(10)", rc10, Bytes{0, 0, 0x07, 0xFF, 0, 0, 0x10, 0}},
      {"(16)", rc16(32), Join({last16, {0, 1}, Bytes(18, 0)})},
      {"(16) cut to its allocation length", rc16(12), last16},
      {"(10) of an address", {0x25, 0, 0, 0, 0, 1, 0, 0, 0, 0}, std::nullopt},
      {"(10) with PMI", {0x25, 0, 0, 0, 0, 0, 0, 0, 1, 0}, std::nullopt},
      {"(16) of an address", {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 32, 0, 0}, std::nullopt},
      {"(16) with PMI", {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 1, 0}, std::nullopt},
      {"another service action", {0x9E, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, std::nullopt},
      {"(10) block too short", Head(rc10, 9), std::nullopt},
      {"another command", {0x12, 0, 0, 0, 36, 0}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(scsi::ReadCapacityReply(c.cdb, 2048, 4096, 1), c.reply);
  }
}

TEST(VpdPageTest, PeripheralTypePageCodeAndTwoByteLength) {
  EXPECT_EQ(scsi::VpdPage(0x05, 0x80, Bytes{'A', 'B'}), (Bytes{0x05, 0x80, 0, 2, 'A', 'B'}));
  // Qualifier bits of the type stay out: the page is of a unit that is there.
  EXPECT_EQ(scsi::VpdPage(0x7F, 0x00, Bytes{}), (Bytes{0x1F, 0x00, 0, 0}));
  const Bytes page = scsi::VpdPage(0, 0x83, Bytes(300, 0xEE));
  EXPECT_EQ(Bytes(page.begin(), page.begin() + 5), (Bytes{0, 0x83, 0x01, 0x2C, 0xEE}));
  EXPECT_EQ(page.size(), 304u);
}

}  // namespace
