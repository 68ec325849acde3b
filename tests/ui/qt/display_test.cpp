// The display command, clicked on the real window: simple and detailed
// displays, and the boxes of its failures.
#include <QRadioButton>

#include "ui_fixture.h"

namespace {

using namespace uitest;

QStringList SimpleLinesOfTheExampleDisk() {
  return {QStringLiteral("HostNo 0,ID 0 の装置"),
          ReportLine("ASPIのDevice Type", 5, "ＨＤＤ"),
          ReportLine("SCSIのInquiry ", 8, "ＨＤＤ"),
          ReportLine("ベンダＩＤ", 12, "VENDOR01"),
          ReportLine("プロダクトＩＤ", 8, "MODEL-2000      "),
          ReportLine("プロダクト版数", 8, "0100")};
}

class Display : public WindowsOnBus {};

TEST_F(Display, SimpleWithoutAdaptersLeavesTheDevicePaneEmpty) {
  StartShownOn("no-adapters.json");
  BoxWatcher boxes(BoxWatcher::Mode::Watch, 500);
  Click(Form1->Button1);
  EXPECT_EQ(Form1->Memo1->toPlainText(), QString());
  EXPECT_TRUE(boxes.seen.empty()) << Describe(boxes.seen);
}

TEST_F(Display, SimpleWithOneAdapterEndsWithOneBlankLine) {
  StartShownOn("one-adapter.json");
  Click(Form1->Button1);
  EXPECT_EQ(Lines(Form1->Memo1), SimpleLinesOfTheExampleDisk() + QStringList{" "});
  // The next display starts from an empty pane.
  Click(Form1->Button1);
  EXPECT_EQ(Lines(Form1->Memo1), SimpleLinesOfTheExampleDisk() + QStringList{" "});
}

TEST_F(Display, SimpleWithTwoAdaptersSeparatesThemWithBlankLines) {
  StartShownOn("two-adapters.json");
  Click(Form1->Button1);
  const QStringList expected =
      SimpleLinesOfTheExampleDisk() +
      QStringList{" ", QStringLiteral("HostNo 1,ID 3 の装置"),
                  ReportLine("ASPIのDevice Type", 5, "ＣＤ－ＲＯＭ"),
                  ReportLine("SCSIのInquiry ", 8, "ＣＤ－ＲＯＭ"),
                  ReportLine("ベンダＩＤ", 12, "TOSHIBA "),
                  ReportLine("プロダクトＩＤ", 8, "CD-ROM XM-6201TA"),
                  ReportLine("プロダクト版数", 8, "1037"), " "};
  EXPECT_EQ(Lines(Form1->Memo1), expected);
}

TEST_F(Display, DetailedShowsTheExampleDiskWhole) {
  StartShownOn("one-adapter.json");
  BoxWatcher boxes(BoxWatcher::Mode::Watch, 500);
  ChooseAdapterEntry(0);
  ASSERT_EQ(Form1->ComboBox2->currentText(), QStringLiteral("0 : ABCD-123"));
  ASSERT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("0"));
  Click(Form1->RadioButton2);
  ASSERT_TRUE(Form1->RadioButton2->isChecked());
  EXPECT_FALSE(Form1->RadioButton1->isChecked());
  Click(Form1->Button1);
  const QStringList expected = {
      QStringLiteral("HostNo 0,ID 0 の装置"),
      ReportLine("ASPIのDevice Type", 5, "ＨＤＤ"),
      QStringLiteral("INT13H UNIT (OS管理) (ドライブ番号 = 80)"),
      ReportLine("ヘッド変換値", 10, "64"),
      ReportLine("セクタ変換値", 10, "32"),
      ReportLine("SCSIのInquiry ", 8, "ＨＤＤ"),
      ReportLine("ベンダＩＤ", 12, "VENDOR01"),
      ReportLine("プロダクトＩＤ", 8, "MODEL-2000      "),
      ReportLine("プロダクト版数", 8, "0100"),
      ReportLine("ISOバージョン", 9, "0"),
      ReportLine("ECMAバージョン", 8, "0"),
      ReportLine("ANSIバージョン", 8, "2"),
      ReportLine("Inquiryデータ書式", 5, "SCSI-2"),
      QStringLiteral("１６ビットワイドバス"),
      QStringLiteral("同期転送可能"),
      QStringLiteral("タグ付きコマンドキューイング有り"),
      QStringLiteral(" "),
      QStringLiteral("Read Capacity情報"),
      ReportLine("セクタサイズ", 10, "512"),
      ReportLine("容量(ﾒｶﾞﾊﾞｲﾄ)", 9, "2,007.07")};
  EXPECT_EQ(Lines(Form1->Memo1), expected);
  EXPECT_EQ(CurrentAdapter, 0);
  EXPECT_EQ(CurrentTarget, 0);
  EXPECT_TRUE(boxes.seen.empty()) << Describe(boxes.seen);
}

TEST_F(Display, NulEndsAPaneLineAndBadBytesShowAsSubstitutes) {
  StartShownOn("odd-texts.json");
  Click(Form1->Button1);
  const QStringList lines = Lines(Form1->Memo1);
  // The vendor line of target 0 stops at its NUL; the line after it is whole.
  const qsizetype vendor0 = lines.indexOf(ReportLine("ベンダＩＤ", 12, "AB"));
  ASSERT_GE(vendor0, 0) << lines.join('\n').toStdString();
  EXPECT_EQ(lines.value(vendor0 + 1), ReportLine("プロダクトＩＤ", 8, "PRODUCT         "));
  EXPECT_TRUE(lines.contains(ReportLine("ベンダＩＤ", 12, "A･B･C･D･")));
  EXPECT_TRUE(lines.contains(ReportLine("プロダクトＩＤ", 8, "あ･ Z")));
}

