#include "text/cp932.h"

#include <stdexcept>

#include "text/cp932_decoder.h"
#include "text/utf.h"

namespace {

// What a byte is in code page 932: this table, not the platform's, decides
// which bytes make characters, so that every system shows the same ones.
// Windows' own table would make 80h the C1 control U+0080 and A0h, FDh-FFh
// private-use characters; glibc's makes them nothing.
enum class ByteKind { Ascii, HalfWidthKatakana, Lead, NoCharacter };

constexpr ByteKind KindOf(unsigned char byte) {
  if (byte < 0x80) return ByteKind::Ascii;
  if (byte >= 0xA1 && byte <= 0xDF) return ByteKind::HalfWidthKatakana;
  if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) return ByteKind::Lead;
  return ByteKind::NoCharacter;  // 80h, A0h, FDh-FFh
}

constexpr bool IsTrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// C0 and C1 controls and DEL, whatever bytes they came from.
constexpr bool IsControlCharacter(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

bool IsCp932LeadByte(unsigned char byte) { return KindOf(byte) == ByteKind::Lead; }

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

std::string Cp932(std::string_view utf8) {
  auto bytes = Utf8ToCp932(utf8);
  if (!bytes) throw std::invalid_argument("text has no code page 932 form: " + std::string(utf8));
  return *std::move(bytes);
}

std::size_t Cp932Length(std::u16string_view text) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t{text[++i]} - 0xDC00);
    }
    const auto encoded = CodePointToCp932(c);
    bytes += encoded ? encoded->size() : 1;
  }
  return bytes;
}

std::u32string Cp932ToUtf32(std::string_view bytes, char32_t substitute, ControlBytes controls) {
  Cp932Decoder decoder;
  std::u32string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    switch (KindOf(byte)) {
      case ByteKind::Ascii:
        out += IsControlByte(byte) && controls == ControlBytes::Substitute ? substitute
                                                                           : char32_t{byte};
        ++i;
        continue;
      case ByteKind::HalfWidthKatakana:  // A1h-DFh are U+FF61-U+FF9F in order
        out += char32_t{0xFF61} + (byte - 0xA1);
        ++i;
        continue;
      case ByteKind::Lead:
        if (i + 1 < bytes.size() && IsTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
          const auto character = decoder.Decode(bytes.substr(i, 2));
          if (character && !IsControlCharacter(*character)) {
            out += *character;
            i += 2;
            continue;
          }
        }
        break;
      case ByteKind::NoCharacter:
        break;
    }
    // Only this byte is lost: a bad trail byte may start the next character.
    out += substitute;
    ++i;
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes, ControlBytes controls) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (const char32_t c : Cp932ToUtf32(bytes, U'\uFFFD', controls)) AppendUtf8(out, c);
  return out;
}
