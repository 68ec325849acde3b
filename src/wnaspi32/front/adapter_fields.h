// What every backend answers alike: the support word, fields of a host
// adapter inquiry reply, and the list of its adapters.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

#include "wnaspi32.h"

namespace wnaspi32 {

// GetASPI32SupportInfo of a layer with `count` host adapters: SS_COMP and
// the count, or SS_NO_ADAPTERS when there is none.
inline std::uint32_t SupportInfoFor(std::size_t count) {
  if (count == 0) return std::uint32_t{SS_NO_ADAPTERS} << 8;
  return std::uint32_t{SS_COMP} << 8 | static_cast<std::uint32_t>(count);
}

// HA_ManagerId and HA_Identifier: the name cut to 16 bytes, NUL-padded.
inline void CopyAdapterName(std::uint8_t (&field)[16], std::string_view name) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, name.data(), std::min(name.size(), sizeof field));
}

// A one-byte adapter number reaches no further.
constexpr int MostAdapters = 255;

// Every adapter of ours takes buffers of any alignment and moves at most
// this much in one transfer.
constexpr std::uint32_t MostBytesPerTransfer = 64 * 1024;

// HA_Unique as ASPI layers publish it. Bytes 0-1: the buffer alignment mask
// (0: any); byte 2: bit 1 set, residual counts are reported; byte 3: how
// many target IDs the adapter has; bytes 4-7: the most bytes one transfer
// moves, little-endian. The rest stays 0.
constexpr std::uint8_t ResidualCountSupported = 0x02;
inline void FillHaUnique(SRB& srb, std::uint8_t targetIds) {
  std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
  srb.HA_Unique[2] = ResidualCountSupported;
  srb.HA_Unique[3] = targetIds;
  for (int i = 0; i < 4; ++i)
    srb.HA_Unique[4 + i] = static_cast<std::uint8_t>(MostBytesPerTransfer >> (8 * i));
}

// The number of target IDs an adapter publishes when the highest one in
// use is `highest`: at least 8 (the window asks 0 to 7), at most 255.
constexpr unsigned LeastTargetIds = 8;
inline std::uint8_t TargetIdCount(unsigned highest) {
  return static_cast<std::uint8_t>(std::clamp(std::min(highest, 254u) + 1, LeastTargetIds, 255u));
}

// A completed SCSI command that asked for it gets its residual count: the
// bytes offered in SRB_BufLen that `transferred` did not fill.
inline void SetResidualCount(SRB& reply, std::size_t transferred) {
  if (!(reply.SRB_Flags & SRB_ENABLE_RESIDUAL_COUNT)) return;
  reply.SRB_BufLen -= static_cast<std::uint32_t>(std::min<std::size_t>(transferred, reply.SRB_BufLen));
}

// A backend's adapters, surveyed once, at first use: the program numbers
// them once and keeps those numbers for the whole run.
template <typename Adapter>
class AdapterList {
 public:
  explicit AdapterList(std::function<std::vector<Adapter>()> survey) : survey_(std::move(survey)) {}

  const std::vector<Adapter>& All() {
    std::call_once(surveyed_, [this] { adapters_ = survey_(); });
    return adapters_;
  }
  int Count() { return static_cast<int>(All().size()); }
  // Adapter `number`, or null when there is none.
  const Adapter* Find(int number) {
    if (number < 0 || number >= Count()) return nullptr;
    return &adapters_[static_cast<std::size_t>(number)];
  }

 private:
  const std::function<std::vector<Adapter>()> survey_;
  std::once_flag surveyed_;
  std::vector<Adapter> adapters_;
};

}  // namespace wnaspi32