TEST_F(Display, DetailedWithoutAdapterTextShowsThePlainBox) {
  StartShownOn("one-adapter.json");
  Click(Form1->Button1);
  ASSERT_NE(Form1->Memo1->toPlainText(), QString());
  CurrentAdapter = -5;
  CurrentTarget = -7;
  Click(Form1->RadioButton2);
  BoxWatcher boxes;
  Click(Form1->Button1);
  EXPECT_EQ(boxes.seen, OnlyBox(QStringLiteral("SCSI情報取得"),
                                QStringLiteral("ホストアダプタをセレクトしてください"),
                                QMessageBox::NoIcon));
  EXPECT_EQ(Form1->Memo1->toPlainText(), QString());
  EXPECT_EQ(CurrentAdapter, -5);
  EXPECT_EQ(CurrentTarget, -7);
}

// The target text as typed, on adapter 0 of a bus with devices at targets
// 3, 10, 44 and 255; the requests carry the low 8 bits.
struct TargetCase {
  const char* typed;
  const char* failure;  // the failure box's text, or null
  std::int32_t target;
  const char* vendor;
};

class TargetText : public WindowsOnBus, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(TargetText, RunsTheReportsWithItsValueOrFails) {
  const TargetCase& c = GetParam();
  StartShownOn("wide-targets.json");
  ChooseAdapterEntry(0);
  ASSERT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("3"));
  Click(Form1->RadioButton2);
  TypeInto(Form1->ComboBox1, QString::fromUtf8(c.typed));
  ASSERT_EQ(Form1->ComboBox1->currentText(), QString::fromUtf8(c.typed));
  CurrentAdapter = -5;
  CurrentTarget = -7;
  BoxWatcher boxes;
  Click(Form1->Button1);
  EXPECT_EQ(CurrentAdapter, 0);
  if (c.failure != nullptr) {
    EXPECT_EQ(boxes.seen, OnlyBox(QStringLiteral("SCSI情報取得"), QString::fromUtf8(c.failure),
                                  QMessageBox::Critical));
    EXPECT_EQ(Form1->Memo1->toPlainText(), QString());
    EXPECT_EQ(CurrentTarget, -7);
    return;
  }
  EXPECT_TRUE(boxes.seen.empty()) << Describe(boxes.seen);
  EXPECT_EQ(CurrentTarget, c.target);
  const QStringList lines = Lines(Form1->Memo1);
  EXPECT_EQ(lines.value(0), QStringLiteral("HostNo 0,ID %1 の装置").arg(c.target));
  EXPECT_TRUE(lines.contains(ReportLine("ベンダＩＤ", 12, QString::fromUtf8(c.vendor))))
      << lines.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TargetText,
    ::testing::Values(TargetCase{"", "'' は整数ではありません.", 0, nullptr},
                      TargetCase{"3a", "'3a' は整数ではありません.", 0, nullptr},
                      TargetCase{" 3", nullptr, 3, "T3      "},
                      TargetCase{"$A", nullptr, 10, "T10     "},
                      TargetCase{"-1", nullptr, -1, "T255    "},
                      TargetCase{"300", nullptr, 300, "T44     "}));

TEST_F(Display, AdapterNumberIsTheLeadingDigitRunOfTheAdapterText) {
  StartShownOn("wide-targets.json");
  ChooseAdapterEntry(0);
  Click(Form1->RadioButton2);
  TypeInto(Form1->ComboBox2, QStringLiteral("1x"));
  TypeInto(Form1->ComboBox1, QStringLiteral("3"));
  Click(Form1->Button1);
  const QStringList lines = Lines(Form1->Memo1);
  EXPECT_EQ(lines.value(0), QStringLiteral("HostNo 1,ID 3 の装置"));
  EXPECT_TRUE(lines.contains(ReportLine("ベンダＩＤ", 12, "SECOND3 ")));
}

TEST_F(Display, AdapterTextWithoutLeadingDigitFailsOnItsFirstCharacter) {
  StartShownOn("wide-targets.json");
  ChooseAdapterEntry(0);
  Click(Form1->RadioButton2);
  TypeInto(Form1->ComboBox2, QStringLiteral("x1"));
  CurrentAdapter = -5;
  BoxWatcher boxes;
  Click(Form1->Button1);
  EXPECT_EQ(boxes.seen, OnlyBox(QStringLiteral("SCSI情報取得"),
                                QStringLiteral("'x' は整数ではありません."), QMessageBox::Critical));
  EXPECT_EQ(Form1->Memo1->toPlainText(), QString());
  EXPECT_EQ(CurrentAdapter, -5);
  // The program goes on: the next command works.
  TypeInto(Form1->ComboBox2, QStringLiteral("1"));
  Click(Form1->Button1);
  EXPECT_EQ(Lines(Form1->Memo1).value(0), QStringLiteral("HostNo 1,ID 3 の装置"));
}

TEST_F(Display, AdapterFromTenOnIsReachable) {
  StartShownOn("thirteen-adapters.json");
  ChooseAdapterEntry(12);
  ASSERT_EQ(Form1->ComboBox2->currentText(), QStringLiteral("12 : HA12"));
  Click(Form1->RadioButton2);
  Click(Form1->Button1);
  const QStringList lines = Lines(Form1->Memo1);
  EXPECT_EQ(lines.value(0), QStringLiteral("HostNo 12,ID 4 の装置"));
  EXPECT_TRUE(lines.contains(ReportLine("ベンダＩＤ", 12, "V12     ")));
}

}  // namespace
