#include "cli/cp932_output.h"

#ifdef _WIN32
#include <windows.h>

#include "reports/windows_cp932.h"
#else
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr char Cp932Substitute = '\xA5';                  // "･"

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

#ifdef _WIN32

// One character, one or two bytes, as UTF-8; empty when it is none.
std::string DecodeCharacter(std::string_view character) {
  return windows_cp932::CharacterToUtf8(character).value_or(std::string());
}

#else

// One character, one or two bytes, as UTF-8; empty when it is none. The
// program has one thread; the descriptor lives for the whole run.
std::string DecodeCharacter(std::string_view character) {
  static const iconv_t descriptor = iconv_open("UTF-8", "CP932");
  if (descriptor == reinterpret_cast<iconv_t>(-1)) return {};
  iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
  char out[8];
  char* in = const_cast<char*>(character.data());
  std::size_t inLeft = character.size();
  char* to = out;
  std::size_t toLeft = sizeof out;
  if (iconv(descriptor, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
    return {};
  }
  return std::string(out, to);
}

#endif

std::string Decode(std::string_view bytes, bool replaceControls) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (IsControlByte(byte)) {
      if (replaceControls) {
        out += Replacement;
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else {
      const std::size_t length = IsLeadByte(byte) && i + 1 < bytes.size() ? 2 : 1;
      const std::string decoded = DecodeCharacter(bytes.substr(i, length));
      if (decoded.empty()) {
        // Only this byte is lost: a bad trail byte may start the next character.
        out += Replacement;
        ++i;
      } else {
        out += decoded;
        i += length;
      }
    }
  }
  return out;
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
  if (encoding == Encoding::Utf8) return Decode(line, true);
  std::string out(line.substr(0, line.find('\0')));
  for (char& c : out) {
    if (IsControlByte(static_cast<unsigned char>(c))) c = Cp932Substitute;
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes) { return Decode(bytes, false); }
