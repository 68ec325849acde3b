// Text in code page 932 (Shift-JIS with the Windows extensions).
#pragma once

#include <string>
#include <string_view>

// Converts UTF-8 text to code page 932 bytes with glibc's "CP932" table
// (which, unlike plain SHIFT_JIS, maps U+FF0D "－" to 81 7C). Throws
// std::invalid_argument for text that has no code page 932 form.
std::string Cp932(std::string_view utf8);
