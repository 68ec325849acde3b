// Which commands would carry data to the device. This layer only reads:
// the front refuses them, whichever backend would have answered.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace wnaspi32 {

// True for a command whose definition has a data-out phase (writes, mode
// and log selects, buffers, keys, formats, verifies that compare bytes, ATA
// pass-through to the device). `deviceType` settles the opcodes that block,
// stream and multimedia devices use for different commands.
bool MovesDataToDevice(std::span<const std::uint8_t> cdb, int deviceType);

// MovesDataToDevice for every kind of device at once; nothing for the few
// commands whose direction the device's type settles.
std::optional<bool> MovesDataToAnyDevice(std::span<const std::uint8_t> cdb);

}  // namespace wnaspi32
