// The one routine that builds every report line.
//
// Conversions: "%s" inserts a text whole (NUL bytes included), "%d" a signed
// decimal, "%x" upper-case hexadecimal without prefix or leading zeros, "%n"
// a number with two decimals and thousands grouping, "%%" a percent sign.
// A width ("%22s") pads with blanks on the left, "-" ("%-22s") on the right;
// nothing is ever cut. Widths count bytes: a full-width code page 932
// character is two columns wide. Nothing here depends on the C locale.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// One argument of FormatLine: a text, an integer or a number.
class FormatArg {
 public:
  enum class Kind { Text, Integer, Number };

  FormatArg(std::string_view text) : kind_(Kind::Text), text_(text) {}
  FormatArg(const std::string& text) : kind_(Kind::Text), text_(text) {}
  FormatArg(const char* text) : kind_(Kind::Text), text_(text) {}
  template <std::integral T>
  FormatArg(T value) : kind_(Kind::Integer), integer_(static_cast<std::int64_t>(value)) {}
  FormatArg(long double value) : kind_(Kind::Number), number_(value) {}
  FormatArg(double value) : kind_(Kind::Number), number_(value) {}

  Kind kind() const { return kind_; }
  std::string_view text() const { return text_; }
  std::int64_t integer() const { return integer_; }
  long double number() const { return number_; }

 private:
  Kind kind_;
  std::string_view text_;
  std::int64_t integer_ = 0;
  long double number_ = 0;
};

// The separators of "%n", one code page 932 character each.
struct NumberSeparators {
  std::string thousands = ",";
  std::string decimal = ".";
  bool operator==(const NumberSeparators&) const = default;
};

// The thousands and decimal separators of the system-default locale (the
// one the environment names; on Windows the user's), read without touching
// the process's locale, as NumberSeparatorsOf takes them. A setting that is
// empty or cannot be read gives "," or ".".
NumberSeparators SystemNumberSeparators();

// The separators from the first characters of a locale's thousands and
// decimal settings, the rule of both systems: each as one code page 932
// character, or "," or "." when it is missing or has none. The blanks that
// some locales group with (no-break, narrow no-break, thin) have no code
// page 932 form: they become the plain blank.
NumberSeparators NumberSeparatorsOf(std::optional<char32_t> thousands,
                                    std::optional<char32_t> decimal);

#ifndef _WIN32
// The separators from a locale's thousands and decimal settings, written in
// `codeset`, as SystemNumberSeparators takes them.
NumberSeparators NumberSeparatorsOf(const char* thousands, const char* decimal,
                                    const char* codeset);
#endif

// `value` with two decimals and thousands grouping: rounded first to 18
// significant digits, then at the second decimal, both times with halves
// away from zero (0.125 gives 0.13). Without grouping when both separators
// are the same.
std::string FormatNumber(long double value, const NumberSeparators& separators);

// Builds a line from `format` and `args`. "%n" uses SystemNumberSeparators().
// A conversion whose argument is missing or of the wrong kind, or an unknown
// conversion, throws std::invalid_argument: that is a fault of the caller.
std::string FormatLine(std::string_view format, std::initializer_list<FormatArg> args);

// "%-22s%s%s": the label padded to 22 columns, "= ", then the value.
std::string ReportLine(std::string_view label, std::string_view value);
// "%-22s%s%d".
std::string ReportLine(std::string_view label, std::int64_t value);
// "%-22s%s%n".
std::string ReportNumberLine(std::string_view label, long double value);
