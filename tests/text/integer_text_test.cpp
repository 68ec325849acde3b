// The integers typed into the windows' lists and busview-report's options.
#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "text/integer_text.h"
#include "text/utf.h"

namespace {

struct IntegerCase {
  const char16_t* text;
  std::optional<std::int32_t> value;
};

class ParseIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, ReadsExactlyTheAcceptedForms) {
  const IntegerCase& c = GetParam();
  EXPECT_EQ(ParseInteger(std::u16string_view(c.text)), c.value)
      << "text: '" << Utf16ToUtf8(c.text) << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIntegerTest,
    ::testing::Values(
        IntegerCase{u"3", 3}, IntegerCase{u" 3", 3}, IntegerCase{u"   42", 42},
        IntegerCase{u"+7", 7}, IntegerCase{u"-1", -1}, IntegerCase{u"300", 300},
        IntegerCase{u"007", 7}, IntegerCase{u"2147483647", 2147483647},
        IntegerCase{u"-2147483648", INT32_MIN}, IntegerCase{u"2147483648", std::nullopt},
        IntegerCase{u"-2147483649", std::nullopt}, IntegerCase{u"99999999999", std::nullopt},
        IntegerCase{u"$A", 10}, IntegerCase{u"$a", 10}, IntegerCase{u" $1f", 31},
        IntegerCase{u"$FFFFFFFF", -1}, IntegerCase{u"$80000000", INT32_MIN},
        IntegerCase{u"$000000001", 1}, IntegerCase{u"$100000000", std::nullopt},
        IntegerCase{u"$", std::nullopt}, IntegerCase{u"$G", std::nullopt},
        IntegerCase{u"", std::nullopt}, IntegerCase{u" ", std::nullopt},
        IntegerCase{u"3 ", std::nullopt}, IntegerCase{u"3a", std::nullopt},
        IntegerCase{u"-", std::nullopt}, IntegerCase{u"+", std::nullopt},
        IntegerCase{u"-$1", std::nullopt}, IntegerCase{u"- 3", std::nullopt},
        IntegerCase{u"\t3", std::nullopt}, IntegerCase{u"0x10", std::nullopt},
        IntegerCase{u"３", std::nullopt}, IntegerCase{u"1e3", std::nullopt}));

}  // namespace
