// A backend that counts the SCSI commands that reach it, put behind the
// layer's front.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "wnaspi32/front/backend.h"

namespace fronttest {

using Bytes = std::vector<std::uint8_t>;

// One adapter; at each target ID a unit of the type set for it. Every
// SCSI command that reaches it completes at once.
class CountingBackend final : public wnaspi32::Backend {
 public:
  std::map<std::uint8_t, std::uint8_t> types;  // by target ID
  int commands = 0;

  std::uint32_t SupportInfo() override { return 0x0101; }
  int AdapterCount() override { return 1; }
  std::uint8_t HostAdapterInquiry(int, SRB&) override { return SS_COMP; }
  std::uint8_t GetDeviceType(int, SRB&) override { return SS_COMP; }
  std::uint8_t GetDiskInfo(int, SRB&) override { return SS_COMP; }
  std::uint8_t ExecScsiCommand(int, SRB&, std::uint8_t*, std::uint32_t) override {
    ++commands;
    return SS_COMP;
  }
  std::optional<std::uint8_t> DeviceTypeOf(int, const SRB& srb) override {
    const auto found = types.find(srb.SRB_Target);
    if (found == types.end()) return std::nullopt;
    return found->second;
  }
};

// Puts a counting backend with a unit of each type at the target ID of the
// same number behind the front; the layer keeps it.
inline CountingBackend& UseCountingBackend(std::initializer_list<std::uint8_t> types) {
  auto made = std::make_unique<CountingBackend>();
  CountingBackend& counting = *made;
  for (const std::uint8_t type : types) counting.types[type] = type;
  wnaspi32::ReplaceBackend(std::move(made));
  return counting;
}

// A SCSI command without data for `target` of adapter 0.
inline SRB Command(std::uint8_t target, const Bytes& cdb) {
  SRB srb{};
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_Target = target;
  srb.SRB_CDBLen = static_cast<std::uint8_t>(cdb.size());
  std::copy_n(cdb.begin(), std::min<std::size_t>(cdb.size(), sizeof srb.CDBByte), srb.CDBByte);
  return srb;
}

}  // namespace fronttest
