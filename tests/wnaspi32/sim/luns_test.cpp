// Logical units on the simulated bus: the lun key, REPORT LUNS made of a
// target's entries, vital product data pages, residual counts and the
// number of target IDs an adapter publishes.
#include <vector>

#include "sim_fixture.h"

namespace {

using namespace simtest;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* Bus = R"({"adapters": [
  {"targets": [{"id": 2, "inquiry": {"vendor": "ZERO"}, "vpd": {"0x80": "00 80 00 03 41 42 43"}},
               {"id": 2, "lun": 1, "type": 5, "inquiry": {"type": 5, "vendor": "ONE"}},
               {"id": 20, "lun": 3, "inquiry": {"vendor": "THREE"}}]},
  {"target_ids": 16, "targets": []}]})";

TEST(SimLuns, EachEntryIsTheLogicalUnitItsLunNames) {
  UseBus(Bus);
  // target, lun, device type or -1 for none
  for (const auto& [target, lun, type] : {std::tuple{2, 0, 0}, {2, 1, 5}, {2, 2, -1}, {20, 3, 0}, {20, 0, -1}}) {
    SRB srb = TargetRequest(SC_GET_DEV_TYPE, 0, static_cast<std::uint8_t>(target));
    srb.SRB_Lun = static_cast<std::uint8_t>(lun);
    EXPECT_EQ(SendASPI32Command(&srb), type < 0 ? SS_NO_DEVICE : SS_COMP) << target << ":" << lun;
    EXPECT_EQ(srb.SRB_DeviceType, type < 0 ? 0 : type);
  }
}

TEST(SimLuns, ReportLunsInquiryAtEachLunPagesAndResidualCounts) {
  UseBus(Bus);
  const Bytes both = {0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  const auto reportLuns = [](std::uint8_t select, std::uint8_t allocation) {
    return Bytes{0xA0, 0, select, 0, 0, 0, 0, 0, 0, allocation, 0, 0};
  };
  const std::tuple<std::uint8_t, std::uint8_t, Bytes, Bytes> cases[] = {
      {2, 0, reportLuns(0, 80), both},
      {2, 1, reportLuns(0, 80), both},  // any LUN of the target
      {20, 0, reportLuns(2, 80), {0, 0, 0, 8, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0}},
      {2, 0, reportLuns(1, 80), Bytes(8, 0)},  // well-known only
      {2, 0, reportLuns(0, 15), {}},           // no room for a LUN: refused
      {3, 0, reportLuns(0, 80), {}},           // nobody there
      {2, 0, {0x12, 1, 0x80, 0, 80, 0}, {0, 0x80, 0, 3, 'A', 'B', 'C'}},
      {2, 0, {0x12, 1, 0x83, 0, 80, 0}, {}},   // a page the file does not give
      {2, 1, {0x12, 0, 0, 0, 9, 0}, {5, 0, 0, 0, 31, 0, 0, 0, 'O'}},
      {20, 0, {0x12, 0, 0, 0, 1, 0}, {0x7F}},  // no unit at LUN 0
  };
  for (const auto& [target, lun, cdb, data] : cases) {
    Buffer buffer;
    SRB srb = ScsiRequest(0, target, buffer, 80, {});
    std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
    srb.SRB_CDBLen = static_cast<std::uint8_t>(cdb.size());
    srb.SRB_Lun = lun;
    srb.SRB_Flags = SRB_ENABLE_RESIDUAL_COUNT;
    EXPECT_EQ(SendASPI32Command(&srb), data.empty() ? SS_ERR : SS_COMP) << int{target} << ":" << int{lun};
    EXPECT_EQ(Bytes(buffer.bytes.begin(), buffer.bytes.begin() + data.size()), data);
    EXPECT_EQ(buffer.bytes[data.size()], Buffer::Marker);
    EXPECT_EQ(std::uint32_t{srb.SRB_BufLen}, data.empty() ? 80 : 80 - data.size());
  }
}

TEST(SimLuns, HaUniqueCountsTargetIdsAndResiduals) {
  for (const auto& [bus, targetIds] : {std::pair{Bus, 21}, {R"({"adapters": [{"targets": [{"id": 3}]}]})", 8}}) {
    UseBus(bus);
    SRB srb = TargetRequest(SC_HA_INQUIRY, 0, 0);
    ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
    EXPECT_EQ((std::pair{srb.HA_Unique[2], srb.HA_Unique[3]}), (std::pair<std::uint8_t, std::uint8_t>{2, targetIds}));
  }
  SRB given = TargetRequest(SC_HA_INQUIRY, 1, 0);
  UseBus(Bus);
  ASSERT_EQ(SendASPI32Command(&given), SS_COMP);
  EXPECT_EQ(given.HA_Unique[3], 16) << "target_ids";
}

}  // namespace
