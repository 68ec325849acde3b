// Unicode text between the forms the parts of busview hold it in: UTF-8
// (messages), UTF-16 (what the windows' toolkits hold), UTF-32 (decoded
// code page 932).
#pragma once

#include <string>
#include <string_view>

// Appends one character as UTF-8.
void AppendUtf8(std::string& out, char32_t character);

// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

std::u16string Utf32ToUtf16(std::u32string_view text);
