#include <gtest/gtest.h>

#include "report_fixture.h"
#include "reports/device_reports.h"

namespace {

std::string TypeLine(const std::string& word) { return "SCSI" + S("のInquiry ") + Blanks(8) + "= " + word; }
std::string VendorLine(const std::string& bytes8) { return S("ベンダＩＤ") + Blanks(12) + "= " + bytes8; }
std::string ProductLine(const std::string& bytes16) {
  return S("プロダクトＩＤ") + Blanks(8) + "= " + bytes16;
}
std::string RevisionLine(const std::string& bytes4) {
  return S("プロダクト版数") + Blanks(8) + "= " + bytes4;
}
// Type, vendor, product and revision: the four lines of simple mode.
std::vector<std::string> FourLines(const std::string& word, const std::string& vendor,
                                   const std::string& product, const std::string& revision) {
  return {TypeLine(word), VendorLine(vendor), ProductLine(product), RevisionLine(revision)};
}
std::vector<std::string> FourLines(const std::string& word) {
  return FourLines(word, Blanks(8), Blanks(16), Blanks(4));
}
std::vector<std::string> VersionLines(int iso, int ecma, int ansi) {
  return {"ISO" + S("バージョン") + Blanks(9) + "= " + std::to_string(iso),
          "ECMA" + S("バージョン") + Blanks(8) + "= " + std::to_string(ecma),
          "ANSI" + S("バージョン") + Blanks(8) + "= " + std::to_string(ansi)};
}
std::string FormatLine(const char* value) { return "Inquiry" + S("データ書式") + Blanks(5) + value; }

const std::string Removable = S("メディア交換可能");
const std::string Aen = S("AEN受信機能有り");
const std::string RelAdr = S("相対アドレス");
const std::string Wide32 = S("３２ビットワイドバス");
const std::string Wide16 = S("１６ビットワイドバス");
const std::string Sync = S("同期転送可能");
const std::string Linked = S("コマンドリンク有り");
const std::string CmdQue = S("タグ付きコマンドキューイング有り");
const std::string SoftReset = S("ソフトリセット有り");

std::vector<std::string> Join(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

struct InquiryCase {
  const char* name;
  std::int32_t target;
  std::int32_t adapter;
  std::vector<std::string> simple;  // also the start of the detailed lines
  std::vector<std::string> detailedMore;
};
void PrintTo(const InquiryCase& c, std::ostream* os) { *os << c.name; }

class InquiryReportTest : public ReportTest, public ::testing::WithParamInterface<InquiryCase> {};

TEST_P(InquiryReportTest, SimpleModeGivesTheFourLines) {
  UseBus("inquiries.json");
  window.detailed = false;
  ReportInquiry(GetParam().target, GetParam().adapter);
  EXPECT_EQ(window.Memo1(), GetParam().simple);
}

TEST_P(InquiryReportTest, DetailedModeAddsVersionsFormatAndCapabilities) {
  UseBus("inquiries.json");
  window.detailed = true;
  ReportInquiry(GetParam().target, GetParam().adapter);
  EXPECT_EQ(window.Memo1(), Join(GetParam().simple, GetParam().detailedMore));
}

const std::string Vendor01 = "VENDOR01";
const std::string Model2000 = "MODEL-2000" + Blanks(6);

INSTANTIATE_TEST_SUITE_P(
    Devices, InquiryReportTest,
    ::testing::Values(
        // The worked example: a SCSI-2 fixed disk.
        InquiryCase{"Scsi2Disk", 0, 0,
                    FourLines(S("ＨＤＤ"), Vendor01, Model2000, "0100"),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2"), Wide16, Sync, CmdQue})},
        // Qualifier 3, type 1Fh; a 16-byte reply reads zeros beyond it.
        InquiryCase{"QualifierThreeUnknown", 1, 0,
                    FourLines(S("不明"), "NONE    ", Nuls(16), Nuls(4)),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2")})},
        // Qualifier 1 does not change the word.
        InquiryCase{"QualifierOneCdRom", 2, 0,
                    FourLines(S("ＣＤ－ＲＯＭ"), "CDVENDOR", "CD-ROM DRIVE    ", "1.0 "),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2"), Removable})},
        InquiryCase{"TypeTenHasNoWord", 3, 0,
                    FourLines("", "ODD     ", "TYPE-10" + Blanks(9), "X   "),
                    Join(VersionLines(0, 0, 0), {FormatLine("= SCSI-1")})},
        // The vendor keeps its NUL bytes; the pane cuts there, not the report.
        InquiryCase{"VendorWithNulBytes", 4, 0,
                    FourLines(S("スキャナ"), "AB" + Nuls(6), "SCAN" + Blanks(12), "0001"),
                    Join(VersionLines(0, 0, 0), {FormatLine("= SCSI-1")})},
        InquiryCase{"VersionByte4A", 5, 0,
                    FourLines(S("ＨＤＤ")),
                    Join(VersionLines(1, 1, 2), {FormatLine("= SCSI-2")})},
        InquiryCase{"FormatThreeHasNoLine", 6, 0,
                    FourLines(S("テープ")),
                    Join(VersionLines(0, 0, 2), {Sync})},
        InquiryCase{"AllNineCapabilities", 7, 0,
                    FourLines(S("ＭＯ")),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2"), Removable, Aen, RelAdr,
                                                 Wide32, Wide16, Sync, Linked, CmdQue, SoftReset})},
        InquiryCase{"Byte7Bit2IsNotReported", 0, 1,
                    FourLines(S("ＨＤＤ")),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2")})},
        InquiryCase{"FormatZeroIsScsi1", 2, 1,
                    FourLines(S("メディアチェンジャ")),
                    Join(VersionLines(0, 0, 1), {FormatLine("= SCSI-1")})},
        InquiryCase{"FormatOneIsCcs", 3, 1,
                    FourLines(S("プロセッサ")),
                    Join(VersionLines(0, 0, 1), {FormatLine("= CCS"), SoftReset})},
        // Bytes from 80h up are passed on as they are.
        InquiryCase{"ShiftJisVendorBytes", 5, 1,
                    FourLines(S("ＨＤＤ"), "VEND" + S("アイ"), "PRODUCT-12345678", "0100"),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2")})},
        InquiryCase{"CommandRefused", 4, 1, {}, {}},
        InquiryCase{"NoDevice", 6, 1, {}, {}},
        // Requests carry the low bytes: target 263 is 7, adapter 256 is 0.
        InquiryCase{"LowBytesAddressTheDevice", 263, 256,
                    FourLines(S("ＭＯ")),
                    Join(VersionLines(0, 0, 2), {FormatLine("= SCSI-2"), Removable, Aen, RelAdr,
                                                 Wide32, Wide16, Sync, Linked, CmdQue, SoftReset})}),
    [](const auto& info) { return std::string(info.param.name); });

// A short reply after a full one must not show the earlier device's names.
TEST_F(ReportTest, ShortInquiryReplyShowsZerosNotAnEarlierDevice) {
  UseBus("inquiries.json");
  ReportInquiry(0, 0);
  window.calls.clear();

  ReportInquiry(1, 1);  // returns bytes 0 to 7 only
  const std::vector<std::string> expected = FourLines(S("テープ"), Nuls(8), Nuls(16), Nuls(4));
  EXPECT_EQ(window.Memo1(), expected);
}

}  // namespace
