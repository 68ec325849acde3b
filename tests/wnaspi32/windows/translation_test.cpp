// Windows' answers into the layer's terms: port lists into buses and
// units, descriptors and identifiers into SCSI data, pass-through buffers,
// and call results into statuses. Every answer is read no further than it
// goes, whatever its offsets say.
#include <gtest/gtest.h>

#include <sstream>

#include "scsi/commands.h"
#include "windows_answers.h"
#include "wnaspi32.h"
#include "wnaspi32/windows/call_status.h"
#include "wnaspi32/windows/pass_through.h"
#include "wnaspi32/windows/port_list.h"
#include "wnaspi32/windows/property_answers.h"

namespace wintest {
namespace {

using namespace wnaspi32::windows;

// The buses as "path/initiator: target.lun(c=claimed)=first inquiry byte ...".
std::string Summary(const std::vector<PortBus>& buses) {
  std::ostringstream out;
  for (const PortBus& bus : buses) {
    out << int{bus.path} << "/" << int{bus.initiatorId} << ":";
    for (const PortUnit& unit : bus.units)
      out << " " << int{unit.target} << "." << int{unit.lun} << (unit.claimed ? "c" : "") << "="
          << unit.inquiry.size();
    out << ";";
  }
  return out.str();
}

Bytes Inquiry(std::uint8_t type, std::size_t length = 36) {
  Bytes data(length, 0x20);
  data[0] = type;
  return data;
}

Bytes TwoBuses() {
  return PortList(
      {{7, {{0, 0, true, Inquiry(0)}, {1, 0, false, Inquiry(3)}, {1, 1, false, Inquiry(3)}}},
       {6, {{2, 0, true, Inquiry(5, 96)}}}});
}

// The first unit record of bus 0, where the tests bend it.
std::size_t FirstUnit(const Bytes& list) {
  return *ReadAt<std::uint32_t>(list, 4 + offsetof(ScsiBusData, InquiryDataOffset));
}

struct PortListCase {
  const char* name;
  std::function<Bytes()> answer;
  std::string expected;
};

class PortListTest : public ::testing::TestWithParam<PortListCase> {};

TEST_P(PortListTest, ReadsBusesAndUnits) {
  EXPECT_EQ(Summary(ParsePortList(GetParam().answer())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PortListTest,
    ::testing::Values(
        PortListCase{"two_buses", TwoBuses, "0/7: 0.0c=36 1.0=36 1.1=36;1/6: 2.0c=96;"},
        PortListCase{"a_bus_without_units",
                     [] {
                       return PortList({{7, {}}, {7, {{3, 0, false, Inquiry(1)}}}});
                     },
                     "0/7:;1/7: 3.0=36;"},
        PortListCase{"nothing", [] { return Bytes{}; }, ""},
        PortListCase{"more_buses_than_the_answer_holds",
                     [] {
                       Bytes list = PortList({{7, {}}});
                       list[0] = 200;
                       return list;
                     },
                     "0/7:;"},
        PortListCase{"a_unit_record_past_the_end",
                     [] {
                       Bytes list = PortList({{7, {{0, 0, true, Inquiry(0)}}}});
                       list.resize(FirstUnit(list) + 6);
                       return list;
                     },
                     "0/7:;"},
        PortListCase{"inquiry_data_longer_than_the_answer",
                     [] {
                       Bytes list = PortList({{7, {{0, 0, true, Inquiry(0)}}}});
                       Put(list, FirstUnit(list) + offsetof(ScsiInquiryData, InquiryDataLength),
                           0x7FFFFFFFu);
                       return list;
                     },
                     "0/7: 0.0c=36;"},
        PortListCase{
            "a_chain_that_loops",
            [] {
              Bytes list = PortList({{7, {{0, 0, true, Inquiry(0)}, {1, 0, true, Inquiry(0)}}}});
              const std::size_t first = FirstUnit(list);
              const auto second = *ReadAt<std::uint32_t>(
                  list, first + offsetof(ScsiInquiryData, NextInquiryDataOffset));
              Put(list, second + offsetof(ScsiInquiryData, NextInquiryDataOffset),
                  static_cast<std::uint32_t>(first));
              return list;
            },
            "0/7: 0.0c=36 1.0c=36;"},
        PortListCase{"a_unit_of_another_path",
                     [] {
                       Bytes list = PortList({{7, {{0, 0, true, Inquiry(0)}}}});
                       list[FirstUnit(list) + offsetof(ScsiInquiryData, PathId)] = 1;
                       return list;
                     },
                     "0/7:;"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScsiAddress, ReadsThePlaceOrNothingWhenShort) {
  EXPECT_EQ(ParseScsiAddress(Address(2, 1, 5, 3)), (ScsiPlace{2, 1, 5, 3}));
  EXPECT_EQ(ParseScsiAddress(Bytes(7, 0)), std::nullopt);
}

struct DescriptorCase {
  const char* name;
  std::function<Bytes()> answer;
  std::optional<std::string> expected;  // "vendor|product|revision|serial|type|removable|bus"
};

class DescriptorTest : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(DescriptorTest, ReadsTextsInsideTheAnswer) {
  const auto d = ParseDeviceDescriptor(GetParam().answer());
  std::optional<std::string> got;
  if (d)
    got = d->vendor + "|" + d->product + "|" + d->revision + "|" + d->serial + "|" +
          std::to_string(d->type) + "|" + std::to_string(d->removable) + "|" +
          std::to_string(d->busType);
  EXPECT_EQ(got, GetParam().expected);
}

const Described UsbStick{.type = 0,
                         .removable = true,
                         .vendor = "BUFFALO ",
                         .product = "USB Flash Disk",
                         .revision = "1.00",
                         .serial = "  0123ABC  ",
                         .busType = BusTypeUsb};

Bytes WithField(Bytes bytes, std::size_t offset, std::uint32_t value) {
  Put(bytes, offset, value);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DescriptorTest,
    ::testing::Values(
        DescriptorCase{"blanks_trimmed", [] { return Descriptor(UsbStick); },
                       "BUFFALO|USB Flash Disk|1.00|0123ABC|0|1|7"},
        DescriptorCase{"offset_past_the_end",
                       [] {
                         return WithField(Descriptor(UsbStick),
                                          offsetof(StorageDeviceDescriptor, ProductIdOffset), 5000);
                       },
                       "BUFFALO||1.00|0123ABC|0|1|7"},
        DescriptorCase{"offset_into_the_fixed_part",
                       [] {
                         // The product's offset points at the vendor's offset field (36: "$").
                         return WithField(Descriptor(UsbStick),
                                          offsetof(StorageDeviceDescriptor, ProductIdOffset),
                                          offsetof(StorageDeviceDescriptor, VendorIdOffset));
                       },
                       "BUFFALO||1.00|0123ABC|0|1|7"},
        DescriptorCase{"last_text_unterminated",
                       [] {
                         Bytes bytes = Descriptor(UsbStick);
                         bytes.pop_back();
                         return WithField(bytes, offsetof(StorageDeviceDescriptor, Size),
                                          static_cast<std::uint32_t>(bytes.size()));
                       },
                       "BUFFALO|USB Flash Disk|1.00|0123ABC|0|1|7"},
        DescriptorCase{"texts_past_its_own_size",
                       [] {
                         return WithField(Descriptor(UsbStick),
                                          offsetof(StorageDeviceDescriptor, Size), 40);
                       },
                       "BUFF||||0|1|7"},
        DescriptorCase{"shorter_than_its_fixed_part", [] { return Bytes(20, 0); }, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceIds, BecomeDesignatorsAsFarAsTheAnswerHoldsThem) {
  const Identifier naa{1, 3, 0, {0x50, 1, 2, 3, 4, 5, 6, 7}};
  const Identifier name{3, 8, 2, {'n', 'a', 'm', 'e'}};
  const Bytes both = DeviceIds({naa, name});
  const Bytes body = {0x01, 0x03, 0,    8,    0x50, 1, 2,   3,   4,   5,
                      6,    7,    0x03, 0x28, 0,    4, 'n', 'a', 'm', 'e'};
  EXPECT_EQ(ParseDeviceIds(both), body);
  // The second identifier's bytes cut off: it is left out.
  EXPECT_EQ(ParseDeviceIds(Bytes(both.begin(), both.end() - 2)),
            Bytes(body.begin(), body.begin() + 12));
  // More identifiers claimed than there are.
  EXPECT_EQ(
      ParseDeviceIds(WithField(both, offsetof(StorageDeviceIdDescriptor, NumberOfIdentifiers), 9)),
      body);
  // An identifier longer than the answer.
  Bytes tooLong = DeviceIds({naa});
  Put(tooLong,
      offsetof(StorageDeviceIdDescriptor, Identifiers) +
          offsetof(StorageIdentifier, IdentifierSize),
      std::uint16_t{0xFFFF});
  EXPECT_EQ(ParseDeviceIds(tooLong), Bytes{});
}

struct FactsCase {
  const char* name;
  Bytes cdb;
  std::uint8_t status;
  Bytes expected;  // the whole answer when good, else the sense key and ASC
  void (*bend)(DeviceFacts&) = nullptr;
};

DeviceFacts Facts() {
  DeviceFacts facts;
  facts.type = 0;
  facts.inquiry = Inquiry(0);
  facts.serial = "S1";
  facts.designators = Bytes{0x01, 0x03, 0, 1, 0x50};
  facts.shape = DiskShape{.mediaType = MediaFixed,
                          .tracksPerCylinder = 255,
                          .sectorsPerTrack = 63,
                          .bytesPerSector = 512,
                          .blocks = 0x100000000};
  facts.luns = {0, 2};
  return facts;
}

class FactsTest : public ::testing::TestWithParam<FactsCase> {};

TEST_P(FactsTest, AnswersOnlyWhatTheFactsSay) {
  const FactsCase& c = GetParam();
  DeviceFacts facts = Facts();
  if (c.bend) c.bend(facts);
  const CommandOutcome got = AnswerFromFacts(c.cdb, facts);
  EXPECT_EQ(got.status, c.status);
  if (c.status == SS_COMP) {
    EXPECT_EQ(got.data, c.expected);
  } else {
    ASSERT_EQ(got.targStat, STATUS_CHKCOND);
    ASSERT_GT(got.sense.size(), 12u);
    EXPECT_EQ((Bytes{*scsi::SenseKeyOf(got.sense), got.sense[12]}), c.expected);
  }
}

const Bytes Capacity10 = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes IllegalField = {5, 0x24}, IllegalOpcode = {5, 0x20};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Commands, FactsTest,
    ::testing::Values(
        FactsCase{"inquiry_cut_to_allocation", {0x12, 0, 0, 0, 5, 0}, SS_COMP, {0, 0x20, 0x20, 0x20, 0x20}},
        FactsCase{"supported_pages", {0x12, 1, 0x00, 0, 99, 0}, SS_COMP, {0, 0, 0, 3, 0x00, 0x80, 0x83}},
        FactsCase{"no_serial_no_ids", {0x12, 1, 0x00, 0, 99, 0}, SS_COMP, {0, 0, 0, 1, 0x00},
                  [](DeviceFacts& f) { f.serial = "", f.designators.reset(); }},
        FactsCase{"serial_page", {0x12, 1, 0x80, 0, 99, 0}, SS_COMP, {0, 0x80, 0, 2, 'S', '1'}},
        FactsCase{"identification_page", {0x12, 1, 0x83, 0, 99, 0}, SS_COMP, {0, 0x83, 0, 5, 1, 3, 0, 1, 0x50}},
        FactsCase{"another_page", {0x12, 1, 0xB0, 0, 99, 0}, SS_ERR, IllegalField},
        FactsCase{"page_code_without_evpd", {0x12, 0, 0x80, 0, 99, 0}, SS_ERR, IllegalField},
        FactsCase{"capacity_10_too_large", Capacity10, SS_COMP, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}},
        FactsCase{"capacity_16", {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0}, SS_COMP,
                  {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}},
        FactsCase{"capacity_with_pmi", {0x25, 0, 0, 0, 0, 0, 0, 0, 1, 0}, SS_ERR, IllegalField},
        FactsCase{"capacity_without_medium", Capacity10, SS_ERR, {2, 0x3A},
                  [](DeviceFacts& f) { f.shape->blocks = 0; }},
        FactsCase{"capacity_of_a_tape", Capacity10, SS_ERR, IllegalOpcode,
                  [](DeviceFacts& f) { f.shape.reset(), f.shapeError = ErrorInvalidFunction; }},
        FactsCase{"report_luns", {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, SS_COMP,
                  {0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}},
        FactsCase{"test_unit_ready", {0x00, 0, 0, 0, 0, 0}, SS_ERR, IllegalOpcode},
        FactsCase{"mode_sense", {0x1A, 0, 0x3F, 0, 0xFF, 0}, SS_ERR, IllegalOpcode}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(InquiryOfDescription, PadsTextsAndKeepsTypeAndRemovable) {
  const Bytes data = InquiryOfDescription({.type = 5,
                                           .removable = true,
                                           .vendor = "HL-DT-ST",
                                           .product = "DVDRAM GH24NSD1",
                                           .revision = "LG00",
                                           .serial = "",
                                           .busType = BusTypeSata});
  ASSERT_EQ(data.size(), 36u);
  EXPECT_EQ(data[0], 5);
  EXPECT_EQ(data[1], 0x80);
  EXPECT_EQ(data[4], 31);
  EXPECT_EQ(std::string(data.begin() + 8, data.end()), "HL-DT-STDVDRAM GH24NSD1 LG00");
}

TEST(PassThrough, RequestAndReplyAgree) {
  const Bytes cdb = {0x12, 0, 0, 0, 36, 0};
  const PassThroughRequest request{.path = 1, .target = 2, .lun = 3, .cdb = cdb, .dataLength = 36};
  const Bytes input = BuildPassThrough(request);
  ASSERT_EQ(input.size(), PassThroughLength(request));
  const ScsiPassThrough spt = PassThroughOf(input);
  EXPECT_EQ(spt.Length, sizeof(ScsiPassThrough));
  EXPECT_EQ((Bytes{spt.PathId, spt.TargetId, spt.Lun, spt.CdbLength, spt.DataIn}),
            (Bytes{1, 2, 3, 6, ScsiIoctlDataIn}));
  EXPECT_EQ(Bytes(spt.Cdb, spt.Cdb + 6), cdb);
  EXPECT_GT(spt.TimeOutValue, 0u);
  EXPECT_LT(spt.TimeOutValue, 10u);  // inside the program's wait
  EXPECT_GE(spt.SenseInfoOffset, sizeof(ScsiPassThrough));
  EXPECT_LE(spt.SenseInfoOffset + spt.SenseInfoLength, spt.DataBufferOffset);
  EXPECT_EQ(spt.DataBufferOffset + 36, input.size());

  const Bytes sense = {0x70, 0, 1, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x17, 0};
  const auto reply =
      ParsePassThrough(PassThroughOutput(input, STATUS_CHKCOND, sense, Inquiry(0, 20)), 36);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->scsiStatus, STATUS_CHKCOND);
  EXPECT_EQ(reply->sense, sense);
  EXPECT_EQ(reply->data, Inquiry(0, 20));
  // A transfer length beyond the buffer Windows returned reads no further.
  Bytes claimsMore = PassThroughOutput(input, STATUS_GOOD, {}, Inquiry(0, 20));
  Put(claimsMore, offsetof(ScsiPassThrough, DataTransferLength), std::uint32_t{36});
  EXPECT_EQ(ParsePassThrough(claimsMore, 36)->data.size(), 20u);
  EXPECT_FALSE(ParsePassThrough(Bytes(sizeof(ScsiPassThrough) - 1, 0), 36));
}

struct StatusCase {
  std::uint32_t error;
  std::uint8_t haStat;
};

class StatusTableTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTableTest, FailedCallsTellTheBusStatus) {
  const CommandOutcome outcome = FailedCall(GetParam().error);
  EXPECT_EQ(outcome.status, SS_ERR);
  EXPECT_EQ(outcome.haStat, GetParam().haStat) << GetParam().error;
}

INSTANTIATE_TEST_SUITE_P(Errors, StatusTableTest,
                         ::testing::Values(StatusCase{ErrorFileNotFound, HASTAT_SEL_TO},
                                           StatusCase{ErrorDevNotExist, HASTAT_SEL_TO},
                                           StatusCase{ErrorNoSuchDevice, HASTAT_SEL_TO},
                                           StatusCase{ErrorDeviceNotConnected, HASTAT_SEL_TO},
                                           StatusCase{ErrorDeviceRemoved, HASTAT_SEL_TO},
                                           StatusCase{ErrorSemTimeout, HASTAT_COMMAND_TIMEOUT},
                                           StatusCase{ErrorTimeout, HASTAT_COMMAND_TIMEOUT},
                                           StatusCase{ErrorBusy, HASTAT_TIMEOUT},
                                           StatusCase{ErrorBusReset, HASTAT_BUS_RESET},
                                           StatusCase{ErrorCrc, HASTAT_PARITY_ERROR},
                                           StatusCase{ErrorIoDevice, HASTAT_PHASE_ERR},
                                           StatusCase{ErrorAccessDenied, HASTAT_OK},
                                           StatusCase{ErrorInvalidParameter, HASTAT_OK}));

TEST(TargetAnswer, RecoveredErrorIsGoodAndOtherConditionsAreNot) {
  const Bytes recovered = {0x70, 0, 0x01, 0, 0, 0, 0, 10};
  const Bytes attention = {0x70, 0, 0x06, 0, 0, 0, 0, 10};
  EXPECT_EQ(TargetAnswer(STATUS_CHKCOND, recovered, {1, 2}).status, SS_COMP);
  EXPECT_EQ(TargetAnswer(STATUS_CHKCOND, recovered, {1, 2}).sense, recovered);
  EXPECT_EQ(TargetAnswer(STATUS_CHKCOND, attention, {}).status, SS_ERR);
  EXPECT_EQ(TargetAnswer(0x08, {}, {}).targStat, 0x08);  // BUSY
  EXPECT_EQ(TargetAnswer(0x08, {}, {}).status, SS_ERR);
  EXPECT_TRUE(IsUnitAttention(STATUS_CHKCOND, attention));
  EXPECT_FALSE(IsUnitAttention(STATUS_GOOD, attention));
}

}  // namespace
}  // namespace wintest
