// A control call that may wait on a device, bounded: the program waits ten
// seconds for any request, so no call of the layer waits longer.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "wnaspi32/windows/storage_calls.h"

namespace wnaspi32::windows {

using Clock = std::chrono::steady_clock;

// How long one request may wait on Windows in all: the program's wait.
constexpr std::chrono::milliseconds RequestBound{10000};

// Starts the call and waits for it until `deadline`. A call still under
// way then is cancelled and left to the door, which keeps its buffers
// until Windows ends it: nothing.
std::optional<ControlResult> CallUntil(Device& device, std::uint32_t code,
                                       std::vector<std::uint8_t> input, std::uint32_t outputLength,
                                       Clock::time_point deadline);

}  // namespace wnaspi32::windows
