#include "reports/format.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "text/cp932.h"

namespace {

// `character` as one code page 932 character (one byte, or two with a lead
// byte), a blank for a blank that has none, or `fallback`.
std::string SeparatorOrDefault(std::optional<char32_t> character, const std::string& fallback) {
  if (!character || *character == 0) return fallback;
  if (*character == U'\u00A0' || *character == U'\u202F' || *character == U'\u2009') return " ";
  const auto bytes = CodePointToCp932(*character);
  if (!bytes || bytes->empty() || bytes->size() > 2) return fallback;
  return *bytes;
}

#ifdef _WIN32

// The first character of one of the user's locale settings, if it has one.
std::optional<char32_t> FirstCharacter(LCTYPE setting) {
  wchar_t value[16] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, setting, value, 16) <= 1) return std::nullopt;
  if (IS_HIGH_SURROGATE(value[0]) && IS_LOW_SURROGATE(value[1])) {
    return 0x10000 + ((char32_t{value[0]} - 0xD800) << 10) + (char32_t{value[1]} - 0xDC00);
  }
  return value[0];
}

#endif

std::string UpperHex(std::uint64_t value) {
  char digits[20];
  const auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
  std::string text(digits, result.ptr);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
  return text;
}

// Adds one to a string of decimal digits, growing it on a carry out.
void Increment(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// `count` significant digits of `value` (> 0 or 0), rounded to nearest
// with ties to even, and the decimal exponent of the first.
std::string SignificantDigits(long double value, int count, int& exponent) {
  char scientific[64];
  const auto written = std::to_chars(scientific, scientific + sizeof scientific, value,
                                     std::chars_format::scientific, count - 1);
  const std::string_view text(scientific, written.ptr);
  std::string digits;
  digits += text[0];
  if (count > 1) digits += text.substr(2, static_cast<std::size_t>(count - 1));
  const std::string_view exponentText = text.substr(text.find('e') + 1);
  std::from_chars(exponentText.data() + (exponentText[0] == '+' ? 1 : 0),
                  exponentText.data() + exponentText.size(), exponent);
  return digits;
}

// True when `value` equals digits * 10^power exactly. Both sides are split
// into an odd part and a power of two, compared in 64-bit integers.
bool IsExactly(long double value, const std::string& digits, int power) {
  static_assert(std::numeric_limits<long double>::radix == 2);
  constexpr int Bits = std::numeric_limits<long double>::digits;
  if constexpr (Bits > 64) {
    return false;  // too wide to compare here: taken as no tie
  } else {
    if (value == 0) return false;
    int binaryExponent = 0;
    const long double fraction = std::frexp(value, &binaryExponent);
    std::uint64_t mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, Bits));
    int twos = binaryExponent - Bits + std::countr_zero(mantissa);
    mantissa >>= std::countr_zero(mantissa);
    std::uint64_t decimal = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), decimal);
    if (decimal == 0) return false;
    // digits * 10^power = odd * 5^power * 2^(power + its twos)
    const int decimalTwos = std::countr_zero(decimal);
    const std::uint64_t odd = decimal >> decimalTwos;
    if (twos != power + decimalTwos) return false;
    // Neither side may outgrow the 64 bits the mantissa has.
    std::uint64_t left = mantissa, right = odd;
    std::uint64_t& scaled = power > 0 ? right : left;
    for (int i = 0; i < std::abs(power); ++i) {
      if (__builtin_mul_overflow(scaled, std::uint64_t{5}, &scaled)) return false;
    }
    return left == right;
  }
}

std::string Grouped(std::string_view integerDigits, const std::string& separator) {
  std::string out;
  const std::size_t count = integerDigits.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0 && (count - i) % 3 == 0) out += separator;
    out += integerDigits[i];
  }
  return out;
}

// Wider than any line: a slip in the format, not a width.
constexpr std::size_t MaxWidth = 4096;

[[noreturn]] void BadFormat(std::string_view format, const char* problem) {
  throw std::invalid_argument(std::string("format \"") + std::string(format) + "\": " + problem);
}

}  // namespace

NumberSeparators NumberSeparatorsOf(std::optional<char32_t> thousands,
                                    std::optional<char32_t> decimal) {
  NumberSeparators separators;
  separators.thousands = SeparatorOrDefault(thousands, separators.thousands);
  separators.decimal = SeparatorOrDefault(decimal, separators.decimal);
  return separators;
}

#ifdef _WIN32

NumberSeparators SystemNumberSeparators() {
  return NumberSeparatorsOf(FirstCharacter(LOCALE_STHOUSAND), FirstCharacter(LOCALE_SDECIMAL));
}

#else

NumberSeparators NumberSeparatorsOf(const char* thousands, const char* decimal,
                                    const char* codeset) {
  return NumberSeparatorsOf(FirstCharacter(thousands, codeset), FirstCharacter(decimal, codeset));
}

