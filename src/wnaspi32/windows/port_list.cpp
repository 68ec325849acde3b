#include "wnaspi32/windows/port_list.h"

#include <algorithm>
#include <cstddef>
#include <set>

#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {
namespace {

constexpr std::size_t BusDataAt(std::size_t bus) {
  return offsetof(ScsiAdapterBusInfo, BusData) + bus * sizeof(ScsiBusData);
}

// The chain of units starting at `offset`, as far as it stays inside the
// answer and visits no record twice.
std::vector<PortUnit> ReadUnits(Bytes answer, std::uint8_t path, std::uint32_t offset) {
  std::vector<PortUnit> units;
  std::set<std::uint32_t> seen;
  while (offset != 0 && seen.insert(offset).second) {
    const auto at = [&](std::size_t field) { return ReadAt<std::uint8_t>(answer, offset + field); };
    const auto length =
        ReadAt<std::uint32_t>(answer, offset + offsetof(ScsiInquiryData, InquiryDataLength));
    const auto next =
        ReadAt<std::uint32_t>(answer, offset + offsetof(ScsiInquiryData, NextInquiryDataOffset));
    const auto pathId = at(offsetof(ScsiInquiryData, PathId));
    const auto target = at(offsetof(ScsiInquiryData, TargetId));
    const auto lun = at(offsetof(ScsiInquiryData, Lun));
    const auto claimed = at(offsetof(ScsiInquiryData, DeviceClaimed));
    if (!length || !next || !pathId || !target || !lun || !claimed) break;
    if (*pathId == path) {
      const std::size_t first = offset + offsetof(ScsiInquiryData, InquiryData);
      const std::size_t kept =
          std::min<std::size_t>(*length, answer.size() - std::min(first, answer.size()));
      const auto data = answer.subspan(std::min(first, answer.size()), kept);
      units.push_back({.target = *target,
                       .lun = *lun,
                       .claimed = *claimed != 0,
                       .inquiry = {data.begin(), data.end()}});
    }
    offset = *next;
  }
  return units;
}

}  // namespace

std::vector<PortBus> ParsePortList(Bytes answer) {
  std::vector<PortBus> buses;
  const auto count = ReadAt<std::uint8_t>(answer, offsetof(ScsiAdapterBusInfo, NumberOfBuses));
  if (!count) return buses;
  for (std::size_t bus = 0; bus < *count; ++bus) {
    const std::size_t at = BusDataAt(bus);
    const auto initiator = ReadAt<std::uint8_t>(answer, at + offsetof(ScsiBusData, InitiatorBusId));
    const auto offset =
        ReadAt<std::uint32_t>(answer, at + offsetof(ScsiBusData, InquiryDataOffset));
    if (!initiator || !offset) break;
    const auto path = static_cast<std::uint8_t>(bus);
    buses.push_back(
        {.path = path, .initiatorId = *initiator, .units = ReadUnits(answer, path, *offset)});
  }
  return buses;
}

std::optional<ScsiPlace> ParseScsiAddress(Bytes answer) {
  if (answer.size() < sizeof(ScsiAddress)) return std::nullopt;
  ScsiAddress address;
  std::memcpy(&address, answer.data(), sizeof address);
  return ScsiPlace{.port = address.PortNumber,
                   .path = address.PathId,
                   .target = address.TargetId,
                   .lun = address.Lun};
}

}  // namespace wnaspi32::windows
