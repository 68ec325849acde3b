// A data buffer registered with fewer bytes than it has: whatever a layer
// writes past the registered length lands in guard bytes and shows.
#pragma once

#include <cstdint>
#include <vector>

#include "win32_stand_ins/buffer_handles.h"

struct GuardedBuffer {
  static constexpr std::uint8_t Marker = 0xA5;
  static constexpr std::size_t GuardLength = 64;

  // `registered` 0: no buffer at all, handle 0.
  explicit GuardedBuffer(std::uint32_t registered)
      : bytes(registered + GuardLength, Marker),
        handle(registered == 0 ? 0 : RegisterDataBuffer(bytes.data(), registered)) {}
  ~GuardedBuffer() { UnregisterDataBuffer(handle); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  // The bytes from the start to the last one that is not the marker.
  std::vector<std::uint8_t> Written() const {
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == Marker) --end;
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end)};
  }

  std::vector<std::uint8_t> bytes;
  BufferHandle handle;
};
