// Which commands would carry data to the device. This layer only reads.
#pragma once

#include <cstdint>
#include <span>

namespace wnaspi32 {

// True for a command whose definition has a data-out phase (writes, mode
// and log selects, buffers, keys, formats, verifies that compare bytes, ATA
// pass-through to the device). `deviceType` settles the opcodes that block,
// stream and multimedia devices use for different commands.
bool MovesDataToDevice(std::span<const std::uint8_t> cdb, int deviceType);

}  // namespace wnaspi32
