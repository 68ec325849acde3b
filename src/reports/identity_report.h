// busview-report's lines beyond the window's: the header of a device the
// window cannot show, and a device's identity.
#pragma once

#include <cstdint>

#include "reports/device_identity.h"
#include "reports/unit.h"

// "HostNo A,ID T,LUN L": over a device outside the window's targets 0 to 7
// and LUN 0.
void ReportUnitHeader(const Unit& unit);

// One ReportLine for the unit serial number and one for each designator,
// in the page's order.
void ReportIdentity(const DeviceIdentity& identity);
