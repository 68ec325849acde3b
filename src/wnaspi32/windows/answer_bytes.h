// Reading Windows' answers: fields at their structure's offsets, never a
// byte past what the call returned, whatever its offsets and lengths say.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

namespace wnaspi32::windows {

using Bytes = std::span<const std::uint8_t>;

// The `T` at `offset` of `bytes` (both little-endian), nothing when the
// answer ends before it.
template <typename T>
std::optional<T> ReadAt(Bytes bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// The NUL-terminated text at `offset`, up to the answer's end when it has
// no NUL; nothing for offset 0 (no text) or one outside the answer.
inline std::optional<std::string> TextAt(Bytes bytes, std::size_t offset) {
  if (offset == 0 || offset >= bytes.size()) return std::nullopt;
  const auto text = bytes.subspan(offset);
  const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
  return std::string(text.begin(), end);
}

}  // namespace wnaspi32::windows
