#include "reports/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

const NumberSeparators English{",", "."};
const NumberSeparators German{".", ","};

struct LineCase {
  const char* name;
  std::string line;
  std::string expected;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class FormatLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(FormatLineTest, BuildsTheLine) { EXPECT_EQ(GetParam().line, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Conversions, FormatLineTest,
    ::testing::Values(
        LineCase{"TextKeepsNulBytes", FormatLine("%s%s", {std::string("AB\0\0C", 5), "|"}),
                 std::string("AB\0\0C|", 6)},
        LineCase{"DecimalNegative", FormatLine("%d/%d/%d", {0, -17, 2147483647}), "0/-17/2147483647"},
        LineCase{"DecimalUnsigned32", FormatLine("%d", {4294967295u}), "4294967295"},
        LineCase{"HexUpperNoZeros", FormatLine("%x,%x,%x,%x", {128, 10, 0, 0xBEEF}), "80,A,0,BEEF"},
        LineCase{"LeftJustifyPads", FormatLine("%-22s|", {"ABC"}), "ABC" + std::string(19, ' ') + "|"},
        LineCase{"LeftJustifyNeverCuts",
                 FormatLine("%-22s|", {"ABCDEFGHIJKLMNOPQRSTUVWXYZ"}), "ABCDEFGHIJKLMNOPQRSTUVWXYZ|"},
        LineCase{"WidthCountsBytes", FormatLine("%-22s|", {"\x83\x65\x81\x5B\x83\x76"}),
                 "\x83\x65\x81\x5B\x83\x76" + std::string(16, ' ') + "|"},
        LineCase{"WidthExactlyFilled", FormatLine("%-4s|", {"ABCD"}), "ABCD|"},
        LineCase{"RightJustify", FormatLine("%5d|%3s", {42, "x"}), "   42|  x"},
        LineCase{"PercentSign", FormatLine("100%%", {}), "100%"},
        LineCase{"ReportLineText", ReportLine("LABEL", "VALUE"), "LABEL" + std::string(17, ' ') + "= VALUE"},
        LineCase{"ReportLineNumber", ReportLine("LABEL", std::int64_t{-3}),
                 "LABEL" + std::string(17, ' ') + "= -3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatLine, RefusesMismatchedArguments) {
  EXPECT_THROW(FormatLine("%d", {"text"}), std::invalid_argument);
  EXPECT_THROW(FormatLine("%s", {5}), std::invalid_argument);
  EXPECT_THROW(FormatLine("%s%s", {"one"}), std::invalid_argument);
  EXPECT_THROW(FormatLine("%s", {"one", "two"}), std::invalid_argument);
  EXPECT_THROW(FormatLine("%q", {1}), std::invalid_argument);
  EXPECT_THROW(FormatLine("%-2", {"x"}), std::invalid_argument);
  EXPECT_THROW(FormatLine("%-66666666666666666666s", {"x"}), std::invalid_argument);
  EXPECT_EQ(FormatLine("%4096s", {"x"}).size(), 4096u);
}

struct NumberCase {
  long double value;
  const char* english;
  const char* german;
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.english; }

class FormatNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(FormatNumberTest, GroupsAndRounds) {
  EXPECT_EQ(FormatNumber(GetParam().value, English), GetParam().english);
  EXPECT_EQ(FormatNumber(GetParam().value, German), GetParam().german);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatNumberTest,
    ::testing::Values(
        NumberCase{0.0L, "0.00", "0,00"},
        NumberCase{0.125L, "0.13", "0,13"},      // a half goes away from zero
        NumberCase{0.375L, "0.38", "0,38"},
        NumberCase{0.005L, "0.01", "0,01"},     // rounds at 18 digits before it cuts
        NumberCase{0.004L, "0.00", "0,00"},
        NumberCase{0.0049999L, "0.00", "0,00"},
        NumberCase{1e-30L, "0.00", "0,00"},
        NumberCase{0.999L, "1.00", "1,00"},
        NumberCase{999.995L, "1,000.00", "1.000,00"},
        NumberCase{2007.0703125L, "2,007.07", "2.007,07"},
        NumberCase{650.3886719L, "650.39", "650,39"},
        NumberCase{8683.2231445L, "8,683.22", "8.683,22"},
        NumberCase{123456.0L, "123,456.00", "123.456,00"},
        NumberCase{2097152.0L, "2,097,152.00", "2.097.152,00"},
        NumberCase{16777216.0L, "16,777,216.00", "16.777.216,00"},
        // Beyond 18 significant digits only zeros follow.
        NumberCase{75557863708322137374720.0L, "75,557,863,708,322,137,400,000.00",
                   "75.557.863.708.322.137.400.000,00"},
        NumberCase{-1234.5L, "-1,234.50", "-1.234,50"},
        // Exact halves at the 18th digit go away from zero; a hair either
        // side of one is no half.
        NumberCase{1000000000000000.125L, "1,000,000,000,000,000.13", "1.000.000.000.000.000,13"},
        NumberCase{2000000000000000.625L, "2,000,000,000,000,000.63", "2.000.000.000.000.000,63"},
        NumberCase{std::nextafter(1000000000000000.125L, 0.0L), "1,000,000,000,000,000.12",
                   "1.000.000.000.000.000,12"},
        NumberCase{9999999999999999.995L, "10,000,000,000,000,000.00",
                   "10.000.000.000.000.000,00"},
        NumberCase{-1000000000000000.125L, "-1,000,000,000,000,000.13",
                   "-1.000.000.000.000.000,13"}));

TEST(FormatNumber, TakesMultiByteSeparators) {
  const NumberSeparators fullWidth{"\x81\x43", "\x81\x44"};  // "，" and "．"
  EXPECT_EQ(FormatNumber(1234567.891L, fullWidth), "1\x81\x43" "234\x81\x43" "567\x81\x44" "89");
}

TEST(FormatNumber, SameSeparatorsLeaveTheDigitsUngrouped) {
  EXPECT_EQ(FormatNumber(2097152.0L, {",", ","}), "2097152,00");
  EXPECT_EQ(FormatNumber(2007.0703125L, {".", "."}), "2007.07");
}

// The rule both systems take their locale's separators by: Windows hands
// over the characters as they are.
TEST(NumberSeparatorsOf, CharactersBecomeCodePage932OrTheDefault) {
  struct Case {
    std::optional<char32_t> thousands;
    std::optional<char32_t> decimal;
    NumberSeparators expected;
  };
  const Case cases[] = {
      {U'.', U',', {".", ","}},
      {U'\u202F', U',', {" ", ","}},  // fr-FR
      {U'\u00A0', U',', {" ", ","}},
      {U'\u2009', U'.', {" ", "."}},
      {U'\u2019', U'.', {"\x81\x66", "."}},  // de-CH
      {U'\u066C', U'\u066B', {",", "."}},    // Arabic: no code page 932 form
      {U'\U0001F600', U'.', {",", "."}},
      {std::nullopt, std::nullopt, {",", "."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c.thousands.value_or(0)));
    EXPECT_EQ(NumberSeparatorsOf(c.thousands, c.decimal), c.expected);
  }
}

#ifndef _WIN32
TEST(NumberSeparatorsOf, TakesTheFirstCharacterInCodePage932) {
  struct Case {
    const char* thousands;
    const char* decimal;
    const char* codeset;
    NumberSeparators expected;
  };
  const Case cases[] = {
      {"", ".", "ANSI_X3.4-1968", {",", "."}},           // the C locale groups nothing
      {".", ",", "UTF-8", {".", ","}},
      {"\u202F", ",", "UTF-8", {" ", ","}},              // fr_FR, ru_RU
      {"\u00A0", ",", "UTF-8", {" ", ","}},
      {"\u2009", ".", "UTF-8", {" ", "."}},
      {"\xA0", ",", "ISO-8859-1", {" ", ","}},
      {"\u2019", ".", "UTF-8", {"\x81\x66", "."}},       // de_CH: ’ has a 932 form
      {"\u066C", "\u066B", "UTF-8", {",", "."}},          // Arabic: none
      {nullptr, nullptr, "UTF-8", {",", "."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.thousands != nullptr ? c.thousands : "null");
    EXPECT_EQ(NumberSeparatorsOf(c.thousands, c.decimal, c.codeset), c.expected);
  }
}

// ctest runs this under LC_ALL=C; the other C locales are set here.
TEST(FormatLine, NumberTakesPlainSeparatorsFromTheCLocales) {
  const char* before = std::getenv("LC_ALL");
  const std::string saved = before != nullptr ? before : "";
  for (const char* name : {"C", "POSIX", "C.UTF-8"}) {
    SCOPED_TRACE(name);
    setenv("LC_ALL", name, 1);
    EXPECT_EQ(SystemNumberSeparators(), English);
    EXPECT_EQ(FormatLine("%n", {2007.0703125L}), "2,007.07");
  }
  if (before != nullptr) setenv("LC_ALL", saved.c_str(), 1); else unsetenv("LC_ALL");
}
#endif

}  // namespace
