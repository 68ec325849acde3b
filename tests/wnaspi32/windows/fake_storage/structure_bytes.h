// Windows' structures laid into the byte buffers a control call returns.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace wnaspi32::fake_windows {

// Writes the first `size` bytes of `value` at `at`, growing `bytes` to fit.
template <typename T>
void PutAt(std::vector<std::uint8_t>& bytes, std::size_t at, const T& value, std::size_t size) {
  if (bytes.size() < at + size) bytes.resize(at + size);
  std::memcpy(bytes.data() + at, &value, size);
}

// Writes `value` as a T at `at` (an offset field of an earlier record).
template <typename T = std::uint32_t>
void PatchAt(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t value) {
  PutAt(bytes, at, static_cast<T>(value), sizeof(T));
}

// Pads `bytes` to a multiple of `alignment` and returns its new end: where
// the next record starts.
inline std::size_t AlignedEnd(std::vector<std::uint8_t>& bytes, std::size_t alignment) {
  bytes.resize((bytes.size() + alignment - 1) / alignment * alignment);
  return bytes.size();
}

}  // namespace wnaspi32::fake_windows
