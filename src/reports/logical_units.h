// Which logical units a target has, for busview-report --all.
#pragma once

#include <cstdint>
#include <vector>

// The LUNs of `target` on `adapter` that answer get-device-type, ascending:
// of those REPORT LUNS at LUN 0 lists (LUNs of one level below 256), or,
// when LUN 0 says it is older than SCSI-3 or REPORT LUNS does not
// complete or lists no such LUN, of LUNs 0 to 7.
std::vector<std::uint8_t> LogicalUnits(std::int32_t target, std::int32_t adapter,
                                       bool residualCounts);
