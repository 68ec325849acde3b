#include "cli/units.h"

#include <algorithm>

#include "aspi/request_block.h"
#include "reports/logical_units.h"

const AdapterTraits& AdapterTraitsCache::Of(std::int32_t adapter) {
  const auto found = known_.find(adapter);
  if (found != known_.end()) return found->second;
  return known_.emplace(adapter, AskAdapterTraits(adapter)).first->second;
}

std::optional<InquiryData> CompletedInquiry() {
  if (RequestBlock.SRB_Status != SS_COMP) return std::nullopt;
  InquiryData data;
  std::copy_n(DataBuffer, data.size(), data.begin());
  return data;
}

DeviceIdentity IdentityOf(const Unit& unit, const std::optional<InquiryData>& inquiry,
                          AdapterTraitsCache& traits) {
  if (!inquiry || !TakesScsi3Commands(inquiry->data())) return {};
  return AskIdentity(unit, inquiry->data(), traits.Of(unit.adapter).residualCounts);
}

bool InWindowRange(const Unit& unit) { return unit.target <= 7 && unit.lun == 0; }

std::vector<std::uint8_t> UnitsOfTarget(const Unit& unit, AdapterTraitsCache& traits,
                                        TerminalWindow& window) {
  window.Step(unit, true);
  return LogicalUnits(unit, traits.Of(unit.adapter).residualCounts);
}
