// The line format routine with arbitrary formats and arguments, and "%n"
// with arbitrary numbers: a wrong format is refused with invalid_argument,
// and a number reads back as the value it was made from.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "reports/format.h"

namespace {

const NumberSeparators Separators[] = {
    {",", "."}, {".", ","}, {" ", ","}, {",", ","}, {"\x81\x43", "\x81\x44"}};

// Any finite or infinite long double, or a NaN.
long double NumberOf(FuzzInput& input) {
  const std::uint64_t mantissa = input.Number(8);
  const int exponent = static_cast<int>(input.Number(2) % 32800) - 16400;
  const long double value = std::ldexp(static_cast<long double>(mantissa), exponent - 63);
  return input.Byte() & 1 ? -value : value;
}

// The value `text` shows, separators taken out.
long double ReadBack(const std::string& text, const NumberSeparators& separators) {
  std::string plain;
  const std::size_t point = text.rfind(separators.decimal);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == point) {
      plain += '.';
      i += separators.decimal.size() - 1;
    } else if (text.compare(i, separators.thousands.size(), separators.thousands) == 0) {
      i += separators.thousands.size() - 1;
    } else {
      plain += text[i];
    }
  }
  return std::strtold(plain.c_str(), nullptr);
}

void CheckNumber(long double value, const NumberSeparators& separators) {
  const std::string text = FormatNumber(value, separators);
  if (!std::isfinite(value)) return;
  // Two decimals after the decimal separator, always.
  const std::size_t point = text.size() - 2 - separators.decimal.size();
  if (text.size() < 3 + separators.decimal.size() ||
      text.compare(point, separators.decimal.size(), separators.decimal) != 0)
    std::abort();
  // Off by at most half a hundredth, plus the cut at 18 digits.
  const long double back = ReadBack(text, separators);
  if (std::fabs(back - value) > 0.00500001L + std::fabs(value) * 1e-17L) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const NumberSeparators& separators = Separators[input.Byte() % std::size(Separators)];
  CheckNumber(NumberOf(input), separators);

  const std::string format = input.Text();
  std::vector<std::string> texts;  // the texts the arguments point into
  texts.reserve(4);
  std::vector<FormatArg> args;
  const int count = input.Byte() % 5;
  for (int i = 0; i < count; ++i) {
    switch (input.Byte() % 3) {
      case 0:
        texts.push_back(input.Text());
        args.emplace_back(std::string_view(texts.back()));
        break;
      case 1:
        args.emplace_back(static_cast<std::int64_t>(input.Number(8)));
        break;
      default:
        args.emplace_back(NumberOf(input));
        break;
    }
  }
  try {
    switch (args.size()) {
      case 0: FormatLine(format, {}); break;
      case 1: FormatLine(format, {args[0]}); break;
      case 2: FormatLine(format, {args[0], args[1]}); break;
      case 3: FormatLine(format, {args[0], args[1], args[2]}); break;
      default: FormatLine(format, {args[0], args[1], args[2], args[3]}); break;
    }
  } catch (const std::invalid_argument&) {
    // A format that does not fit its arguments: the caller's fault.
  }
  return 0;
}
