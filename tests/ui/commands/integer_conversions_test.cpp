// The integer conversions of the display command and the adapter selection.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "ui/commands/integer_conversions.h"

namespace {

// What the failure carries: the conversion message with the text that
// failed.
std::optional<std::string> FailureOf(std::int32_t (*convert)(std::u16string_view),
                                     const char16_t* text, std::int32_t* value) {
  try {
    *value = convert(text);
    return std::nullopt;
  } catch (const CommandFailure& failure) {
    return std::string(failure.what());
  }
}

struct AdapterCase {
  const char16_t* text;
  std::int32_t value;      // when the conversion succeeds
  const char* failedText;  // the text the message names, or null
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
    ::testing::Values(AdapterCase{u"0 : ABCD-123", 0, nullptr},
                      AdapterCase{u"12 : HA12", 12, nullptr},
                      AdapterCase{u"1x", 1, nullptr},
                      AdapterCase{u"7", 7, nullptr},
                      AdapterCase{u"2147483647:", 2147483647, nullptr},
                      AdapterCase{u"x1", 0, "x"},
                      AdapterCase{u" 1", 0, " "},
                      AdapterCase{u"$1", 0, "$"},
                      AdapterCase{u"-1", 0, "-"},
                      AdapterCase{u"内蔵", 0, "内"},
                      AdapterCase{u"😀 : X", 0, "😀"},
                      AdapterCase{u"2147483648 : X", 0, "2147483648"},
                      AdapterCase{u"99999999999", 0, "99999999999"}));

TEST(IntegerOfTest, NamesTheWholeTextItFailedOn) {
  std::int32_t value = 0;
  for (const auto& [text, shown] : {std::pair{u"", ""}, std::pair{u"3a", "3a"},
                                    std::pair{u" 3 ", " 3 "}, std::pair{u"-$1", "-$1"}}) {
    const auto failure = FailureOf(&IntegerOf, text, &value);
    ASSERT_TRUE(failure) << shown;
    EXPECT_EQ(*failure, std::string("'") + shown + "' は整数ではありません");
  }
  EXPECT_FALSE(FailureOf(&IntegerOf, u"$A", &value));
  EXPECT_EQ(value, 10);
}

}  // namespace
