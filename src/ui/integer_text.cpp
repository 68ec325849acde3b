#include "ui/integer_text.h"

namespace {

bool IsDecimalDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int HexValue(QChar c) {
  if (IsDecimalDigit(c)) return c.unicode() - u'0';
  if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
  return -1;
}

[[noreturn]] void FailNotAnInteger(const QString& text) {
  throw CommandFailure(QStringLiteral("'%1' は整数ではありません").arg(text).toStdString());
}

std::optional<std::int32_t> ParseHex(QStringView digits) {
  if (digits.isEmpty()) return std::nullopt;
  std::uint32_t value = 0;
  int significant = 0;
  for (const QChar c : digits) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    if (value != 0 || digit != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal(QStringView text) {
  bool negative = false;
  if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
    negative = text.front() == u'-';
    text = text.mid(1);
  }
  if (text.isEmpty()) return std::nullopt;
  // Accumulated as a magnitude; the negative side reaches one further.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (const QChar c : text) {
    if (!IsDecimalDigit(c)) return std::nullopt;
    magnitude = magnitude * 10 + (c.unicode() - u'0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::optional<std::int32_t> ParseInteger(const QString& text) {
  QStringView rest(text);
  while (!rest.isEmpty() && rest.front() == u' ') rest = rest.mid(1);
  if (!rest.isEmpty() && rest.front() == u'$') return ParseHex(rest.mid(1));
  return ParseDecimal(rest);
}

std::int32_t IntegerOf(const QString& text) {
  const auto value = ParseInteger(text);
  if (!value) FailNotAnInteger(text);
  return *value;
}

std::int32_t AdapterNumberOf(const QString& text) {
  qsizetype digits = 0;
  while (digits < text.size() && IsDecimalDigit(text[digits])) ++digits;
  if (digits == 0) {
    FailNotAnInteger(text.left(!text.isEmpty() && text[0].isHighSurrogate() ? 2 : 1));
  }
  return IntegerOf(text.left(digits));
}
