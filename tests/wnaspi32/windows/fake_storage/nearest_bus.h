// The bus that describes, to the simulated layer, the machine the layer on
// Windows sees over the fake storage stack: the Linux busview-report on it
// prints what busview-report.exe over the fake must print.
#pragma once

#include <string>

#include "fake_storage.h"
#include "wnaspi32/sim/bus.h"

namespace wnaspi32::fake_windows {

// What Windows cannot carry (ASPI statuses, support_info, managers, texts
// without a code page 932 form, INT 13h numbers of its own choosing) as
// Windows carries it; for an ordinary user, only what the calls open to
// anyone can tell.
sim::Bus NearestBus(const sim::Bus& bus, Rights rights);

// `bus` as a bus file.
std::string BusFileText(const sim::Bus& bus);

}  // namespace wnaspi32::fake_windows
