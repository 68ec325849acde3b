// The integer and adapter-number conversions of the window's texts on
// arbitrary UTF-16 text: a number that is read reads back the same from its
// decimal form, and a text that names none fails with its message.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "text/integer_text.h"
#include "ui/commands/integer_conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
  const std::optional<std::int32_t> value = ParseInteger(std::u16string_view(text));
  if (value) {
    const std::string decimal = std::to_string(*value);
    if (ParseInteger(std::u16string(decimal.begin(), decimal.end())) != value) std::abort();
  }
  try {
    if (IntegerOf(text) != value) std::abort();
  } catch (const CommandFailure& failure) {
    if (value || failure.what()[0] != '\'') std::abort();
  }
  try {
    const std::int32_t adapter = AdapterNumberOf(text);
    if (adapter < 0 || text.front() < u'0' || text.front() > u'9') std::abort();
  } catch (const CommandFailure&) {
  }
  return 0;
}
