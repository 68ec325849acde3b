#include "ui/integer_text.h"

#include "text/integer_text.h"

namespace {

std::u16string_view Utf16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

[[noreturn]] void FailNotAnInteger(const QString& text) {
  throw CommandFailure(QStringLiteral("'%1' は整数ではありません").arg(text).toStdString());
}

}  // namespace

std::optional<std::int32_t> ParseInteger(const QString& text) { return ParseInteger(Utf16(text)); }

std::int32_t IntegerOf(const QString& text) {
  const auto value = ParseInteger(text);
  if (!value) FailNotAnInteger(text);
  return *value;
}

std::int32_t AdapterNumberOf(const QString& text) {
  const auto digits = static_cast<qsizetype>(LeadingDigitCount(Utf16(text)));
  if (digits == 0) {
    FailNotAnInteger(text.left(!text.isEmpty() && text[0].isHighSurrogate() ? 2 : 1));
  }
  return IntegerOf(text.left(digits));
}
