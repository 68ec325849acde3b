#include <gtest/gtest.h>

#include "report_fixture.h"
#include "reports/device_facts.h"
#include "reports/device_reports.h"
#include "scripted_backend.h"

namespace {

const std::string Title = "Read Capacity" + S("情報");
std::string SectorSizeLine(const std::string& value) {
  return S("セクタサイズ") + Blanks(10) + "= " + value;
}
std::string CapacityLine(const std::string& value) {
  return S("容量(ﾒｶﾞﾊﾞｲﾄ)") + Blanks(9) + "= " + value;
}

struct CapacityCase {
  const char* name;
  std::int32_t target;
  std::int32_t adapter;
  const char* sectorSize;  // null: the request fails
  const char* megabytes;
};
void PrintTo(const CapacityCase& c, std::ostream* os) { *os << c.name; }

class CapacityReportTest : public ReportTest, public ::testing::WithParamInterface<CapacityCase> {};

TEST_P(CapacityReportTest, AppendsBlankLineThenCapacity) {
  UseBus("capacities.json");
  window.detailed = true;
  ReportCapacity(GetParam().target, GetParam().adapter);

  std::vector<std::string> expected = {" "};
  if (GetParam().sectorSize != nullptr) {
    expected.push_back(Title);
    expected.push_back(SectorSizeLine(GetParam().sectorSize));
    expected.push_back(CapacityLine(GetParam().megabytes));
  }
  EXPECT_EQ(window.Memo1(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, CapacityReportTest,
    ::testing::Values(
        CapacityCase{"Disk2007", 0, 0, "512", "2,007.07"},
        CapacityCase{"CdRom650", 1, 0, "2048", "650.39"},
        CapacityCase{"Disk8683", 2, 0, "512", "8,683.22"},
        CapacityCase{"HalfRoundsUp0125", 3, 0, "512", "0.13"},
        CapacityCase{"HalfRoundsUp0375", 2, 1, "512", "0.38"},
        CapacityCase{"Address01000000", 4, 0, "512", "8,192.00"},
        CapacityCase{"BlockLengthZero", 5, 0, "0", "0.00"},
        // FFFFFFFFh from READ CAPACITY (10): READ CAPACITY (16) tells more.
        CapacityCase{"ExactlyTwoToThe32Blocks", 6, 0, "512", "2,097,152.00"},
        CapacityCase{"SixteenTebibytes", 7, 0, "512", "16,777,216.00"},
        CapacityCase{"FourKibibyteBlocks", 4, 1, "4096", "30,523,582.69"},
        // 2^64 blocks of 2^32 - 1 bytes: beyond 64 bits, rounded at 18 digits.
        CapacityCase{"BeyondSixtyFourBits", 3, 1, "4294967295",
                     "75,557,863,708,322,137,400,000.00"},
        CapacityCase{"NoCapacityData", 0, 1, nullptr, nullptr},
        CapacityCase{"ErrorStatus", 1, 1, nullptr, nullptr},
        CapacityCase{"NoDevice", 6, 1, nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// READ CAPACITY (10) with FFFFFFFFh, then READ CAPACITY (16) with the answers
// the scripted device gives.
struct LongCapacityCase {
  const char* name;
  ScriptedBackend::Reply readCapacity16;
  const char* sectorSize;
  const char* megabytes;
};
void PrintTo(const LongCapacityCase& c, std::ostream* os) { *os << c.name; }

class LongCapacityTest : public ReportTest, public ::testing::WithParamInterface<LongCapacityCase> {};

TEST_P(LongCapacityTest, AsksAgainWithReadCapacity16) {
  ScriptedBackend& device = UseScriptedBackend();
  device.replies[0x25] = {SS_COMP, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00}};
  device.replies[0x9E] = GetParam().readCapacity16;
  ReportCapacity(2, 0);

  const std::vector<std::string> expected = {" ", Title, SectorSizeLine(GetParam().sectorSize),
                                             CapacityLine(GetParam().megabytes)};
  EXPECT_EQ(window.Memo1(), expected);

  ASSERT_EQ(device.requests.size(), 2u);
  const SRB& block = device.requests[1].block;
  const std::uint8_t cdb[16] = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};
  EXPECT_EQ(block.SRB_Cmd, SC_EXEC_SCSI_CMD);
  EXPECT_EQ(block.SRB_Target, 2);
  EXPECT_EQ(block.SRB_CDBLen, 16);
  EXPECT_EQ(block.SRB_BufLen, 32u);
  EXPECT_EQ(block.SRB_SenseLen, 14);
  EXPECT_EQ(block.SRB_Flags, SRB_EVENT_NOTIFY);
  EXPECT_EQ(std::memcmp(block.CDBByte, cdb, sizeof cdb), 0);
  EXPECT_EQ(device.requests[1].buffer, std::vector<std::uint8_t>(32, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LongCapacityTest,
    ::testing::Values(
        LongCapacityCase{"Refused", {SS_ERR, {}}, "512", "2,097,152.00"},
        LongCapacityCase{"Aborted", {SS_ABORTED, {}}, "512", "2,097,152.00"},
        // Replies that cannot be right count as refused.
        LongCapacityCase{"ShortReply", {SS_COMP, {0, 0, 0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF}},
                         "512", "2,097,152.00"},
        LongCapacityCase{"BlockLengthZero",
                         {SS_COMP, {0, 0, 0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
                         "512", "2,097,152.00"},
        // 2^35 blocks of 512 bytes: 16 TiB.
        LongCapacityCase{"SixteenTebibytes",
                         {SS_COMP, {0, 0, 0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x02, 0}},
                         "512", "16,777,216.00"},
        // The long answer's block length counts, not the short one's.
        LongCapacityCase{"OtherBlockLength",
                         {SS_COMP, {0, 0, 0, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x10, 0}},
                         "4096", "33,554,432.00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportTest, ReadCapacity10IsTheOnlyRequestBelowTheLimit) {
  ScriptedBackend& device = UseScriptedBackend();
  device.replies[0x25] = {SS_COMP, {0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x10, 0x00, 0x00}};
  // Whatever an earlier command left in the buffer is gone when it is sent.
  std::fill(std::begin(DataBuffer), std::end(DataBuffer), 0xAA);
  ReportCapacity(263, 256);

  ASSERT_EQ(device.requests.size(), 1u);
  const SRB& block = device.requests[0].block;
  const std::uint8_t cdb[16] = {0x25};
  EXPECT_EQ(block.SRB_HaId, 0);
  EXPECT_EQ(block.SRB_Target, 7);
  EXPECT_EQ(block.SRB_CDBLen, 10);
  EXPECT_EQ(block.SRB_BufLen, 8u);
  EXPECT_EQ(block.SRB_SenseLen, 14);
  EXPECT_EQ(block.SRB_Flags, SRB_EVENT_NOTIFY);
  EXPECT_EQ(std::memcmp(block.CDBByte, cdb, sizeof cdb), 0);
  EXPECT_EQ(device.requests[0].buffer, std::vector<std::uint8_t>(8, 0));
  const std::vector<std::string> expected = {" ", Title, SectorSizeLine("1048576"),
                                             CapacityLine("4,294,967,295.00")};
  EXPECT_EQ(window.Memo1(), expected);
  // Nothing of the buffer but the reply is left standing.
  EXPECT_TRUE(std::all_of(DataBuffer + 8, DataBuffer + DataBufferSize, [](auto b) { return b == 0; }));
}

TEST_F(ReportTest, InquiryRequestAsksForThirtySixBytesIntoACleanBuffer) {
  ScriptedBackend& device = UseScriptedBackend();
  device.replies[0x12] = {SS_COMP, std::vector<std::uint8_t>(8, 0)};
  std::fill(std::begin(DataBuffer), std::end(DataBuffer), 0xAA);
  ReportInquiry(3, 0);

  ASSERT_EQ(device.requests.size(), 1u);
  const SRB& block = device.requests[0].block;
  const std::uint8_t cdb[16] = {0x12, 0, 0, 0, 36, 0};
  EXPECT_EQ(block.SRB_Target, 3);
  EXPECT_EQ(block.SRB_CDBLen, 6);
  EXPECT_EQ(block.SRB_BufLen, 40u);
  EXPECT_EQ(block.SRB_SenseLen, 14);
  EXPECT_EQ(block.SRB_Flags, SRB_EVENT_NOTIFY);
  EXPECT_EQ(std::memcmp(block.CDBByte, cdb, sizeof cdb), 0);
  EXPECT_EQ(device.requests[0].buffer, std::vector<std::uint8_t>(40, 0));
}

}  // namespace

// 32-bit builds have no 128-bit integers; their capacity arithmetic must
// give the same megabytes (hence the same report line) and the same byte
// count as the 128-bit one, up to the largest devices.
#ifdef __SIZEOF_INT128__
TEST(CapacityArithmetic, WithoutIntegersOf128BitsAgreesWithThem) {
  const Capacity cases[] = {
      {0, 512},
      {4110479, 512},
      {0xFFFFFFFFull, 4096},
      {(1ull << 53) + 1, 3},
      {0x0123456789ABCDEFull, 0xFFFFFFFFu},
      {UINT64_MAX - 1, 520},
      {UINT64_MAX, UINT32_MAX},
      {(UINT64_MAX >> 9), 512},
      {(UINT64_MAX >> 9) + 1, 512},
  };
  for (const Capacity& capacity : cases) {
    const std::string name = std::to_string(capacity.lastAddress) + " x " + std::to_string(capacity.blockLength);
    EXPECT_EQ(CapacityMegabytesWithout128Bits(capacity), CapacityMegabytes(capacity)) << name;
    std::uint64_t bytes = 0;
    const bool fits = CapacityBytesIn64Bits(capacity, bytes);
    EXPECT_EQ(fits, CapacityBytes(capacity) <= UINT64_MAX) << name;
    if (fits) {
      EXPECT_EQ(bytes, static_cast<std::uint64_t>(CapacityBytes(capacity))) << name;
    }
  }
}
#endif
