// busview.exe under Wine: what its panes, lists and boxes show, read
// through the controls, against busview-report on the same bus files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "busview_process.h"
#include "ui/win32/control_ids.h"

namespace {

const std::wstring Title = L"SCSI情報取得";

void Quit(BusviewProcess& busview) {
  busview.Click(IdSpeedButton2);
  EXPECT_EQ(busview.WaitForExit(30000), 0u) << "the quit command ends the program with 0";
}

// A detailed display of the lowest target of the first adapter, as the
// keyboard and the mouse choose it; whether the target list filled.
bool ShowFirstTargetInDetail(BusviewProcess& busview) {
  busview.Click(IdRadioButton2);
  busview.PressKey(busview.Control(IdComboBox2), VK_DOWN);
  if (!WaitUntil([&] { return !busview.Text(busview.Control(IdComboBox1)).empty(); })) return false;
  busview.Click(IdButton1);
  return true;
}

class PanesOnBus : public ::testing::TestWithParam<std::string> {};

// The host adapter pane and a simple display hold busview-report's lines,
// and the adapter list holds an entry per adapter line. Without a bus file
// ("" below), on what the layer finds, against busview-report's lines on
// the same layer ("no-bus-file.simple").
TEST_P(PanesOnBus, HoldBusviewReportsLines) {
  const std::string bus = GetParam();
  const std::vector<std::wstring> expected =
      ExpectedLines((bus.empty() ? "no-bus-file" : bus) + ".simple");
  const auto blank = std::find(expected.begin(), expected.end(), std::wstring());
  ASSERT_NE(blank, expected.end());
  const std::vector<std::wstring> adapters(expected.begin(), blank);
  const std::vector<std::wstring> devices(blank + 1, expected.end());

  BusviewProcess busview(bus.empty() ? "" : bus + ".json");
  ASSERT_NE(busview.WaitForForm1(), nullptr);
  EXPECT_EQ(busview.Lines(IdMemo2), adapters);

  std::vector<std::wstring> entries;
  for (const std::wstring& line : adapters) {
    const std::size_t name = line.find(L" Adapter = ");
    if (line.rfind(L"Host No.", 0) == 0 && name != std::wstring::npos) {
      entries.push_back(line.substr(8, name - 8) + L" : " + line.substr(name + 11));
    }
  }
  EXPECT_EQ(busview.Entries(IdComboBox2), entries);

  busview.Click(IdButton1);
  WaitUntil([&] { return busview.Lines(IdMemo1) == devices; });
  EXPECT_EQ(busview.Lines(IdMemo1), devices);
  Quit(busview);
}

// Named after their buses, so that a run may leave one out by name.
INSTANTIATE_TEST_SUITE_P(WindowTestBuses, PanesOnBus,
                         ::testing::Values("one-adapter", "two-adapters", "thirteen-adapters",
                                           "odd-texts", "selection", "no-adapters", "wide-targets",
                                           "first-and-last-targets"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });
INSTANTIATE_TEST_SUITE_P(NoBusFile, PanesOnBus, ::testing::Values(""));

// Choosing an adapter by keyboard lists the targets that answer and shows
// the lowest; a detailed display of it holds busview-report's lines.
TEST(Window, AdapterSelectionAndDetailedDisplay) {
  BusviewProcess busview("selection.json");
  ASSERT_NE(busview.WaitForForm1(), nullptr);
  busview.PressKey(busview.Control(IdComboBox2), VK_DOWN);
  EXPECT_TRUE(WaitUntil([&] { return busview.Text(busview.Control(IdComboBox1)) == L"2"; }));
  EXPECT_EQ(busview.Text(busview.Control(IdComboBox2)), L"0 : TWO-AND-FIVE");
  EXPECT_EQ(busview.Entries(IdComboBox1), (std::vector<std::wstring>{L"2", L"5"}));

  busview.Click(IdRadioButton2);
  busview.SetText(IdComboBox1, L"5");
  busview.Click(IdButton1);
  const std::vector<std::wstring> expected = ExpectedLines("selection.detailed-0-5");
  const std::vector<std::wstring> device(std::find(expected.begin(), expected.end(), L"") + 1,
                                         expected.end());
  WaitUntil([&] { return busview.Lines(IdMemo1) == device; });
  EXPECT_EQ(busview.Lines(IdMemo1), device);

  // The second adapter answers nowhere: the list empties, and so does its text.
  busview.PressKey(busview.Control(IdComboBox2), VK_DOWN);
  EXPECT_TRUE(WaitUntil([&] { return busview.Entries(IdComboBox1).empty(); }));
  EXPECT_EQ(busview.Text(busview.Control(IdComboBox1)), L"");
  Quit(busview);
}

// The detailed display refuses what names no adapter or target in a box;
// the program goes on.
TEST(Window, RefusalBoxes) {
  struct Case {
    const wchar_t* adapterText;
    const wchar_t* targetText;
    std::wstring text;
    bool icon;
  };
  const Case cases[] = {
      {L"", L"0", L"ホストアダプタをセレクトしてください", false},
      {L"x1", L"0", L"'x' は整数ではありません.", true},
      {L"0 : X", L"3a", L"'3a' は整数ではありません.", true},
  };
  BusviewProcess busview("one-adapter.json");
  ASSERT_NE(busview.WaitForForm1(), nullptr);
  busview.Click(IdRadioButton2);
  for (const Case& c : cases) {
    busview.SetText(IdComboBox2, c.adapterText);
    busview.SetText(IdComboBox1, c.targetText);
    busview.Click(IdButton1);
    const Box box = busview.WaitForBox();
    ASSERT_NE(box.handle, nullptr);
    EXPECT_EQ(box.title, Title);
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.icon, c.icon);
    RECT place{};
    GetWindowRect(box.handle, &place);
    EXPECT_NEAR(place.left, (GetSystemMetrics(SM_CXSCREEN) - (place.right - place.left)) / 2, 1)
        << "centred on the screen";
    EXPECT_NEAR(place.top, (GetSystemMetrics(SM_CYSCREEN) - (place.bottom - place.top)) / 2, 1);
    busview.PressOk(box);
    EXPECT_TRUE(WaitUntil([&] { return busview.TopWindow(L"#32770", true) == nullptr; }));
    EXPECT_TRUE(busview.Lines(IdMemo1).empty());
  }
  // A request to end while a box is open closes it, and the program ends.
  busview.Click(IdButton1);
  ASSERT_NE(busview.WaitForBox().handle, nullptr);
  PostMessageW(busview.WaitForForm1(), WM_CLOSE, 0, 0);
  EXPECT_EQ(busview.WaitForExit(30000), 0u);
}

