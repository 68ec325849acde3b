#ifdef _WIN32

#include "reports/windows_cp932.h"

#include <windows.h>

namespace windows_cp932 {
namespace {

constexpr UINT CodePage932 = 932;

std::optional<std::wstring> Widen(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), needed) != needed) {
    return std::nullopt;
  }
  return wide;
}

}  // namespace

std::optional<std::string> FromWide(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  // Without best fit, a character missing from the code page is reported
  // instead of silently becoming a look-alike.
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                         nullptr, &usedDefault);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(), needed, nullptr,
                          &usedDefault) != needed ||
      usedDefault) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  const auto wide = Widen(CP_UTF8, utf8);
  if (!wide) return std::nullopt;
  return FromWide(*wide);
}

std::optional<std::string> CharacterToUtf8(std::string_view character) {
  const auto wide = Widen(CodePage932, character);
  if (!wide || wide->empty()) return std::nullopt;
  const int length = static_cast<int>(wide->size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, wide->data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide->data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

}  // namespace windows_cp932

#endif
