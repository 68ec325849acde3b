// Device replies (INQUIRY's vendor, product and revision, adapter names)
// decoded for the window and busview-report: any bytes decode, each byte
// gives at most one character, and the text decoded from them encodes back
// to bytes that decode to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/cp932.h"
#include "ui/layout/window_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u32string shown = Cp932ToUtf32(bytes, SubstituteCharacter, ControlBytes::Substitute);
  if (shown.size() > bytes.size()) std::abort();
  for (const char32_t c : shown) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) std::abort();  // a C0 or C1 control got through
  }

  const std::u32string kept = Cp932ToUtf32(bytes, U'\uFFFD', ControlBytes::Keep);
  if (kept.find(U'\uFFFD') != std::u32string::npos) return 0;  // bytes that are no text
  const std::string utf8 = Cp932ToUtf8(bytes, ControlBytes::Keep);
  const auto again = Utf8ToCp932(utf8);
  if (!again || Cp932ToUtf8(*again, ControlBytes::Keep) != utf8) std::abort();
  return 0;
}
