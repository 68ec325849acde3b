#include "ui/commands/integer_conversions.h"

#include "text/integer_text.h"
#include "text/utf.h"
#include "ui/layout/window_texts.h"

namespace {

[[noreturn]] void FailNotAnInteger(std::u16string_view text) {
  throw CommandFailure(FilledIn(NotAnIntegerText, Utf16ToUtf8(text)));
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::int32_t IntegerOf(std::u16string_view text) {
  const auto value = ParseInteger(text);
  if (!value) FailNotAnInteger(text);
  return *value;
}

std::int32_t AdapterNumberOf(std::u16string_view text) {
  const std::size_t digits = LeadingDigitCount(text);
  if (digits == 0) {
    // The first character, both halves of a surrogate pair.
    FailNotAnInteger(text.substr(0, !text.empty() && IsHighSurrogate(text[0]) ? 2 : 1));
  }
  return IntegerOf(text.substr(0, digits));
}
