// Decoding one code page 932 character at a time, the platform's part of
// Cp932ToUtf32. A decoder belongs to one conversion call and one thread.
#pragma once

#include <optional>
#include <string_view>

class Cp932Decoder {
 public:
  Cp932Decoder();
  ~Cp932Decoder();
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;

  // `character` (one byte, or a lead and a trail byte) as a code point;
  // nothing when the bytes are no character of the code page.
  std::optional<char32_t> Decode(std::string_view character);

 private:
  void* state_ = nullptr;  // the platform's conversion state, if it has one
};
