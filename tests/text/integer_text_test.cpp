// The integer conversions of the display command and the adapter selection.
#include <gtest/gtest.h>

#include <optional>

#include "ui/integer_text.h"

namespace {

struct IntegerCase {
  const char* text;
  std::optional<std::int32_t> value;
};

class ParseIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, ReadsExactlyTheAcceptedForms) {
  const IntegerCase& c = GetParam();
  EXPECT_EQ(ParseInteger(QString::fromUtf8(c.text)), c.value) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIntegerTest,
    ::testing::Values(
        IntegerCase{"3", 3}, IntegerCase{" 3", 3}, IntegerCase{"   42", 42},
        IntegerCase{"+7", 7}, IntegerCase{"-1", -1}, IntegerCase{"300", 300},
        IntegerCase{"007", 7}, IntegerCase{"2147483647", 2147483647},
        IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"2147483648", std::nullopt},
        IntegerCase{"-2147483649", std::nullopt}, IntegerCase{"99999999999", std::nullopt},
        IntegerCase{"$A", 10}, IntegerCase{"$a", 10}, IntegerCase{" $1f", 31},
        IntegerCase{"$FFFFFFFF", -1}, IntegerCase{"$80000000", INT32_MIN},
        IntegerCase{"$000000001", 1}, IntegerCase{"$100000000", std::nullopt},
        IntegerCase{"$", std::nullopt}, IntegerCase{"$G", std::nullopt},
        IntegerCase{"", std::nullopt}, IntegerCase{" ", std::nullopt},
        IntegerCase{"3 ", std::nullopt}, IntegerCase{"3a", std::nullopt},
        IntegerCase{"-", std::nullopt}, IntegerCase{"+", std::nullopt},
        IntegerCase{"-$1", std::nullopt}, IntegerCase{"- 3", std::nullopt},
        IntegerCase{"\t3", std::nullopt}, IntegerCase{"0x10", std::nullopt},
        IntegerCase{"３", std::nullopt}, IntegerCase{"1e3", std::nullopt}));

// What the failure carries: the conversion message with the text that
// failed.
std::optional<std::string> FailureOf(std::int32_t (*convert)(const QString&), const char* text,
                                     std::int32_t* value) {
  try {
    *value = convert(QString::fromUtf8(text));
    return std::nullopt;
  } catch (const CommandFailure& failure) {
    return std::string(failure.what());
  }
}

struct AdapterCase {
  const char* text;
  std::int32_t value;        // when the conversion succeeds
  const char* failedText;    // the text the message names, or null
};

class AdapterNumberTest : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(AdapterNumberTest, TakesTheLeadingDigitRun) {
  const AdapterCase& c = GetParam();
  std::int32_t value = -99;
  const auto failure = FailureOf(&AdapterNumberOf, c.text, &value);
  if (c.failedText == nullptr) {
    EXPECT_FALSE(failure) << *failure;
    EXPECT_EQ(value, c.value);
  } else {
    ASSERT_TRUE(failure) << "converted to " << value;
    EXPECT_EQ(*failure, std::string("'") + c.failedText + "' は整数ではありません");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AdapterNumberTest,
    ::testing::Values(AdapterCase{"0 : ABCD-123", 0, nullptr},
                      AdapterCase{"12 : HA12", 12, nullptr},
                      AdapterCase{"1x", 1, nullptr},
                      AdapterCase{"7", 7, nullptr},
                      AdapterCase{"2147483647:", 2147483647, nullptr},
                      AdapterCase{"x1", 0, "x"},
                      AdapterCase{" 1", 0, " "},
                      AdapterCase{"$1", 0, "$"},
                      AdapterCase{"-1", 0, "-"},
                      AdapterCase{"内蔵", 0, "内"},
                      AdapterCase{"2147483648 : X", 0, "2147483648"},
                      AdapterCase{"99999999999", 0, "99999999999"}));

TEST(IntegerOfTest, NamesTheWholeTextItFailedOn) {
  std::int32_t value = 0;
  for (const char* text : {"", "3a", " 3 ", "-$1"}) {
    const auto failure = FailureOf(&IntegerOf, text, &value);
    ASSERT_TRUE(failure) << text;
    EXPECT_EQ(*failure, std::string("'") + text + "' は整数ではありません");
  }
  EXPECT_FALSE(FailureOf(&IntegerOf, "$A", &value));
  EXPECT_EQ(value, 10);
}

}  // namespace
