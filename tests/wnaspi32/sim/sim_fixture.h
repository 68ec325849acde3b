// Requests through the layer's front, answered by a simulated bus.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "win32_stand_ins/buffer_handles.h"
#include "wnaspi32/front/backend.h"

namespace simtest {

// Writes `json` to a fresh file and returns its path.
inline std::string WriteBusFile(const std::string& json) {
  static std::string directory = [] {
    char pattern[] = "/tmp/sim_tests.XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  static std::atomic<int> serial{0};
  const std::string path = directory + "/bus" + std::to_string(serial++) + ".json";
  std::ofstream(path, std::ios::binary) << json;
  return path;
}

inline void UseBusFile(const std::string& path) {
  wnaspi32::ReplaceBackend(wnaspi32::MakeSimBackend(path.c_str()));
}

inline void UseBus(const std::string& json) { UseBusFile(WriteBusFile(json)); }

inline std::uint8_t StatusOf(SRB& srb) {
  return std::atomic_ref<std::uint8_t>(srb.SRB_Status).load(std::memory_order_acquire);
}

inline SRB TargetRequest(std::uint8_t command, std::uint8_t adapter, std::uint8_t target) {
  SRB srb{};
  srb.SRB_Cmd = command;
  srb.SRB_HaId = adapter;
  srb.SRB_Target = target;
  return srb;
}

// A data buffer filled with a marker byte, so that untouched bytes show.
struct Buffer {
  static constexpr std::uint8_t Marker = 0xA5;
  std::array<std::uint8_t, 81> bytes;
  std::uint32_t handle;
  Buffer() {
    bytes.fill(Marker);
    handle = RegisterDataBuffer(bytes.data(), bytes.size());
  }
};

// A SCSI command with its CDB; the program's own commands ask 14 bytes of sense.
inline SRB ScsiRequest(std::uint8_t adapter, std::uint8_t target, const Buffer& buffer,
                       std::uint32_t bufLen, std::initializer_list<std::uint8_t> cdb) {
  SRB srb = TargetRequest(SC_EXEC_SCSI_CMD, adapter, target);
  srb.SRB_BufLen = bufLen;
  srb.SRB_BufPointer = buffer.handle;
  srb.SRB_SenseLen = 14;
  srb.SRB_CDBLen = static_cast<std::uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
  return srb;
}

inline std::string ExamplePath(const char* name) { return std::string(BUSVIEW_EXAMPLES) + "/" + name; }

}  // namespace simtest
