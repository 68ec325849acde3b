// Integers typed into the drop-down lists.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

// A command that could not go on; the event loop shows its message.
class CommandFailure : public std::runtime_error {
 public:
  // `message` is UTF-8.
  explicit CommandFailure(const std::string& message) : std::runtime_error(message) {}
};

// The integer a text names: optional blanks, then either an optional sign
// and decimal digits within 32 bits, or "$" and at most eight significant
// hexadecimal digits taken as a 32-bit pattern; nothing may follow.
std::optional<std::int32_t> ParseInteger(const QString& text);

// ParseInteger, failing with "'text' は整数ではありません" when the text
// names no integer.
std::int32_t IntegerOf(const QString& text);

// The host adapter number at the start of an adapter list text: the run of
// decimal digits it begins with ("12 : X" gives 12). Fails as IntegerOf
// does, naming the first character when the text does not begin with a
// digit, or the digit run when it does not fit 32 bits.
std::int32_t AdapterNumberOf(const QString& text);
