#include "wnaspi32/windows/bounded_call.h"

#include <algorithm>

#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {

std::optional<ControlResult> CallUntil(Device& device, std::uint32_t code,
                                       std::vector<std::uint8_t> input, std::uint32_t outputLength,
                                       Clock::time_point deadline) {
  const auto pending = device.Control(code, std::move(input), outputLength);
  if (!pending) return ControlResult{.error = ErrorGenFailure, .output = {}};
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (pending->Wait(std::max(left, std::chrono::milliseconds{0}))) return pending->Result();
  pending->Cancel();
  return std::nullopt;
}

}  // namespace wnaspi32::windows
