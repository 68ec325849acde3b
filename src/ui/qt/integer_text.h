// Integers typed into the drop-down lists, for Qt's strings.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "ui/commands/integer_conversions.h"

// The integer a text names: optional blanks, then either an optional sign
// and decimal digits within 32 bits, or "$" and at most eight significant
// hexadecimal digits taken as a 32-bit pattern; nothing may follow.
std::optional<std::int32_t> ParseInteger(const QString& text);

// The conversions of commands/integer_conversions.h.
std::int32_t IntegerOf(const QString& text);
std::int32_t AdapterNumberOf(const QString& text);

// Qt's text as the commands take it.
std::u16string_view Utf16(const QString& text);
