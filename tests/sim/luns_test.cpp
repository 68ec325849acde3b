// Logical units on the simulated bus: the lun key, REPORT LUNS made of a
// target's entries, vital product data pages, residual counts and the
// number of target IDs an adapter publishes.
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

using namespace simtest;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* Bus = R"({"adapters": [
  {"targets": [
    {"id": 2, "inquiry": {"type": 0, "version": 5, "vendor": "ZERO"},
     "vpd": {"0x00": "00 00 00 02 00 80", "0x80": "00 80 00 03 41 42 43"}},
    {"id": 2, "lun": 1, "type": 5, "inquiry": {"type": 5, "vendor": "ONE"}},
    {"id": 20, "lun": 3, "inquiry": {"vendor": "THREE"}}]},
  {"target_ids": 16, "targets": []}]})";

SRB UnitRequest(std::uint8_t command, std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) {
  SRB srb = TargetRequest(command, adapter, target);
  srb.SRB_Lun = lun;
  return srb;
}

Bytes Head(const Buffer& buffer, std::size_t n) { return {buffer.bytes.begin(), buffer.bytes.begin() + n}; }

TEST(SimLuns, EachEntryIsTheLogicalUnitItsLunNames) {
  UseBus(Bus);
  const std::pair<SRB, int> types[] = {{UnitRequest(SC_GET_DEV_TYPE, 0, 2, 0), 0},
                                       {UnitRequest(SC_GET_DEV_TYPE, 0, 2, 1), 5},
                                       {UnitRequest(SC_GET_DEV_TYPE, 0, 2, 2), -1},
                                       {UnitRequest(SC_GET_DEV_TYPE, 0, 20, 3), 0},
                                       {UnitRequest(SC_GET_DEV_TYPE, 0, 20, 0), -1}};
  for (auto [srb, type] : types) {
    SCOPED_TRACE(testing::Message() << int{srb.SRB_Target} << ":" << int{srb.SRB_Lun});
    EXPECT_EQ(SendASPI32Command(&srb), type < 0 ? SS_NO_DEVICE : SS_COMP);
    if (type >= 0) {
      EXPECT_EQ(srb.SRB_DeviceType, type);
    }
  }
  // INQUIRY reaches LUN 1's own data; a missing LUN answers as none.
  Buffer one, missing;
  SRB inquiry = ScsiRequest(0, 2, one, 36, {0x12, 0, 0, 0, 36, 0});
  inquiry.SRB_Lun = 1;
  ASSERT_EQ(SendASPI32Command(&inquiry), SS_COMP);
  EXPECT_EQ(std::string(one.bytes.begin() + 8, one.bytes.begin() + 11), "ONE");
  SRB none = ScsiRequest(0, 20, missing, 36, {0x12, 0, 0, 0, 36, 0});
  ASSERT_EQ(SendASPI32Command(&none), SS_COMP);
  EXPECT_EQ(missing.bytes[0], 0x7F);
}

TEST(SimLuns, ReportLunsVpdPagesAndResidualCounts) {
  UseBus(Bus);
  const Bytes lunsOf2 = {0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  const Bytes lunOf20 = {0, 0, 0, 8, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* name;
    std::uint8_t target, lun;
    std::initializer_list<std::uint8_t> cdb;
    std::uint8_t status;
    Bytes data;
  };
  const Case cases[] = {
      {"report luns", 2, 0, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 80, 0, 0}, SS_COMP, lunsOf2},
      {"report luns from lun 1", 2, 1, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 80, 0, 0}, SS_COMP, lunsOf2},
      {"report luns without lun 0", 20, 0, {0xA0, 0, 2, 0, 0, 0, 0, 0, 0, 80, 0, 0}, SS_COMP, lunOf20},
      {"report luns, well-known only", 2, 0, {0xA0, 0, 1, 0, 0, 0, 0, 0, 0, 80, 0, 0}, SS_COMP,
       Bytes(8, 0)},
      {"report luns, allocation under 16", 2, 0, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 15, 0, 0}, SS_ERR, {}},
      {"report luns of nobody", 3, 0, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 80, 0, 0}, SS_ERR, {}},
      {"page 80h", 2, 0, {0x12, 1, 0x80, 0, 80, 0}, SS_COMP, {0, 0x80, 0, 3, 'A', 'B', 'C'}},
      {"page 83h not given", 2, 0, {0x12, 1, 0x83, 0, 80, 0}, SS_ERR, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer buffer;
    SRB srb = ScsiRequest(0, c.target, buffer, 80, c.cdb);
    srb.SRB_Lun = c.lun;
    srb.SRB_Flags = SRB_ENABLE_RESIDUAL_COUNT;
    EXPECT_EQ(SendASPI32Command(&srb), c.status);
    EXPECT_EQ(Head(buffer, c.data.size()), c.data);
    EXPECT_EQ(buffer.bytes[c.data.size()], Buffer::Marker);
    EXPECT_EQ(std::uint32_t{srb.SRB_BufLen}, c.status == SS_COMP ? 80 - c.data.size() : 80);
  }
}

TEST(SimLuns, HaUniqueCountsTargetIdsAndResiduals) {
  UseBus(Bus);
  for (const auto& [adapter, targetIds] : {std::pair{0, 21}, {1, 16}}) {
    SRB srb = TargetRequest(SC_HA_INQUIRY, static_cast<std::uint8_t>(adapter), 0);
    ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
    EXPECT_EQ(srb.HA_Unique[3], targetIds);
    EXPECT_EQ(srb.HA_Unique[2], 0x02);
  }
  UseBus(R"({"adapters": [{"targets": [{"id": 3}]}]})");
  SRB small = TargetRequest(SC_HA_INQUIRY, 0, 0);
  ASSERT_EQ(SendASPI32Command(&small), SS_COMP);
  EXPECT_EQ(small.HA_Unique[3], 8);
}

}  // namespace
