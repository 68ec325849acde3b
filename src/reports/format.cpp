#include "reports/format.h"

#ifdef _WIN32
#include <windows.h>

#include "reports/windows_cp932.h"
#else
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

#ifdef _WIN32

// The first character of one of the user's locale settings as one code
// page 932 character, or `fallback`.
std::string FirstCharacterOrDefault(LCTYPE setting, const std::string& fallback) {
  wchar_t value[16] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, setting, value, 16) <= 1) return fallback;
  const std::size_t length = IS_HIGH_SURROGATE(value[0]) ? 2 : 1;
  const auto first = windows_cp932::FromWide(std::wstring_view(value, length));
  if (!first || first->empty() || first->size() > 2 || (*first)[0] == '\0') return fallback;
  return *first;
}

#else

std::string Convert(const char* from, const char* to, std::string_view text) {
  const iconv_t descriptor = iconv_open(to, from);
  if (descriptor == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* target = out.data();
  std::size_t targetLeft = out.size();
  const bool ok = iconv(descriptor, &in, &inLeft, &target, &targetLeft) != static_cast<std::size_t>(-1) &&
                  iconv(descriptor, nullptr, nullptr, &target, &targetLeft) != static_cast<std::size_t>(-1);
  iconv_close(descriptor);
  if (!ok) return {};
  out.resize(out.size() - targetLeft);
  return out;
}

// The first character of a locale setting (in the locale's own character
// set) as one code page 932 character, or `fallback`.
std::string FirstCharacterOrDefault(const char* setting, const char* codeset,
                                    const std::string& fallback) {
  if (setting == nullptr || *setting == '\0' || codeset == nullptr) return fallback;
  const std::string wide = Convert(codeset, "UTF-32LE", setting);
  if (wide.size() < 4) return fallback;
  const std::string first = Convert("UTF-32LE", "CP932", std::string_view(wide).substr(0, 4));
  // One code page 932 character is one byte, or two with a lead byte.
  if (first.empty() || first.size() > 2) return fallback;
  if (first.size() == 1 && first[0] == '\0') return fallback;
  return first;
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

std::string Grouped(std::string_view integerDigits, const std::string& separator) {
  std::string out;
  const std::size_t count = integerDigits.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0 && (count - i) % 3 == 0) out += separator;
    out += integerDigits[i];
  }
  return out;
}

[[noreturn]] void BadFormat(std::string_view format, const char* problem) {
  throw std::invalid_argument(std::string("format \"") + std::string(format) + "\": " + problem);
}

}  // namespace

#ifdef _WIN32

NumberSeparators SystemNumberSeparators() {
  NumberSeparators separators;
  separators.thousands = FirstCharacterOrDefault(LOCALE_STHOUSAND, separators.thousands);
  separators.decimal = FirstCharacterOrDefault(LOCALE_SDECIMAL, separators.decimal);
  return separators;
}

#else

NumberSeparators SystemNumberSeparators() {
  NumberSeparators separators;
  const locale_t system = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (system == static_cast<locale_t>(0)) return separators;
  const char* codeset = nl_langinfo_l(CODESET, system);
  separators.thousands =
      FirstCharacterOrDefault(nl_langinfo_l(THOUSEP, system), codeset, separators.thousands);
  separators.decimal =
      FirstCharacterOrDefault(nl_langinfo_l(RADIXCHAR, system), codeset, separators.decimal);
  freelocale(system);
  return separators;
}

#endif

std::string FormatNumber(long double value, const NumberSeparators& separators) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const bool negative = std::signbit(value);
  const long double magnitude = std::fabs(value);

  // 18 significant digits, rounded to nearest: "d.ddddddddddddddddde+X".
  char scientific[64];
  const auto written = std::to_chars(scientific, scientific + sizeof scientific, magnitude,
                                     std::chars_format::scientific, 17);
  const std::string_view text(scientific, written.ptr);
  std::string digits;
  digits += text[0];
  digits += text.substr(2, 17);
  int exponent = 0;
  const std::string_view exponentText = text.substr(text.find('e') + 1);
  std::from_chars(exponentText.data() + (exponentText[0] == '+' ? 1 : 0),
                  exponentText.data() + exponentText.size(), exponent);

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
  out += Grouped(integerDigits, separators.thousands);
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
