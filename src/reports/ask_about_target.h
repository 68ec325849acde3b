// The two questions about a target that are not SCSI commands.
#pragma once

#include <cstdint>

#include "reports/unit.h"

// A get-device-type or get-disk-information request (`command`) for `unit`
// (the window's LUN: 0), in the cleared RequestBlock, executed without
// notification. The block takes the low bytes of adapter and target.
void AskAboutTarget(std::uint8_t command, const Unit& unit);
