// Who a device is, in busview-report: its unit serial number and the
// designators of its device identification page, asked with INQUIRY for
// vital product data pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reports/identity_decoding.h"
#include "reports/unit.h"

// Whether standard INQUIRY data `inquiry` (36 bytes) lets a device be asked
// for vital product data pages and REPORT LUNS: a logical unit that is
// there and says it is SCSI-3 or later (ANSI version 3 or more). Older
// devices, some USB sticks among them, may hang on them; Linux does not
// send them either.
bool TakesScsi3Commands(const std::uint8_t* inquiry);

struct DeviceIdentity {
  std::vector<std::uint8_t> supportedPages;     // page 00h; empty when not asked or refused
  std::optional<std::string> unitSerialNumber;  // page 80h, the device's bytes
  std::vector<Designator> designators;          // page 83h
};

// Page 00h, then 80h and 83h when 00h lists them, of `unit`, whose standard
// INQUIRY data is `inquiry` (null when INQUIRY did not complete: nothing is
// asked). The first request that does not complete ends the asking: a
// device that chokes on these pages costs one wait.
DeviceIdentity AskIdentity(const Unit& unit, const std::uint8_t* inquiry, bool residualCounts);
