// What busview-report asks beyond the window: the adapters' traits, the
// logical units of every target, and each device's identity.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "cli/lookahead.h"
#include "cli/terminal_window.h"
#include "reports/device_facts.h"
#include "reports/device_identity.h"
#include "reports/survey.h"
#include "reports/unit.h"

// Each adapter's traits, asked once, when first needed.
class AdapterTraitsCache {
 public:
  const AdapterTraits& Of(std::int32_t adapter);
  // Traits asked already, by other means.
  void Remember(std::int32_t adapter, const AdapterTraits& traits) { known_[adapter] = traits; }

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
// progress, as the target's piece of the scan.
std::vector<std::uint8_t> UnitsOfTarget(const Unit& unit, AdapterTraitsCache& traits,
                                        TerminalWindow& window, Lookahead& lookahead);

// How many requests of one adapter busview-report has under way at once:
// BUSVIEW_REPORT_IN_FLIGHT, 1 to 64, when it is set; 1 makes them one
// after the other, as in the window.
int RequestsInFlightPerAdapter();

// The first pieces of a scan of `adapters`: the first adapter's.
std::vector<ScanPiece> FirstPieces(const std::vector<std::int32_t>& adapters);

// The adapter's piece that follows `adapter`'s in `adapters`, if any.
void AddNextAdapter(std::vector<ScanPiece>& pieces, const std::vector<std::int32_t>& adapters,
                    std::int32_t adapter);
