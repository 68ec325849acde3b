// The integers the main window's commands read from the drop-down lists'
// texts, and the failure they raise for a text that names none.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// A command that could not go on; the window shows its message in the
// failure box.
class CommandFailure : public std::runtime_error {
 public:
  // `message` is UTF-8.
  explicit CommandFailure(const std::string& message) : std::runtime_error(message) {}
};

// The integer a text names (text/integer_text.h), failing with
// NotAnIntegerText (layout/window_texts.h) when it names none.
std::int32_t IntegerOf(std::u16string_view text);

// The host adapter number at the start of an adapter list text: the run of
// decimal digits it begins with ("12 : X" gives 12). Fails as IntegerOf
// does, naming the first character when the text does not begin with a
// digit, or the digit run when it does not fit 32 bits.
std::int32_t AdapterNumberOf(std::u16string_view text);
