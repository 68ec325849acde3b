#include <gtest/gtest.h>

#include "aspi/request_block.h"
#include "report_fixture.h"
#include "reports/survey.h"

namespace {

using Kind = RecordingWindow::Kind;

std::string CountLine(int count) { return S("ホストアダプタの数") + Blanks(6) + "= " + std::to_string(count); }
std::string IdLine(int id) { return "SCSI" + S("ホストアダプタの") + " ID = " + std::to_string(id); }
std::string Padded(std::string name) { return name + Nuls(16 - name.size()); }
std::string DriverLine(int adapter, const std::string& name16) {
  return "Host No." + std::to_string(adapter) + " Driver = " + name16;
}
std::string AdapterLine(int adapter, const std::string& name16) {
  return "Host No." + std::to_string(adapter) + " Adapter = " + name16;
}
std::string Item(int adapter, const std::string& name16) {
  return std::to_string(adapter) + " : " + name16;
}

class SurveyTest : public ReportTest {};

TEST_F(SurveyTest, OneAdapterGivesSixLinesAndOneItem) {
  UseBus("survey_one_adapter.json");
  SurveyHostAdapters();

  const std::string manager = Padded("ASPI for WIN32");
  const std::string identifier = Padded("ABCD-123");
  const std::vector<RecordingWindow::Call> expected = {
      {Kind::ClearMemo1, ""},
      {Kind::Memo2, CountLine(1)},
      {Kind::Memo2, IdLine(7)},
      {Kind::Memo2, " "},
      {Kind::Memo2, DriverLine(0, manager)},
      {Kind::Memo2, AdapterLine(0, identifier)},
      {Kind::ComboBox2, Item(0, identifier)},
      {Kind::Memo2, " "},
  };
  EXPECT_EQ(window.calls, expected);
  // Both labels are 26 bytes wide.
  EXPECT_EQ(CountLine(1).size(), 27u);
  EXPECT_EQ(IdLine(7).size(), 27u);
  EXPECT_EQ(window.ComboBox2()[0], std::string("0 : ABCD-123\0\0\0\0\0\0\0\0", 20));
  EXPECT_EQ(AdapterCount, 1);
  EXPECT_EQ(CurrentTarget, 7);
}

TEST_F(SurveyTest, CountAndIdComeFromTheFirstInquiryOnly) {
  UseBus("survey_two_adapters.json");
  SurveyHostAdapters();

  const std::vector<std::string> memo2 = {
      CountLine(2),
      IdLine(6),
      " ",
      DriverLine(0, Padded("ASPI for WIN32")),
      AdapterLine(0, Padded("ABCD-123")),
      " ",
      DriverLine(1, Padded("ASPI for WIN32")),
      AdapterLine(1, Padded("WXYZ-9")),
      " ",
  };
  EXPECT_EQ(window.Memo2(), memo2);
  EXPECT_EQ(window.ComboBox2(),
            (std::vector<std::string>{Item(0, Padded("ABCD-123")), Item(1, Padded("WXYZ-9"))}));
  EXPECT_EQ(AdapterCount, 2);
}

TEST_F(SurveyTest, NamesAreTakenByteForByte) {
  UseBus("survey_names.json");
  SurveyHostAdapters();

  struct Name {
    std::string manager;
    std::string identifier;
  };
  const Name names[] = {
      {"ASPI-MANAGER-16B", "ADAPTER-NAME-16B"},                       // no NUL at all
      {std::string("\0ABC", 4) + Nuls(12), std::string("\0XY", 3) + Nuls(13)},  // NUL first
      {Padded("ASPI  "), Padded("SCSI-CARD   ")},                    // blanks kept
      {Padded(S("ｱｽﾋﾟ管理")), Padded(S("アダプタ"))},                 // bytes from 80h up as they are
  };
  std::vector<std::string> memo2 = {CountLine(4), IdLine(7), " "};
  std::vector<std::string> items;
  for (int adapter = 0; adapter < 4; ++adapter) {
    ASSERT_EQ(names[adapter].manager.size(), 16u);
    ASSERT_EQ(names[adapter].identifier.size(), 16u);
    memo2.push_back(DriverLine(adapter, names[adapter].manager));
    memo2.push_back(AdapterLine(adapter, names[adapter].identifier));
    memo2.push_back(" ");
    items.push_back(Item(adapter, names[adapter].identifier));
  }
  EXPECT_EQ(window.Memo2(), memo2);
  EXPECT_EQ(window.ComboBox2(), items);
}

TEST_F(SurveyTest, AbortedInquiryOfAThirdAdapterEndsTheSurveyQuietly) {
  UseBus("survey_abort_third.json");
  SurveyHostAdapters();

  std::vector<std::string> memo2 = {CountLine(4), IdLine(7), " "};
  for (int adapter = 0; adapter < 2; ++adapter) {
    const std::string name = Padded("CARD-" + std::to_string(adapter));
    memo2.push_back(DriverLine(adapter, Padded("ASPI for WIN32")));
    memo2.push_back(AdapterLine(adapter, name));
    memo2.push_back(" ");
  }
  EXPECT_EQ(window.Memo2(), memo2);
  EXPECT_EQ(window.ComboBox2().size(), 2u);
  EXPECT_TRUE(window.Texts(Kind::ErrorBox).empty());
  EXPECT_EQ(AdapterCount, 4);
}

TEST_F(SurveyTest, ElevenAdaptersGiveTwoDigitItems) {
  UseBus("survey_eleven_adapters.json");
  SurveyHostAdapters();

  const auto items = window.ComboBox2();
  ASSERT_EQ(items.size(), 11u);
  EXPECT_EQ(items[9], Item(9, Padded("CARD-9")));
  EXPECT_EQ(items[10], Item(10, Padded("CARD-10")));
  EXPECT_EQ(window.Memo2().size(), 3u + 11 * 3);
}

// Outcomes of the probe and of the first inquiry, each with everything the
// window sees, in order.
struct OutcomeCase {
  const char* name;
  const char* bus;
  std::vector<RecordingWindow::Call> calls;
  std::int32_t adapterCount;
};
void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

class SurveyOutcomeTest : public SurveyTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(SurveyOutcomeTest, ShowsWhatTheOutcomeCallsFor) {
  UseBus(GetParam().bus);
  SurveyHostAdapters();
  EXPECT_EQ(window.calls, GetParam().calls);
  EXPECT_EQ(AdapterCount, GetParam().adapterCount);
}

const std::string NotInstalled = S("ASPI for WIN32が組み込まれていません");
const std::string InquiryFailed = S("ホストアダプタ情報の取得に失敗しました");

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SurveyOutcomeTest,
    ::testing::Values(
        // Only status 2 is a failure: here the reply fields read as cleared.
        OutcomeCase{"FirstInquiryErrorStatus", "survey_first_failed.json",
                    {{Kind::ClearMemo1, ""},
                     {Kind::Memo2, CountLine(0)},
                     {Kind::Memo2, IdLine(0)},
                     {Kind::Memo2, " "}},
                    0},
        OutcomeCase{"FirstInquiryAborted", "survey_first_aborted.json",
                    {{Kind::ClearMemo1, ""}, {Kind::ErrorBox, InquiryFailed}},
                    0},
        OutcomeCase{"NoAdapterCounted", "survey_no_count.json",
                    {{Kind::ClearMemo1, ""},
                     {Kind::Memo2, CountLine(0)},
                     {Kind::Memo2, IdLine(7)},
                     {Kind::Memo2, " "}},
                    0},
        // Not usable: the box, the request to end, and the survey still runs.
        OutcomeCase{"LayerNotUsable", "survey_unusable.json",
                    {{Kind::ErrorBox, NotInstalled},
                     {Kind::RequestEnd, ""},
                     {Kind::ClearMemo1, ""},
                     {Kind::Memo2, CountLine(1)},
                     {Kind::Memo2, IdLine(7)},
                     {Kind::Memo2, " "},
                     {Kind::Memo2, DriverLine(0, Padded("ASPI for WIN32"))},
                     {Kind::Memo2, AdapterLine(0, Padded("ABCD-123"))},
                     {Kind::ComboBox2, Item(0, Padded("ABCD-123"))},
                     {Kind::Memo2, " "}},
                    1},
        OutcomeCase{"NotUsableAndAborted", "survey_unusable_aborted.json",
                    {{Kind::ErrorBox, NotInstalled},
                     {Kind::RequestEnd, ""},
                     {Kind::ClearMemo1, ""},
                     {Kind::ErrorBox, InquiryFailed}},
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
