// A device's identity and its target's LUNs: the decoding of vital product
// data pages and LUN lists, the identity lines, and which requests go out.
#include <optional>

#include "reports/device_identity.h"
#include "reports/identity_report.h"
#include "reports/logical_units.h"
#include "scripted_backend.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
Bytes Text(std::string_view text) { return {text.begin(), text.end()}; }
Bytes Page(std::uint8_t code, const Bytes& body) {
  return Cat({{0, code, static_cast<std::uint8_t>(body.size() >> 8), static_cast<std::uint8_t>(body.size())}, body});
}
Bytes Designation(std::uint8_t codeSet, std::uint8_t association, std::uint8_t type, const Bytes& value) {
  return Cat({{codeSet, static_cast<std::uint8_t>(association << 4 | type), 0,
               static_cast<std::uint8_t>(value.size())}, value});
}
Bytes LunList(std::uint32_t length, const Bytes& luns, const Bytes& other = {}) {
  Bytes list = {0, 0, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length), 0, 0, 0, 0};
  for (const std::uint8_t lun : luns) list = Cat({list, {0, lun, 0, 0, 0, 0, 0, 0}});
  return Cat({list, other});
}
// Standard INQUIRY data of a removable disk with ANSI version `version`.
Bytes Inquiry(std::uint8_t version) { return Cat({{0, 0x80, version, 2, 31}, Bytes(31, ' ')}); }

TEST(VpdReplies, TakenOnlyWhenTheyAreThePageAskedAndFit) {
  const std::pair<Bytes, std::optional<std::string>> serials[] = {
      {Page(0x80, Text("  SN1 ")), "SN1"},                            // padded with blanks
      {Page(0x80, Text(std::string_view("SN2\0\0", 5))), "SN2"},      // with NUL bytes
      {Page(0x80, {}), ""},
      {{0, 0x80, 0}, std::nullopt},                                   // shorter than its header
      {Page(0x83, Text("SN")), std::nullopt},                         // another page
      {Inquiry(5), std::nullopt},                                     // standard data, RMB set
      {{0, 0x80, 0, 10, 'S', 'N'}, std::nullopt},                     // longer than what came
  };
  for (const auto& [reply, serial] : serials) EXPECT_EQ(DecodeUnitSerialNumber(reply), serial);
  EXPECT_EQ(DecodeSupportedPages(Page(0, {0, 0x80, 0x83})), (Bytes{0, 0x80, 0x83}));
  EXPECT_EQ(DecodeSupportedPages(Page(0, {0x80, 0x83})), std::nullopt) << "a list without 00h";
  EXPECT_EQ(DecodeSupportedPages(Inquiry(0)), std::nullopt) << "standard data of a SCSI-1 disk";
}

TEST_F(ReportTest, IdentityLinesForEveryDesignatorType) {
  const Bytes page = Page(0x83, Cat({Designation(1, 1, 3, {0x50, 0, 0, 0, 0, 0, 0, 9}),
                                     Designation(1, 0, 3, {0x50, 1, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD}),
                                     Designation(1, 0, 2, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}),
                                     Designation(2, 0, 1, Text("BVLAB   DISK 7  ")),
                                     Designation(3, 2, 8, Text(std::string_view("iqn.2026-01.bv\0\0", 16))),
                                     Designation(1, 1, 4, {0, 0, 0, 2}), {1, 3, 0, 9, 0x50}}));
  const auto designators = DecodeDesignators(page);
  ASSERT_TRUE(designators);
  ASSERT_EQ(designators->size(), 6u) << "the last one overruns the page";
  EXPECT_EQ(WorldWideName(*designators), "0x500123456789abcd") << "the logical unit's, not the port's";
  ReportIdentity({.supportedPages = {}, .unitSerialNumber = "SN7", .designators = *designators});
  EXPECT_EQ(window.Memo1(), (std::vector<std::string>{
                                S("シリアル番号          = SN7"),
                                S("NAA識別子             = 0x5000000000000009 (ポート)"),
                                S("NAA識別子             = 0x500123456789abcd"),
                                S("EUI-64識別子          = 0x0011223344556677"),
                                S("T10ベンダID識別子     = BVLAB   DISK 7"),
                                S("SCSIネーム識別子      = iqn.2026-01.bv (ターゲット)"),
                                S("識別子 種別4          = 0x00000002 (ポート)")}));
}

