// Code page 932 through the system's own conversion tables (Windows has no
// iconv). The calls keep no state between them.
#include <windows.h>

#include "text/cp932.h"
#include "text/cp932_decoder.h"

namespace {

constexpr UINT CodePage932 = 932;

std::optional<std::wstring> Widen(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int length = static_cast<int>(bytes.size());
  const int needed =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(),
                          needed) != needed) {
    return std::nullopt;
  }
  return wide;
}

std::optional<std::string> FromWide(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  // Without best fit, a character missing from the code page is reported
  // instead of silently becoming a look-alike.
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                         nullptr, 0, nullptr, &usedDefault);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(),
                          needed, nullptr, &usedDefault) != needed ||
      usedDefault) {
    return std::nullopt;
  }
  return out;
}

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  const auto wide = Widen(CP_UTF8, utf8);
  if (!wide) return std::nullopt;
  return FromWide(*wide);
}

std::optional<std::string> CodePointToCp932(char32_t codePoint) {
  std::wstring wide;
  if (codePoint >= 0x10000) {
    wide += static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    wide += static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
  } else {
    wide += static_cast<wchar_t>(codePoint);
  }
  return FromWide(wide);
}

Cp932Decoder::Cp932Decoder() = default;

Cp932Decoder::~Cp932Decoder() = default;

std::optional<char32_t> Cp932Decoder::Decode(std::string_view character) {
  // Every character of the code page lies in the Basic Multilingual Plane.
  const auto wide = Widen(CodePage932, character);
  if (!wide || wide->size() != 1) return std::nullopt;
  return static_cast<char32_t>((*wide)[0]);
}
