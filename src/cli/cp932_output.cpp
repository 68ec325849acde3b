#include "cli/cp932_output.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

#include <algorithm>
#include <array>
#include <cctype>

#include "text/cp932.h"

namespace {

constexpr char Cp932Substitute = '\xA5';  // "･"

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace

std::optional<Encoding> EncodingNamed(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "cp932") return Encoding::Cp932;
  if (lower == "utf-8" || lower == "utf8") return Encoding::Utf8;
  return std::nullopt;
}

Encoding EncodingOfCodeset(std::string_view codeset) {
  static constexpr std::array<std::string_view, 7> Cp932Names{
      "cp932", "ibm-943", "shift_jis", "shift-jis", "sjis", "windows-31j", "ms_kanji"};
  const std::string lower = Lower(codeset);
  return std::find(Cp932Names.begin(), Cp932Names.end(), lower) != Cp932Names.end()
             ? Encoding::Cp932
             : Encoding::Utf8;
}

#ifdef _WIN32

// A console set to code page 932 is a Japanese one; anything else, a
// console on another code page or none at all, gets UTF-8.
Encoding LocaleEncoding() { return GetConsoleOutputCP() == 932 ? Encoding::Cp932 : Encoding::Utf8; }

#else

Encoding LocaleEncoding() {
  // Read without switching the process's own locale.
  const locale_t environment = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (environment == static_cast<locale_t>(0)) return Encoding::Utf8;
  const Encoding encoding = EncodingOfCodeset(nl_langinfo_l(CODESET, environment));
  freelocale(environment);
  return encoding;
}

#endif

std::string EncodeLine(std::string_view line, Encoding encoding) {
  line = line.substr(0, line.find('\0'));
  if (encoding == Encoding::Utf8) return Cp932ToUtf8(line, ControlBytes::Substitute);
  std::string out(line);
  for (char& c : out) {
    if (IsControlByte(static_cast<unsigned char>(c))) c = Cp932Substitute;
  }
  return out;
}

std::string JsonText(std::string_view bytes) {
  return Cp932ToUtf8(bytes.substr(0, bytes.find('\0')), ControlBytes::Keep);
}
