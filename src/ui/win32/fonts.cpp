#include "ui/win32/fonts.h"

#include <cwchar>
#include <initializer_list>
#include <string>

namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Whether the system has `face` with Japanese characters.
bool HasJapaneseFace(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = SHIFTJIS_CHARSET;
  wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// The first face of `faces` the system has; empty when it has none, and
// the font mapper then picks by pitch and character set.
std::wstring FirstInstalled(std::initializer_list<const wchar_t*> faces) {
  for (const wchar_t* face : faces) {
    if (HasJapaneseFace(face)) return face;
  }
  return {};
}

HFONT MakeFont(const std::wstring& face, int pixels, UINT dpi, BYTE pitchAndFamily) {
  LOGFONTW font{};
  // Negative: the character height, without the internal leading.
  font.lfHeight = -MulDiv(pixels, static_cast<int>(dpi), 120);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = pitchAndFamily;
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

}  // namespace

HFONT GothicFont(int pixels, UINT dpi) {
  static const std::wstring face =
      FirstInstalled({L"ＭＳ Ｐゴシック", L"MS PGothic", L"Meiryo UI", L"IPAPGothic",
                      L"IPAPゴシック", L"Noto Sans CJK JP"});
  return MakeFont(face, pixels, dpi, VARIABLE_PITCH | FF_SWISS);
}

HFONT FixedFont(int pixels, UINT dpi) {
  // The raster FixedSys of a system that is not Japanese has no Japanese
  // characters; SHIFTJIS_CHARSET finds only a Japanese one.
  static const std::wstring face =
      FirstInstalled({L"FixedSys", L"ＭＳ ゴシック", L"MS Gothic", L"IPAGothic", L"IPAゴシック",
                      L"Noto Sans Mono CJK JP"});
  return MakeFont(face, pixels, dpi, FIXED_PITCH | FF_MODERN);
}