// The about box: one box, centred the first time; Escape does nothing,
// Enter presses OK; shown again where it was moved to; its close box hides
// it and the program goes on.
TEST(Window, AboutBoxIsShownOnce) {
  BusviewProcess busview("one-adapter.json");
  ASSERT_NE(busview.WaitForForm1(), nullptr);
  HWND box = busview.TopWindow(BUSVIEW_ABOUT_BOX_CLASS, false);
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(IsWindowVisible(box));
  busview.Click(IdSpeedButton1);
  busview.Click(IdSpeedButton1);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(box) != FALSE; }));
  EXPECT_EQ(busview.TopWindow(BUSVIEW_ABOUT_BOX_CLASS, true), box);
  EXPECT_EQ(busview.Text(box), L"ﾊﾞｰｼﾞｮﾝ情報");
  RECT shown{};
  GetWindowRect(box, &shown);
  EXPECT_EQ(shown.left, (GetSystemMetrics(SM_CXSCREEN) - (shown.right - shown.left)) / 2);
  EXPECT_EQ(shown.top, (GetSystemMetrics(SM_CYSCREEN) - (shown.bottom - shown.top)) / 2);

  HWND ok = busview.Control(IdOKButton, box);
  busview.PressKey(ok, VK_ESCAPE);
  busview.Click(IdSpeedButton1);  // done after the key
  Sleep(500);
  EXPECT_TRUE(IsWindowVisible(box)) << "Escape hid the box";
  SetWindowPos(box, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  busview.PressKey(ok, VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(box); }));
  busview.Click(IdSpeedButton1);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(box) != FALSE; }));
  RECT again{};
  GetWindowRect(box, &again);
  EXPECT_EQ(again.left, 40);
  EXPECT_EQ(again.top, 30);
  PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(box); }));
  EXPECT_EQ(busview.WaitForExit(500), STILL_ACTIVE);
  Quit(busview);
}

