// Code page 932 bytes as the panes and lists show them.
#include <QFontMetrics>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <string>

#include "ui/qt/cp932_text.h"
#include "ui/qt/drop_down_list.h"
#include "ui/qt/scaling.h"

namespace {

struct DisplayCase {
  std::string bytes;
  const char* shown;  // UTF-8, with ･ for the substitute
};

class DisplayTextTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTextTest, DecodesUpToTheFirstNul) {
  const DisplayCase& c = GetParam();
  EXPECT_EQ(DisplayText(c.bytes).toStdString(), c.shown);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Bytes, DisplayTextTest,
    ::testing::Values(
        DisplayCase{"Host No.0 Driver = ASPI for WIN32\0\0"s, "Host No.0 Driver = ASPI for WIN32"},
        DisplayCase{"AB\0CDEFG"s, "AB"},
        DisplayCase{"\0ABC"s, ""},
        DisplayCase{"ABCDEFGHIJKLMNOP"s, "ABCDEFGHIJKLMNOP"},
        DisplayCase{"\x93\xe0\x91\xa0SCSI"s, "内蔵SCSI"},
        DisplayCase{"\xbb\xb2\xbd\xde"s, "ｻｲｽﾞ"},
        DisplayCase{"\x82\x60\x81\x7c"s, "Ａ－"},
        DisplayCase{"A\x80" "B\xff" "C"s, "A･B･C"},
        DisplayCase{"\x82\x20Z"s, "･ Z"},
        DisplayCase{"end\x81"s, "end･"},
        DisplayCase{"a\tb\nc\rd\x7f"s, "a･b･c･d･"},
        DisplayCase{"\\~"s, "\\~"},
        // NEC's special characters, NEC's pick of IBM's kanji, and IBM's
        // extensions up to their last character, FC4Bh.
        DisplayCase{"\x87\x40\xed\x40"s, "①纊"},
        DisplayCase{"\xfa\x40\xfc\x4b"s, "ⅰ黑"},
        DisplayCase{"\xfc\x4c"s, "･L"}));

TEST(Cp932LengthTest, CountsBytesOfTheCodePage) {
  EXPECT_EQ(Cp932Length(QString()), 0u);
  EXPECT_EQ(Cp932Length(QStringLiteral("12 : X")), 6u);
  EXPECT_EQ(Cp932Length(QStringLiteral("内蔵SCSI")), 8u);
  EXPECT_EQ(Cp932Length(QStringLiteral("ｻｲｽﾞ")), 4u);
  EXPECT_EQ(Cp932Length(QStringLiteral("€")), 1u);  // no code page 932 form
}

TEST(DropDownListTest, RefusesTypedTextBeyond255Bytes) {
  DropDownList list(nullptr);
  QString typed(255, QLatin1Char('9'));
  int position = 0;
  EXPECT_EQ(list.lineEdit()->validator()->validate(typed, position), QValidator::Acceptable);
  typed = QString(127, QChar(u'内')) + QStringLiteral("9");
  EXPECT_EQ(list.lineEdit()->validator()->validate(typed, position), QValidator::Acceptable);
  typed = QString(128, QChar(u'内'));
  EXPECT_EQ(list.lineEdit()->validator()->validate(typed, position), QValidator::Invalid);
  typed = QString(256, QLatin1Char('9'));
  EXPECT_EQ(list.lineEdit()->validator()->validate(typed, position), QValidator::Invalid);
}

// In the device pane's font every byte is one column: the substitute, a
// half-width katakana and an ASCII character alike, a full-width character
// two. That is what lines the "=" signs up.
TEST(FixedFontTest, ColumnsFollowCodePageBytes) {
  const QFontMetrics metrics(FixedFont(23));
  const int column = metrics.horizontalAdvance(QLatin1Char('A'));
  ASSERT_GT(column, 0);
  EXPECT_EQ(metrics.horizontalAdvance(QChar(SubstituteCharacter)), column);
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("ﾒ")), column);
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("ＨＤＤ")), 6 * column);
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("ASPIのDevice Type     = ")),
            metrics.horizontalAdvance(QStringLiteral("SCSIのInquiry         = ")));
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("容量(ﾒｶﾞﾊﾞｲﾄ)         = ")), 24 * column);
}

}  // namespace
