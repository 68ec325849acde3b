// A device's identity and its target's LUNs: the decoding of vital product
// data pages and LUN lists, the identity lines, and which requests go out.
#include <algorithm>
#include <optional>

#include "reports/device_identity.h"
#include "reports/identity_report.h"
#include "reports/logical_units.h"
#include "scsi/commands.h"
#include "scripted_backend.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Page(std::uint8_t code, Bytes body) {
  Bytes page = {0, code, static_cast<std::uint8_t>(body.size() >> 8), static_cast<std::uint8_t>(body.size())};
  page.insert(page.end(), body.begin(), body.end());
  return page;
}
Bytes Designation(std::uint8_t codeSet, std::uint8_t association, std::uint8_t type, Bytes value) {
  Bytes descriptor = {codeSet, static_cast<std::uint8_t>(association << 4 | type), 0,
                      static_cast<std::uint8_t>(value.size())};
  descriptor.insert(descriptor.end(), value.begin(), value.end());
  return descriptor;
}
Bytes Text(std::string_view text) { return {text.begin(), text.end()}; }
// Standard INQUIRY data of a disk with ANSI version `version`, removable.
Bytes Inquiry(std::uint8_t version) {
  Bytes data(36, ' ');
  data[0] = 0;
  data[1] = 0x80;
  data[2] = version;
  data[3] = 2;
  data[4] = 31;
  return data;
}

TEST(VpdReplies, TakenOnlyWhenTheyAreThePageAskedAndFit) {
  struct Case {
    const char* name;
    Bytes reply;
    std::optional<std::string> serial;
  };
  const Case cases[] = {
      {"padded with blanks", Page(0x80, Text("  SN1 ")), "SN1"},
      {"padded with NUL bytes", Page(0x80, Text(std::string_view("SN2\0\0", 5))), "SN2"},
      {"empty", Page(0x80, {}), ""},
      {"shorter than its header", {0, 0x80, 0}, std::nullopt},
      {"another page", Page(0x83, Text("SN")), std::nullopt},
      {"standard INQUIRY data of a removable disk", Inquiry(5), std::nullopt},
      {"a length beyond what came", {0, 0x80, 0, 10, 'S', 'N'}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeUnitSerialNumber(c.reply), c.serial);
  }
  EXPECT_EQ(DecodeSupportedPages(Page(0, {0, 0x80, 0x83})), (Bytes{0, 0x80, 0x83}));
  EXPECT_EQ(DecodeSupportedPages(Page(0, {0x80, 0x83})), std::nullopt) << "a list without 00h";
  EXPECT_EQ(DecodeSupportedPages(Inquiry(0)), std::nullopt) << "standard data of a SCSI-1 disk";
}

class IdentityLines : public ReportTest {};

TEST_F(IdentityLines, EveryDesignatorTypeAndWhatItNames) {
  const Bytes naa = {0x50, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};
  const Bytes portNaa = {0x50, 0, 0, 0, 0, 0, 0, 9};
  const Bytes page = Page(
      0x83, [&] {
        Bytes body;
        for (const Bytes& d : {Designation(1, 1, 3, portNaa), Designation(1, 0, 3, naa),
                               Designation(1, 0, 2, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}),
                               Designation(2, 0, 1, Text("BVLAB   DISK 7  ")),
                               Designation(3, 2, 8, Text(std::string_view("iqn.2026-01.bv\0\0", 16))),
                               Designation(1, 1, 4, {0, 0, 0, 2}), {1, 3, 0, 9, 0x50}})
          body.insert(body.end(), d.begin(), d.end());
        return body;
      }());
  const auto designators = DecodeDesignators(page);
  ASSERT_TRUE(designators);
  ASSERT_EQ(designators->size(), 6u) << "the last one overruns the page";
  EXPECT_EQ(WorldWideName(*designators), "0x50012345678" "9abcd") << "the logical unit's, not the port's";
  ReportIdentity({.supportedPages = {}, .unitSerialNumber = "SN7", .designators = *designators});
  EXPECT_EQ(window.Memo1(), (std::vector<std::string>{
                                S("シリアル番号          = SN7"),
                                S("NAA識別子             = 0x5000000000000009 (ポート)"),
                                S("NAA識別子             = 0x50012345678" "9abcd"),
                                S("EUI-64識別子          = 0x0011223344556677"),
                                S("T10ベンダID識別子     = BVLAB   DISK 7"),
                                S("SCSIネーム識別子      = iqn.2026-01.bv (ターゲット)"),
                                S("識別子 種別4          = 0x00000002 (ポート)")}));
}

TEST(LunLists, SingleLevelLunsOfWhatCameBack) {
  const auto list = [](std::uint32_t length, std::vector<Bytes> entries) {
    Bytes reply = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                   static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length), 0, 0, 0, 0};
    for (const Bytes& e : entries) reply.insert(reply.end(), e.begin(), e.end());
    return reply;
  };
  const Bytes lun0 = Bytes(8, 0), lun1 = {0, 1, 0, 0, 0, 0, 0, 0}, lun5 = {0, 5, 0, 0, 0, 0, 0, 0};
  const Bytes flat = {0x40, 5, 0, 0, 0, 0, 0, 0}, twoLevels = {0, 1, 0, 2, 0, 0, 0, 0};
  struct Case {
    const char* name;
    Bytes reply;
    std::optional<Bytes> luns;
    bool cut;
  };
  const Case cases[] = {
      {"one level", list(24, {lun5, lun0, lun1}), Bytes{0, 1, 5}, false},
      {"other addressing left out, each LUN once", list(32, {flat, lun1, twoLevels, lun1}), Bytes{1}, false},
      {"a list longer than what came", list(800, {lun0, lun1}), Bytes{0, 1}, true},
      {"an empty list", list(0, {}), Bytes{}, false},
      {"a length that is no whole number of LUNs", list(12, {lun0}), std::nullopt, false},
      {"shorter than its header", {0, 0, 0, 8}, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = DecodeLunList(c.reply);
    ASSERT_EQ(decoded.has_value(), c.luns.has_value());
    if (!decoded) continue;
    EXPECT_EQ(decoded->luns, *c.luns);
    EXPECT_EQ(decoded->cut, c.cut);
  }
}