// A display that waits on a hung device, then 終了: the program ends with 0.
TEST(Window, HungDeviceThenQuitEndsWithZero) {
  BusviewProcess busview("hung-device.json");
  ASSERT_NE(busview.WaitForForm1(), nullptr);
  busview.Click(IdButton1);
  busview.Click(IdSpeedButton2);
  EXPECT_EQ(busview.WaitForExit(60000), 0u);
}

// An unusable layer: one error box, then the end. Without a bus file
// (""), on a layer that finds no host adapter.
class UnusableLayer : public ::testing::TestWithParam<std::string> {};

TEST_P(UnusableLayer, ShowsTheErrorBoxThenEnds) {
  BusviewProcess busview(GetParam());
  const Box box = busview.WaitForBox();
  ASSERT_NE(box.handle, nullptr);
  EXPECT_EQ(box.title, L"ｴﾗｰ");
  EXPECT_EQ(box.text, L"ASPI for WIN32が組み込まれていません");
  EXPECT_TRUE(box.icon);
  busview.PressOk(box);
  EXPECT_EQ(busview.WaitForExit(30000), 0u);
}

INSTANTIATE_TEST_SUITE_P(Window, UnusableLayer, ::testing::Values("unusable.json"));
INSTANTIATE_TEST_SUITE_P(NoBusFile, UnusableLayer, ::testing::Values(""));

// Only in a French session (scripts/test-windows runs it so): the capacity
// is grouped with a plain blank, as busview-report shows it on Linux in that
// locale. The locale's own blank has no code page 932 form.
TEST(FrenchSession, CapacityIsGroupedWithABlank) {
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
  ASSERT_STREQ(locale, L"fr-FR") << "the session is not French";
  const std::vector<std::wstring> expected = ExpectedLines("one-adapter.detailed-0-0");
  const std::vector<std::wstring> device(std::find(expected.begin(), expected.end(), L"") + 1,
                                         expected.end());
  BusviewProcess busview("one-adapter.json");
  ASSERT_NE(busview.WaitForForm1(), nullptr);
  ASSERT_TRUE(ShowFirstTargetInDetail(busview));
  WaitUntil([&] { return busview.Lines(IdMemo1) == device; });
  const std::vector<std::wstring> lines = busview.Lines(IdMemo1);
  EXPECT_EQ(lines, device);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), L"容量(ﾒｶﾞﾊﾞｲﾄ)         = 2 007,07");
  Quit(busview);
}

// window_tests --pose-for-screenshot BUS: busview.exe on BUS after a
// detailed display of adapter 0 and its lowest target. Prints the main
// window's place on the screen as "left top width height" once it shows
// it, and leaves it so for 60 s (scripts/screenshot-windows).
int PoseForScreenshot(const std::string& bus) {
  BusviewProcess busview(bus);
  HWND form1 = busview.WaitForForm1();
  if (form1 == nullptr) return 1;
  if (!ShowFirstTargetInDetail(busview)) return 1;
  if (!WaitUntil([&] { return busview.Lines(IdMemo1).size() > 10; })) return 1;
  RECT place{};
  GetWindowRect(form1, &place);
  std::printf("%ld %ld %ld %ld\n", place.left, place.top, place.right - place.left,
              place.bottom - place.top);
  std::fflush(stdout);
  busview.WaitForExit(60000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--pose-for-screenshot")
    return PoseForScreenshot(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
