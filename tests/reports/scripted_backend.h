// A layer backend with scripted SCSI replies that records every request as
// it is handed over, for what a bus file cannot express.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "backend.h"
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
  std::map<std::uint8_t, Reply> replies;
  std::vector<Request> requests;

  std::uint32_t SupportInfo() override { return 0x0101; }
  int AdapterCount() override { return 1; }
  std::uint8_t HostAdapterInquiry(SRB&) override { return SS_ERR; }
  std::uint8_t GetDeviceType(SRB&) override { return SS_ERR; }
  std::uint8_t GetDiskInfo(SRB&) override { return SS_ERR; }
  std::uint8_t ExecScsiCommand(SRB& srb, std::uint8_t* buffer, std::uint32_t length) override {
    requests.push_back({srb, std::vector<std::uint8_t>(buffer, buffer + length)});
    const auto reply = replies.find(srb.CDBByte[0]);
    if (reply == replies.end()) return SS_ERR;
    if (reply->second.status == SS_COMP) {
      std::memcpy(buffer, reply->second.data.data(),
                  std::min<std::size_t>(length, reply->second.data.size()));
    }
    return reply->second.status;
  }
};

// Puts a new scripted backend in place and returns it.
inline ScriptedBackend& UseScriptedBackend() {
  auto backend = std::make_unique<ScriptedBackend>();
  ScriptedBackend& scripted = *backend;
  ReportTest::UseBackend(std::move(backend));
  return scripted;
}
