// Code page 932 on Windows, through the system's own conversion tables
// (there is no iconv there). Every Windows build of the reports, of
// busview-report's output and of the test layer converts here.
#pragma once

#ifdef _WIN32

#include <optional>
#include <string>
#include <string_view>

namespace windows_cp932 {

// UTF-8 text as code page 932 bytes; nullopt when a character has no code
// page 932 form (no best-fit substitutes) or the UTF-8 is malformed.
std::optional<std::string> FromUtf8(std::string_view utf8);

// UTF-16 text as code page 932 bytes, nullopt as above.
std::optional<std::string> FromWide(std::wstring_view wide);

// One code page 932 character (one byte, or a lead and a trail byte) as
// UTF-8; nullopt when the bytes are no character of the code page.
std::optional<std::string> CharacterToUtf8(std::string_view character);

}  // namespace windows_cp932

#endif