class IdentityRequests : public ReportTest {
 protected:
  // The page codes of the VPD requests sent, and their allocation lengths.
  std::vector<std::pair<int, int>> VpdRequests(const ScriptedBackend& device) {
    std::vector<std::pair<int, int>> asked;
    for (const auto& r : device.requests)
      if (r.block.CDBByte[0] == 0x12) asked.emplace_back(r.block.CDBByte[2], r.block.CDBByte[3] << 8 | r.block.CDBByte[4]);
    return asked;
  }
};

TEST_F(IdentityRequests, PagesAskedOnlyWhenListedAndNeverAfterAFailure) {
  const Bytes longPage = Page(0x83, [] {
    Bytes body;
    for (int i = 0; i < 25; ++i) {
      const Bytes d = Designation(1, 1, 3, Bytes(8, static_cast<std::uint8_t>(i)));
      body.insert(body.end(), d.begin(), d.end());
    }
    return body;
  }());
  using Pages = std::map<std::uint8_t, ScriptedBackend::Reply>;
  const ScriptedBackend::Reply refused{.status = SS_ERR, .data = {}};
  struct Case {
    const char* name;
    std::uint8_t version;
    Pages pages;
    std::vector<std::pair<int, int>> asked;
    std::size_t designators;
  };
  const Case cases[] = {
      {"SCSI-2: nothing asked", 2, {{0, {.data = Page(0, {0, 0x80})}}}, {}, 0},
      {"both listed", 3, {{0, {.data = Page(0, {0, 0x80, 0x83})}}, {0x80, {.data = Page(0x80, Text("S"))}},
        {0x83, {.data = Page(0x83, Designation(1, 0, 3, Bytes(8, 1)))}}}, {{0, 255}, {0x80, 255}, {0x83, 255}}, 1},
      {"00h fails", 5, {{0, refused}}, {{0, 255}}, 0},
      {"80h fails: no 83h", 5, {{0, {.data = Page(0, {0, 0x80, 0x83})}}, {0x80, refused}}, {{0, 255}, {0x80, 255}}, 0},
      {"only 83h listed", 5, {{0, {.data = Page(0, {0, 0x83})}}}, {{0, 255}, {0x83, 255}}, 0},
      {"83h longer than 255 bytes, asked again", 6, {{0, {.data = Page(0, {0, 0x83})}}, {0x83, {.data = longPage}}},
       {{0, 255}, {0x83, 255}, {0x83, 304}}, 25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedBackend& device = UseScriptedBackend();
    device.pages = c.pages;
    const DeviceIdentity identity = AskIdentity(0, 0, 0, Inquiry(c.version).data(), true);
    EXPECT_EQ(VpdRequests(device), c.asked);
    EXPECT_EQ(identity.designators.size(), c.designators);
  }
}

TEST_F(IdentityRequests, LunsFromReportLunsOrElseFromGetDeviceType) {
  const auto lunList = [](std::uint32_t length, Bytes luns) {
    Bytes reply = {0, 0, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length), 0, 0, 0, 0};
    for (const std::uint8_t lun : luns) reply.insert(reply.end(), {0, lun, 0, 0, 0, 0, 0, 0});
    return reply;
  };
  struct Case {
    const char* name;
    std::uint8_t version;
    std::optional<Bytes> reportLuns;  // none: refused
    std::set<std::uint8_t> answering;
    Bytes luns;
    std::vector<std::uint32_t> allocations;  // of the REPORT LUNS requests
  };
  const Case cases[] = {
      {"listed and answering", 5, lunList(24, {4, 0, 1}), {0, 1, 4, 6}, {0, 1, 4}, {4096}},
      {"listed but not answering", 5, lunList(16, {0, 1}), {0}, {0}, {4096}},
      {"refused: LUNs 0 to 7", 5, std::nullopt, {0, 2, 9}, {0, 2}, {4096}},
      {"an empty list: LUNs 0 to 7", 5, lunList(0, {}), {3}, {3}, {4096}},
      {"SCSI-2: not asked", 2, lunList(8, {0}), {0, 7}, {0, 7}, {}},
      {"longer than asked: asked again", 5, lunList(8 * 600, {0, 1}), {0, 1}, {0, 1}, {4096, 4808}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedBackend& device = UseScriptedBackend();
    device.replies[0x12] = {.data = Inquiry(c.version)};
    if (c.reportLuns) device.replies[0xA0] = {.data = *c.reportLuns};
    device.answeringLuns = c.answering;
    EXPECT_EQ(LogicalUnits(0, 0, true), c.luns);
    std::vector<std::uint32_t> allocations;
    for (const auto& r : device.requests)
      if (r.block.CDBByte[0] == 0xA0) allocations.push_back(static_cast<std::uint32_t>(scsi::GetBigEndian(r.block.CDBByte, scsi::ReportLunsAllocationLength)));
    EXPECT_EQ(allocations, c.allocations);
  }
}

}  // namespace
