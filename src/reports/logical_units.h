// Which logical units a target has, for busview-report --all.
#pragma once

#include <cstdint>
#include <vector>

#include "reports/unit.h"

// The LUNs of `unit`'s target that answer get-device-type, ascending: of
// those REPORT LUNS at `unit` (busview-report asks LUN 0) lists (LUNs of
// one level below 256), or, when `unit` says it is older than SCSI-3 or
// REPORT LUNS does not complete or lists no such LUN, of LUNs 0 to 7.
std::vector<std::uint8_t> LogicalUnits(const Unit& unit, bool residualCounts);
