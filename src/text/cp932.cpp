#include "text/cp932.h"

#include <stdexcept>

#include "text/cp932_decoder.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

std::string Cp932(std::string_view utf8) {
  auto bytes = Utf8ToCp932(utf8);
  if (!bytes) throw std::invalid_argument("text has no code page 932 form: " + std::string(utf8));
  return *std::move(bytes);
}

std::u32string Cp932ToUtf32(std::string_view bytes, char32_t substitute, ControlBytes controls) {
  Cp932Decoder decoder;
  std::u32string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (IsControlByte(byte)) {
      out += controls == ControlBytes::Substitute ? substitute : char32_t{byte};
      ++i;
    } else if (byte < 0x80) {  // the code page's ASCII half
      out += char32_t{byte};
      ++i;
    } else {
      const std::size_t length = IsCp932LeadByte(byte) && i + 1 < bytes.size() ? 2 : 1;
      if (const auto character = decoder.Decode(bytes.substr(i, length))) {
        out += *character;
        i += length;
      } else {
        out += substitute;
        ++i;
      }
    }
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes, ControlBytes controls) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (const char32_t c : Cp932ToUtf32(bytes, U'\uFFFD', controls)) AppendUtf8(out, c);
  return out;
}
