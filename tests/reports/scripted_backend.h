// A layer backend with scripted SCSI replies that records every request as
// it is handed over, for what a bus file cannot express.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "wnaspi32/front/backend.h"
#include "report_fixture.h"

class ScriptedBackend final : public wnaspi32::Backend {
 public:
  struct Reply {
    std::uint8_t status = SS_COMP;
    std::vector<std::uint8_t> data;
  };
  struct Request {
    SRB block;
    std::vector<std::uint8_t> buffer;  // the buffer's bytes as handed over
  };

  // Replies by operation code; an operation without one is refused.
  // INQUIRY with EVPD takes its reply from `pages`, by page code.
  std::map<std::uint8_t, Reply> replies;
  std::map<std::uint8_t, Reply> pages;
  // The LUNs whose get-device-type completes.
  std::set<std::uint8_t> answeringLuns;
  std::vector<Request> requests;

  std::uint32_t SupportInfo() override { return 0x0101; }
  int AdapterCount() override { return 1; }
  std::uint8_t HostAdapterInquiry(int, SRB&) override { return SS_ERR; }
  std::uint8_t GetDeviceType(int, SRB& srb) override {
    return answeringLuns.contains(srb.SRB_Lun) ? SS_COMP : SS_ERR;
  }
  std::uint8_t GetDiskInfo(int, SRB&) override { return SS_ERR; }
  std::uint8_t ExecScsiCommand(int, SRB& srb, std::uint8_t* buffer, std::uint32_t length) override {
    requests.push_back({srb, std::vector<std::uint8_t>(buffer, buffer + length)});
    const bool page = srb.CDBByte[0] == 0x12 && (srb.CDBByte[1] & 1);
    const auto& scripted = page ? pages : replies;
    const auto reply = scripted.find(srb.CDBByte[page ? 2 : 0]);
    if (reply == scripted.end()) return SS_ERR;
    if (reply->second.status == SS_COMP) {
      const std::size_t sent = std::min<std::size_t>(length, reply->second.data.size());
      std::memcpy(buffer, reply->second.data.data(), sent);
      if (srb.SRB_Flags & SRB_ENABLE_RESIDUAL_COUNT) srb.SRB_BufLen -= static_cast<std::uint32_t>(sent);
    }
    return reply->second.status;
  }
  std::optional<std::uint8_t> DeviceTypeOf(int, const SRB&) override { return 0; }
};

// Puts a new scripted backend in place and returns it.
inline ScriptedBackend& UseScriptedBackend() {
  auto backend = std::make_unique<ScriptedBackend>();
  ScriptedBackend& scripted = *backend;
  ReportTest::UseBackend(std::move(backend));
  return scripted;
}
