// The integer and adapter-number conversions of the window's texts on
// arbitrary UTF-16 text: a number that is read reads back the same from its
// decimal form, and a text that names none fails with its message.
#include <QString>

#include <cstdint>
#include <cstdlib>

#include "ui/qt/integer_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
  const std::optional<std::int32_t> value = ParseInteger(text);
  if (value && ParseInteger(QString::number(*value)) != value) std::abort();
  try {
    if (IntegerOf(text) != value) std::abort();
  } catch (const CommandFailure& failure) {
    if (value || failure.what()[0] != '\'') std::abort();
  }
  try {
    const std::int32_t adapter = AdapterNumberOf(text);
    if (adapter < 0 || !text.front().isDigit()) std::abort();
  } catch (const CommandFailure&) {
  }
  return 0;
}
