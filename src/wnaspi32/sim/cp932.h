// UTF-8 text to the bytes of code page 932 (Shift-JIS as Windows has it).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wnaspi32::sim {

// Nothing when the text is not valid UTF-8 or holds a character that code
// page 932 cannot write.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

}  // namespace wnaspi32::sim
