// The two questions about a target that are not SCSI commands.
#pragma once

#include <cstdint>

// A get-device-type or get-disk-information request (`command`) for
// logical unit `lun` (the window's: 0) of one target, in the cleared
// RequestBlock, executed without notification. The block takes the low
// bytes of both numbers.
void AskAboutTarget(std::uint8_t command, std::int32_t target, std::int32_t adapter,
                    std::uint8_t lun = 0);
