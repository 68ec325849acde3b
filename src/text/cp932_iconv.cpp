// Code page 932 through glibc's iconv. Each call opens its own descriptor
// and closes it before returning, so no descriptor is ever shared between
// threads or outlives its call.
#include <iconv.h>

#include "text/cp932.h"
#include "text/cp932_decoder.h"

namespace {

class Descriptor {
 public:
  Descriptor(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
  ~Descriptor() {
    if (usable()) iconv_close(descriptor_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  bool usable() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

  // All of `input` or nothing. `room` bytes must be enough for the output.
  std::optional<std::string> Convert(std::string_view input, std::size_t room) {
    if (!usable()) return std::nullopt;
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    std::string out(room, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    if (iconv(descriptor_, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1) ||
        inLeft != 0 ||
        iconv(descriptor_, nullptr, nullptr, &to, &toLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    out.resize(out.size() - toLeft);
    return out;
  }

 private:
  iconv_t descriptor_;
};

char32_t LittleEndianCodePoint(std::string_view fourBytes) {
  char32_t c = 0;
  for (int i = 3; i >= 0; --i) c = c << 8 | static_cast<unsigned char>(fourBytes[i]);
  return c;
}

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  // A code page 932 character never takes more bytes than its UTF-8 form;
  // a little more room is for the converter's own needs.
  return Descriptor("CP932", "UTF-8").Convert(utf8, utf8.size() * 2 + 4);
}

std::optional<std::string> CodePointToCp932(char32_t codePoint) {
  std::string utf32(4, '\0');
  for (int i = 0; i < 4; ++i) utf32[i] = static_cast<char>(codePoint >> (8 * i));
  return Descriptor("CP932", "UTF-32LE").Convert(utf32, 8);
}

std::optional<char32_t> FirstCharacter(const char* text, const char* codeset) {
  if (text == nullptr || *text == '\0' || codeset == nullptr) return std::nullopt;
  const std::string_view input(text);
  const auto utf32 = Descriptor("UTF-32LE", codeset).Convert(input, input.size() * 4 + 8);
  if (!utf32 || utf32->size() < 4) return std::nullopt;
  return LittleEndianCodePoint(*utf32);
}

Cp932Decoder::Cp932Decoder() : state_(new Descriptor("UTF-32LE", "CP932")) {}

Cp932Decoder::~Cp932Decoder() { delete static_cast<Descriptor*>(state_); }

std::optional<char32_t> Cp932Decoder::Decode(std::string_view character) {
  const auto utf32 = static_cast<Descriptor*>(state_)->Convert(character, 16);
  if (!utf32 || utf32->size() != 4) return std::nullopt;
  return LittleEndianCodePoint(*utf32);
}