NumberSeparators SystemNumberSeparators() {
  const locale_t system = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (system == static_cast<locale_t>(0)) return {};
  const NumberSeparators separators = NumberSeparatorsOf(
      nl_langinfo_l(THOUSEP, system), nl_langinfo_l(RADIXCHAR, system), nl_langinfo_l(CODESET, system));
  freelocale(system);
  return separators;
}

#endif

std::string FormatNumber(long double value, const NumberSeparators& separators) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const bool negative = std::signbit(value);
  const long double magnitude = std::fabs(value);

  // 18 significant digits, rounded to nearest with halves away from zero.
  // to_chars rounds a tie to even, so an exact tie is rounded here.
  int exponent = 0;
  std::string digits = SignificantDigits(magnitude, 19, exponent);
  if (digits.back() == '5' && IsExactly(magnitude, digits, exponent - 18)) {
    digits.pop_back();
    Increment(digits);
    if (digits.size() > 18) {  // 99...9 became 100...0
      digits.pop_back();
      ++exponent;
    }
  } else {
    digits = SignificantDigits(magnitude, 18, exponent);
  }

  // Digit i stands for 10^(exponent - i); keep those down to 10^-2, as a
  // count of hundredths, and round at the first one dropped.
  const int keep = exponent + 3;
  const int significant = static_cast<int>(digits.size());
  std::string hundredths;
  if (keep <= 0) {
    hundredths.assign(1, keep == 0 && digits[0] >= '5' ? '1' : '0');
  } else if (keep >= significant) {
    hundredths = digits + std::string(keep - significant, '0');
  } else {
    hundredths = digits.substr(0, keep);
    if (digits[keep] >= '5') Increment(hundredths);
  }
  if (hundredths.size() < 3) hundredths.insert(0, 3 - hundredths.size(), '0');

  std::string_view integerDigits(hundredths.data(), hundredths.size() - 2);
  while (integerDigits.size() > 1 && integerDigits[0] == '0') integerDigits.remove_prefix(1);
  const bool zero = hundredths.find_first_not_of('0') == std::string::npos;

  std::string out = negative && !zero ? "-" : "";
  // A thousands separator like the decimal one would make the number
  // unreadable: the digits stay ungrouped then.
  out += separators.thousands == separators.decimal ? std::string(integerDigits)
                                                    : Grouped(integerDigits, separators.thousands);
  out += separators.decimal;
  out += hundredths.substr(hundredths.size() - 2);
  return out;
}

std::string FormatLine(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  auto next = args.begin();
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i < format.size() && format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    bool leftJustify = false;
    if (i < format.size() && format[i] == '-') {
      leftJustify = true;
      ++i;
    }
    std::size_t width = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      width = width * 10 + static_cast<std::size_t>(format[i++] - '0');
      if (width > MaxWidth) BadFormat(format, "width too large");
    }
    if (i >= format.size()) BadFormat(format, "conversion is cut off");
    const char conversion = format[i++];
    if (next == args.end()) BadFormat(format, "too few arguments");
    const FormatArg& arg = *next++;

    std::string field;
    switch (conversion) {
      case 's':
        if (arg.kind() != FormatArg::Kind::Text) BadFormat(format, "%s needs a text");
        field = arg.text();
        break;
      case 'd':
        if (arg.kind() != FormatArg::Kind::Integer) BadFormat(format, "%d needs an integer");
        field = std::to_string(arg.integer());
        break;
      case 'x':
        if (arg.kind() != FormatArg::Kind::Integer) BadFormat(format, "%x needs an integer");
        field = UpperHex(static_cast<std::uint64_t>(arg.integer()));
        break;
      case 'n':
        if (arg.kind() == FormatArg::Kind::Text) BadFormat(format, "%n needs a number");
        field = FormatNumber(arg.kind() == FormatArg::Kind::Number
                                 ? arg.number()
                                 : static_cast<long double>(arg.integer()),
                             SystemNumberSeparators());
        break;
      default:
        BadFormat(format, "unknown conversion");
    }
    if (field.size() < width) {
      const std::string blanks(width - field.size(), ' ');
      field = leftJustify ? field + blanks : blanks + field;
    }
    out += field;
  }
  if (next != args.end()) BadFormat(format, "too many arguments");
  return out;
}

std::string ReportLine(std::string_view label, std::string_view value) {
  return FormatLine("%-22s%s%s", {label, "= ", value});
}

std::string ReportLine(std::string_view label, std::int64_t value) {
  return FormatLine("%-22s%s%d", {label, "= ", value});
}

std::string ReportNumberLine(std::string_view label, long double value) {
  return FormatLine("%-22s%s%n", {label, "= ", value});
}
