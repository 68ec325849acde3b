#include "text/integer_text.h"

namespace {

template <typename Char>
bool IsDecimalDigit(Char c) {
  return c >= '0' && c <= '9';
}

template <typename Char>
int HexValue(Char c) {
  if (IsDecimalDigit(c)) return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

template <typename Char>
std::optional<std::int32_t> ParseHex(std::basic_string_view<Char> digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  int significant = 0;
  for (const Char c : digits) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    if (value != 0 || digit != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

template <typename Char>
std::optional<std::int32_t> ParseDecimal(std::basic_string_view<Char> text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Accumulated as a magnitude; the negative side reaches one further.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (const Char c : text) {
    if (!IsDecimalDigit(c)) return std::nullopt;
    magnitude = magnitude * 10 + static_cast<int>(c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

template <typename Char>
std::optional<std::int32_t> ParseAnyInteger(std::basic_string_view<Char> text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '$') return ParseHex(text.substr(1));
  return ParseDecimal(text);
}

template <typename Char>
std::size_t CountLeadingDigits(std::basic_string_view<Char> text) {
  std::size_t digits = 0;
  while (digits < text.size() && IsDecimalDigit(text[digits])) ++digits;
  return digits;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) { return ParseAnyInteger(text); }

std::optional<std::int32_t> ParseInteger(std::u16string_view text) { return ParseAnyInteger(text); }

std::size_t LeadingDigitCount(std::string_view text) { return CountLeadingDigits(text); }

std::size_t LeadingDigitCount(std::u16string_view text) { return CountLeadingDigits(text); }
