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

DeviceIdentity IdentityOf(std::int32_t adapter, std::int32_t target, std::uint8_t lun,
                          const std::optional<InquiryData>& inquiry, AdapterTraitsCache& traits) {
  if (!inquiry || !TakesScsi3Commands(inquiry->data())) return {};
  return AskIdentity(target, adapter, lun, inquiry->data(), traits.Of(adapter).residualCounts);
}

bool InWindowRange(std::int32_t target, std::uint8_t lun) { return target <= 7 && lun == 0; }

std::vector<std::uint8_t> UnitsOfTarget(std::int32_t adapter, std::int32_t target,
                                        AdapterTraitsCache& traits, TerminalWindow& window) {
  window.Step(adapter, target, 0);
  return LogicalUnits(target, adapter, traits.Of(adapter).residualCounts);
}
