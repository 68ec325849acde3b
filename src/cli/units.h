// What busview-report asks beyond the window: the adapters' traits, the
// logical units of every target, and each device's identity.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "cli/terminal_window.h"
#include "reports/device_facts.h"
#include "reports/device_identity.h"
#include "reports/survey.h"
#include "reports/unit.h"

// Each adapter's traits, asked once, when first needed.
class AdapterTraitsCache {
 public:
  const AdapterTraits& Of(std::int32_t adapter);

 private:
  std::map<std::int32_t, AdapterTraits> known_;
};

using InquiryData = std::array<std::uint8_t, InquiryLength>;

// The standard INQUIRY data in DataBuffer when the request in RequestBlock
// completed.
std::optional<InquiryData> CompletedInquiry();

// The identity of `unit`, whose INQUIRY gave `inquiry`; the adapter's
// traits are asked only when the device may be asked at all.
DeviceIdentity IdentityOf(const Unit& unit, const std::optional<InquiryData>& inquiry,
                          AdapterTraitsCache& traits);

// The window shows targets 0 to 7, LUN 0 only.
bool InWindowRange(const Unit& unit);

// The LUNs of `unit`'s target that answer (LogicalUnits at `unit`), with
// progress.
std::vector<std::uint8_t> UnitsOfTarget(const Unit& unit, AdapterTraitsCache& traits,
                                        TerminalWindow& window);
