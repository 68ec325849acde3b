#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "text/cp932.h"
#include "reports/device_type_words.h"
#include "reports/texts.h"

namespace {

struct LengthCase {
  const char* name;
  const std::string& text;
  std::size_t bytes;
};

// Column arithmetic of every line rests on these byte counts.
TEST(ReportTexts, HaveTheirCodePage932Lengths) {
  const ReportTexts& t = Texts();
  const LengthCase cases[] = {
      {"adapterCountLabel", t.adapterCountLabel, 26},
      {"adapterScsiIdLabel", t.adapterScsiIdLabel, 26},
      {"aspiDeviceTypeLabel", t.aspiDeviceTypeLabel, 17},
      {"headsLabel", t.headsLabel, 12},
      {"sectorsLabel", t.sectorsLabel, 12},
      {"inquiryLabel", t.inquiryLabel, 14},
      {"vendorLabel", t.vendorLabel, 10},
      {"productLabel", t.productLabel, 14},
      {"revisionLabel", t.revisionLabel, 14},
      {"isoVersionLabel", t.isoVersionLabel, 13},
      {"ecmaVersionLabel", t.ecmaVersionLabel, 14},
      {"ansiVersionLabel", t.ansiVersionLabel, 14},
      {"dataFormatLabel", t.dataFormatLabel, 17},
      {"sectorSizeLabel", t.sectorSizeLabel, 12},
      {"capacityLabel", t.capacityLabel, 13},
  };
  for (const LengthCase& c : cases) EXPECT_EQ(c.text.size(), c.bytes) << c.name;
}

TEST(DeviceTypeWords, HaveTheirCodePage932Lengths) {
  const std::size_t bytes[32] = {6, 6, 8, 10, 24, 12, 8, 4, 18, 8};
  for (int value = 0; value < 31; ++value) {
    EXPECT_EQ(DeviceTypeWords(value).size(), bytes[value]) << "type " << value;
  }
  EXPECT_EQ(DeviceTypeWords(31).size(), 4u);
  for (int value : {32, 63, 255, -1}) EXPECT_EQ(DeviceTypeWords(value), "") << "type " << value;
}

TEST(Cp932, UsesTheWindowsTable) {
  struct Case {
    const char* utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {"－", "\x81\x7C"},                    // plain SHIFT_JIS refuses this one
      {"ＣＤ－ＲＯＭ", "\x82\x62\x82\x63\x81\x7C\x82\x71\x82\x6E\x82\x6C"},
      {"ﾒｶﾞ", "\xD2\xB6\xDE"},               // half-width katakana: one byte each
      {"不明", "\x95\x73\x96\xBE"},
      {"ASCII = 7", "ASCII = 7"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Cp932(c.utf8), c.bytes) << c.utf8;
}

TEST(Cp932, RefusesWhatItCannotWrite) {
  EXPECT_THROW(Cp932("\xF0\x9F\x98\x80"), std::invalid_argument);  // an emoji
  EXPECT_THROW(Cp932("\xE3\x81"), std::invalid_argument);          // cut-off UTF-8
  EXPECT_THROW(Cp932("\xFF"), std::invalid_argument);              // not UTF-8
}

// Device bytes decode to the same characters on every system: single bytes
// are ASCII and half-width katakana only, and no control, C0 or C1, ever
// passes where substitutes are asked for. (Windows' own table makes 80h
// U+0080 and A0h, FDh-FFh private-use characters.)
TEST(Cp932, DecodesTheSameCharactersOnEverySystem) {
  struct Case {
    std::string bytes;
    ControlBytes controls;
    std::u32string characters;
  };
  using namespace std::string_literals;
  const auto Sub = ControlBytes::Substitute;
  const Case cases[] = {
      {"\x80", Sub, U"\uFFFD"},
      {"\x80", ControlBytes::Keep, U"\uFFFD"},
      {"A\xA0" "B", Sub, U"A\uFFFD" "B"},
      {"\xFD\xFE\xFF", Sub, U"\uFFFD\uFFFD\uFFFD"},
      {"\xA1\xB1\xDF", Sub, U"\uFF61\uFF71\uFF9F"},
      {"\x82\x80", Sub, U"\uFFFD\uFFFD"},  // no character, then 80h alone
      {"\x81\x7C\x82\x60", Sub, U"\uFF0D\uFF21"},
      {"\xF0\x40", Sub, U"\uE000"},  // the user-defined area
      {"\x81\x20", Sub, U"\uFFFD "},
      {"end\x81", Sub, U"end\uFFFD"},
      {"\0\x1F\x7F"s, Sub, U"\uFFFD\uFFFD\uFFFD"},
      {"\0\x1F\x7F"s, ControlBytes::Keep, U"\0\x1F\x7F"s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932ToUtf32(c.bytes, U'\uFFFD', c.controls), c.characters)
        << testing::PrintToString(c.bytes);
  }
}

}  // namespace
