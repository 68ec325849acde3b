#include "cli/units.h"

#include <algorithm>
#include <cstdlib>

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
                                        TerminalWindow& window, Lookahead& lookahead) {
  window.Step(unit, true);
  lookahead.Enter(ScanPiece::Kind::Target, unit);
  return LogicalUnits(unit, traits.Of(unit.adapter).residualCounts);
}

int RequestsInFlightPerAdapter() {
  // Measured on scsi_debug in the lab: 16 at once gain nearly all there is.
  constexpr int Default = 16, Most = 64;
  const char* text = std::getenv("BUSVIEW_REPORT_IN_FLIGHT");
  if (text == nullptr || *text == '\0') return Default;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1) return Default;
  return static_cast<int>(std::min<long>(value, Most));
}

std::vector<ScanPiece> FirstPieces(const std::vector<std::int32_t>& adapters) {
  if (adapters.empty()) return {};
  return {{.kind = ScanPiece::Kind::Adapter, .unit = {.adapter = adapters.front(), .target = 0, .lun = 0}, .traits = {}}};
}

void AddNextAdapter(std::vector<ScanPiece>& pieces, const std::vector<std::int32_t>& adapters,
                    std::int32_t adapter) {
  const auto at = std::find(adapters.begin(), adapters.end(), adapter);
  if (at == adapters.end() || std::next(at) == adapters.end()) return;
  pieces.push_back({.kind = ScanPiece::Kind::Adapter, .unit = {.adapter = *std::next(at), .target = 0, .lun = 0}, .traits = {}});
}
