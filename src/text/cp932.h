// Text in code page 932 (Shift-JIS as Windows has it): the one place that
// converts it. Every call is complete in itself and safe from any thread:
// the layer's command threads convert too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A byte that starts a two-byte character.
bool IsCp932LeadByte(unsigned char byte);

// A byte that would steer a terminal rather than show: below 20h, and 7Fh.
bool IsControlByte(unsigned char byte);

// UTF-8 text as code page 932 bytes; nothing when the UTF-8 is malformed or
// a character has no code page 932 form (no look-alike substitutes). On
// Linux this is glibc's "CP932" table, which, unlike plain SHIFT_JIS, maps
// U+FF0D "－" to 81 7C.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Utf8ToCp932 for the program's own texts, where a text without a code
// page 932 form is a slip: throws std::invalid_argument.
std::string Cp932(std::string_view utf8);

// One character as code page 932 bytes: one byte, or a lead and a trail
// byte, or none for the few that the table drops (glibc drops the language
// tags U+E0000 to U+E007F); nothing when it has no code page 932 form.
std::optional<std::string> CodePointToCp932(char32_t codePoint);

// How many code page 932 bytes UTF-16 `text` takes; a character without a
// code page 932 form counts as one byte, as its replacement "?" would.
std::size_t Cp932Length(std::u16string_view text);

enum class ControlBytes { Keep, Substitute };

// Code page 932 bytes as characters, NUL bytes included, the same on every
// system: single bytes are ASCII and the half-width katakana A1h-DFh; 80h,
// A0h and FDh-FFh are no characters, and neither is a two-byte code that
// would decode to a control. Each byte that starts no character (such a
// byte, a lone lead byte, a lead byte before a bad trail byte) becomes one
// `substitute`, and so does each control byte (below 20h, 7Fh) when
// `controls` says so. Only that byte is lost: a bad trail byte may start
// the next character.
std::u32string Cp932ToUtf32(std::string_view bytes, char32_t substitute, ControlBytes controls);

// Cp932ToUtf32 as UTF-8, with U+FFFD as the substitute.
std::string Cp932ToUtf8(std::string_view bytes, ControlBytes controls);

#ifndef _WIN32
// The first character of `text`, which is written in the character set
// `codeset` (as nl_langinfo(CODESET) names it); nothing when `text` is empty
// or not valid in that set.
std::optional<char32_t> FirstCharacter(const char* text, const char* codeset);
#endif
