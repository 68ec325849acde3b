#include "wnaspi32/sim/json_fields.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "text/cp932.h"

namespace wnaspi32::sim {

void Fail(const std::string& path, std::string problem) {
  throw FieldError{path, std::move(problem)};
}

namespace {

// A whole number split into sign and size, so that both ends of the
// 64-bit ranges fit.
struct Integer {
  bool negative = false;
  std::uint64_t magnitude = 0;
};

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// C notation: 0x for hex, a leading 0 for octal, else decimal. Nothing on
// overflow or a stray character; `tooBig` tells the two apart.
std::optional<Integer> ParseCInteger(std::string_view text, bool& tooBig) {
  tooBig = false;
  Integer result;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    result.negative = text[0] == '-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '0') {
    base = 8;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    const unsigned digit = static_cast<unsigned>(DigitValue(c));
    if (digit >= base) return std::nullopt;
    if (result.magnitude > (UINT64_MAX - digit) / base) {
      tooBig = true;
      return std::nullopt;
    }
    result.magnitude = result.magnitude * base + digit;
  }
  return result;
}

std::string QuotedText(std::string_view text, std::size_t limit) {
  return Json(std::string(text.substr(0, limit))).dump(-1, ' ', true, Json::error_handler_t::replace);
}

// Appends `value` as compact JSON until `out` holds `limit` bytes: a large
// or deep value is never written out whole.
void Quote(const Json& value, std::string& out, std::size_t limit) {
  if (out.size() >= limit) return;
  if (value.is_string()) {
    out += QuotedText(value.get_ref<const std::string&>(), limit);
  } else if (value.is_object()) {
    out += '{';
    const char* separator = "";
    for (const auto& [key, item] : value.items()) {
      if (out.size() >= limit) return;
      out += separator;
      out += QuotedText(key, limit);
      out += ':';
      Quote(item, out, limit);
      separator = ",";
    }
    out += '}';
  } else if (value.is_array()) {
    out += '[';
    const char* separator = "";
    for (const Json& item : value) {
      if (out.size() >= limit) return;
      out += separator;
      Quote(item, out, limit);
      separator = ",";
    }
    out += ']';
  } else {
    out += value.dump();
  }
}

// A short prefix of the value, for error messages.
std::string Describe(const Json& value) {
  constexpr std::size_t MaxQuote = 40;
  std::string text;
  Quote(value, text, MaxQuote + 1);
  if (text.size() > MaxQuote) text = text.substr(0, MaxQuote - 3) + "...";
  return text;
}

std::string RangeText(std::int64_t min, std::uint64_t max) {
  return "out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")";
}

std::string Hex(std::uint64_t max) {
  // Large limits read better in hex.
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(max));
  return text;
}

Integer ReadInteger(const Json& value, const std::string& path, std::int64_t min,
                    std::uint64_t max) {
  const std::string range = max > 0xFFFF ? "out of range (" + std::to_string(min) + " to " +
                                               Hex(max) + ")"
                                         : RangeText(min, max);
  Integer result;
  if (value.is_number_unsigned()) {
    result.magnitude = value.get<std::uint64_t>();
  } else if (value.is_number_integer()) {
    const std::int64_t signedValue = value.get<std::int64_t>();
    result.negative = signedValue < 0;
    result.magnitude = result.negative ? 0 - static_cast<std::uint64_t>(signedValue)
                                       : static_cast<std::uint64_t>(signedValue);
  } else if (value.is_number_float()) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::trunc(number) != number)
      Fail(path, "expected a whole number, found " + Describe(value));
    if (std::fabs(number) >= 18446744073709551616.0) Fail(path, range);
    result.negative = number < 0;
    result.magnitude = static_cast<std::uint64_t>(std::fabs(number));
  } else if (value.is_string()) {
    bool tooBig = false;
    const std::optional<Integer> parsed = ParseCInteger(value.get_ref<const std::string&>(), tooBig);
    if (tooBig) Fail(path, range);
    if (!parsed) Fail(path, "expected a number, found " + Describe(value));
    result = *parsed;
  } else {
    Fail(path, "expected a number, found " + Describe(value));
  }
  if (result.magnitude == 0) result.negative = false;
  // How far below zero the range reaches, as a size.
  const std::uint64_t depth = min < 0 ? static_cast<std::uint64_t>(-(min + 1)) + 1 : 0;
  const bool belowMin = result.negative ? result.magnitude > depth
                                        : min > 0 && result.magnitude < static_cast<std::uint64_t>(min);
  if (belowMin || (!result.negative && result.magnitude > max)) Fail(path, range);
  return result;
}

}  // namespace

std::string ChildPath(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string IndexPath(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

void RequireObject(const Json& value, const std::string& path) {
  if (!value.is_object()) Fail(path, "expected an object, found " + Describe(value));
}

void CheckKeys(const Json& object, const std::string& path,
               std::initializer_list<std::string_view> known) {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (std::string_view name : known) found = found || key == name;
    if (!found) Fail(ChildPath(path, key), "unknown key");
  }
}

std::uint64_t ReadUnsigned(const Json& value, const std::string& path, std::uint64_t max) {
  return ReadInteger(value, path, 0, max).magnitude;
}

std::int64_t ReadSigned(const Json& value, const std::string& path, std::int64_t min,
                        std::int64_t max) {
  const Integer result = ReadInteger(value, path, min, static_cast<std::uint64_t>(max));
  return result.negative ? -static_cast<std::int64_t>(result.magnitude - 1) - 1
                         : static_cast<std::int64_t>(result.magnitude);
}

bool ReadBool(const Json& value, const std::string& path) {
  if (!value.is_boolean()) Fail(path, "expected true or false, found " + Describe(value));
  return value.get<bool>();
}

std::vector<std::uint8_t> ParseHex(const std::string& digits, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : digits) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    const int digit = DigitValue(c);
    if (digit > 15) Fail(path, std::string("not a hex digit: '") + c + "'");
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) Fail(path, "odd number of hex digits");
  return bytes;
}

std::string ReadTextField(const Json& value, const std::string& path, std::size_t width,
                          char pad) {
  std::string bytes;
  if (value.is_string()) {
    const std::optional<std::string> converted = ::Utf8ToCp932(value.get_ref<const std::string&>());
    if (!converted) Fail(path, "text cannot be written in code page 932");
    bytes = *converted;
  } else if (value.is_object() && value.size() == 1 && value.contains("hex")) {
    const Json& hex = value["hex"];
    if (!hex.is_string())
      Fail(ChildPath(path, "hex"), "expected a text of hex digits, found " + Describe(hex));
    const std::vector<std::uint8_t> raw = ParseHex(hex.get<std::string>(), ChildPath(path, "hex"));
    bytes.assign(raw.begin(), raw.end());
    pad = '\0';
  } else {
    Fail(path, "expected a text or {\"hex\": \"...\"}, found " + Describe(value));
  }
  if (bytes.size() > width)
    Fail(path, "text too long: " + std::to_string(bytes.size()) + " bytes, at most " +
                   std::to_string(width));
  bytes.resize(width, pad);
  return bytes;
}

}  // namespace wnaspi32::sim
