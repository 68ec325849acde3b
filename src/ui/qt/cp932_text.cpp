#include "ui/qt/cp932_text.h"

#include <string>

#include "text/cp932.h"
#include "ui/commands/shown_text.h"

QString DisplayText(std::string_view bytes) {
  const std::u32string shown = ShownCharacters(bytes);
  return QString::fromUcs4(shown.data(), static_cast<qsizetype>(shown.size()));
}

std::u16string_view Utf16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

std::size_t Cp932Length(const QString& text) { return Cp932Length(Utf16(text)); }

Cp932LengthValidator::Cp932LengthValidator(std::size_t maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State Cp932LengthValidator::validate(QString& input, int&) const {
  return Cp932Length(input) <= maxBytes_ ? Acceptable : Invalid;
}
