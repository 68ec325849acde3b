#include "ui/qt/integer_text.h"

#include "text/integer_text.h"

std::u16string_view Utf16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

std::optional<std::int32_t> ParseInteger(const QString& text) { return ParseInteger(Utf16(text)); }

std::int32_t IntegerOf(const QString& text) { return IntegerOf(Utf16(text)); }

std::int32_t AdapterNumberOf(const QString& text) { return AdapterNumberOf(Utf16(text)); }
