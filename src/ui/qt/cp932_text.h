// Code page 932 byte strings on their way to the screen, and back for
// counting.
#pragma once

#include <QString>
#include <QValidator>

#include <cstddef>
#include <string_view>

#include "ui/layout/window_texts.h"

// The text a pane line or a list entry shows for `bytes`
// (commands/shown_text.h).
QString DisplayText(std::string_view bytes);

// Qt's text as the commands take it.
std::u16string_view Utf16(const QString& text);

// How many code page 932 bytes `text` takes; a character without a code
// page 932 form counts as one byte, as its replacement "?" would.
std::size_t Cp932Length(const QString& text);

// Refuses typed text longer than a number of code page 932 bytes.
class Cp932LengthValidator : public QValidator {
 public:
  Cp932LengthValidator(std::size_t maxBytes, QObject* parent);
  State validate(QString& input, int& position) const override;

 private:
  std::size_t maxBytes_;
};
