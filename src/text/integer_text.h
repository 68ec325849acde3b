// Integers typed by the user, read the same way by the window's lists and
// busview-report's options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The integer a text names: optional blanks, then either an optional sign
// and decimal digits within 32 bits, or "$" and at most eight significant
// hexadecimal digits taken as a 32-bit pattern; nothing may follow. The
// text is UTF-8 or UTF-16; only ASCII characters can be part of a number.
std::optional<std::int32_t> ParseInteger(std::string_view text);
std::optional<std::int32_t> ParseInteger(std::u16string_view text);

// How many decimal digits `text` begins with: the host adapter number at
// the start of an adapter list entry ("12 : X" gives 2).
std::size_t LeadingDigitCount(std::string_view text);
std::size_t LeadingDigitCount(std::u16string_view text);