TEST(LunLists, SingleLevelLunsOfWhatCameBack) {
  const Bytes flatAndTwoLevels = {0x40, 5, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0};
  const std::tuple<Bytes, std::optional<Bytes>, bool> lists[] = {
      {LunList(24, {5, 0, 1}), Bytes{0, 1, 5}, false},
      {LunList(32, {1, 1}, flatAndTwoLevels), Bytes{1}, false},  // one level only, each once
      {LunList(800, {0, 1}), Bytes{0, 1}, true},                  // longer than what came
      {LunList(0, {}), Bytes{}, false},
      {LunList(12, {0}), std::nullopt, false},                    // no whole number of LUNs
      {{0, 0, 0, 8}, std::nullopt, false},                        // shorter than its header
  };
  for (const auto& [reply, luns, cut] : lists) {
    const auto decoded = DecodeLunList(reply);
    ASSERT_EQ(decoded.has_value(), luns.has_value());
    EXPECT_EQ(decoded ? std::pair(decoded->luns, decoded->cut) : std::pair(Bytes{}, false),
              luns ? std::pair(*luns, cut) : std::pair(Bytes{}, false));
  }
}

// The page codes and allocation lengths of the VPD requests a device gets.
TEST_F(ReportTest, PagesAskedOnlyWhenListedAndNeverAfterAFailure) {
  Bytes many;
  for (std::uint8_t i = 0; i < 25; ++i) many = Cat({many, Designation(1, 1, 3, Bytes(8, i))});
  const ScriptedBackend::Reply refused{.status = SS_ERR, .data = {}}, both{.data = Page(0, {0, 0x80, 0x83})};
  using Pages = std::map<std::uint8_t, ScriptedBackend::Reply>;
  const std::tuple<std::uint8_t, Pages, std::vector<std::pair<int, int>>, std::size_t> cases[] = {
      {2, {{0, both}}, {}, 0},  // SCSI-2: nothing asked
      {3, {{0, both}, {0x80, {.data = Page(0x80, Text("S"))}}, {0x83, {.data = Page(0x83, Designation(1, 0, 3, Bytes(8, 1)))}}},
       {{0, 255}, {0x80, 255}, {0x83, 255}}, 1},
      {5, {{0, refused}}, {{0, 255}}, 0},
      {5, {{0, both}, {0x80, refused}}, {{0, 255}, {0x80, 255}}, 0},  // no 83h after the failure
      {5, {{0, {.data = Page(0, {0, 0x83})}}}, {{0, 255}, {0x83, 255}}, 0},
      {6, {{0, {.data = Page(0, {0, 0x83})}}, {0x83, {.data = Page(0x83, many)}}},  // 304 bytes: again
       {{0, 255}, {0x83, 255}, {0x83, 304}}, 25},
  };
  for (const auto& [version, pages, asked, designators] : cases) {
    ScriptedBackend& device = UseScriptedBackend();
    device.pages = pages;
    const DeviceIdentity identity =
        AskIdentity({.adapter = 0, .target = 0, .lun = 0}, Inquiry(version).data(), true);
    std::vector<std::pair<int, int>> sent;
    for (const auto& r : device.requests) sent.emplace_back(r.block.CDBByte[2], r.block.CDBByte[3] << 8 | r.block.CDBByte[4]);
    EXPECT_EQ(sent, asked) << int{version};
    EXPECT_EQ(identity.designators.size(), designators);
  }
}

TEST_F(ReportTest, LunsFromReportLunsOrElseFromGetDeviceType) {
  const std::tuple<std::uint8_t, std::optional<Bytes>, std::set<std::uint8_t>, Bytes, std::vector<int>> cases[] = {
      {5, LunList(24, {4, 0, 1}), {0, 1, 4, 6}, {0, 1, 4}, {4096}},
      {5, LunList(16, {0, 1}), {0}, {0}, {4096}},         // listed but not answering
      {5, std::nullopt, {0, 2, 9}, {0, 2}, {4096}},       // refused: LUNs 0 to 7
      {5, LunList(0, {}), {3}, {3}, {4096}},              // an empty list: LUNs 0 to 7
      {2, LunList(8, {0}), {0, 7}, {0, 7}, {}},           // SCSI-2: not asked
      {5, LunList(8 * 600, {0, 1}), {0, 1}, {0, 1}, {4096, 4808}},  // longer: asked again
  };
  for (const auto& [version, reportLuns, answering, luns, allocations] : cases) {
    ScriptedBackend& device = UseScriptedBackend();
    device.replies[0x12] = {.data = Inquiry(version)};
    if (reportLuns) device.replies[0xA0] = {.data = *reportLuns};
    device.answeringLuns = answering;
    EXPECT_EQ(LogicalUnits({.adapter = 0, .target = 0, .lun = 0}, true), luns);
    std::vector<int> sent;
    for (const auto& r : device.requests)
      if (r.block.CDBByte[0] == 0xA0) sent.push_back(r.block.CDBByte[8] << 8 | r.block.CDBByte[9]);
    EXPECT_EQ(sent, allocations);
  }
}

}  // namespace
