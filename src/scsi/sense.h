// Sense data, as a device returns it with CHECK CONDITION: where its sense
// key stands in either of the two formats.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace scsi {

// Sense keys that change what a command's outcome means.
constexpr std::uint8_t SenseRecoveredError = 0x01;  // done, after the device recovered
constexpr std::uint8_t SenseUnitAttention = 0x06;   // reset, power on, capacity changed...

// The sense key of fixed-format (response codes 70h, 71h) or descriptor-
// format (72h, 73h) sense data; nothing for too few bytes or another format.
constexpr std::optional<std::uint8_t> SenseKeyOf(std::span<const std::uint8_t> sense) {
  if (sense.empty()) return std::nullopt;
  const std::uint8_t code = sense[0] & 0x7F;
  if ((code == 0x70 || code == 0x71) && sense.size() > 2) return sense[2] & 0x0F;
  if ((code == 0x72 || code == 0x73) && sense.size() > 1) return sense[1] & 0x0F;
  return std::nullopt;
}

}  // namespace scsi
