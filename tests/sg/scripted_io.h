// A scripted kernel door: answers per sg node, geometry and MBR signatures
// per block node, and devices that hang until released.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sg/device_io.h"

namespace sgtest {

struct ScriptedReply {
  int error = 0;
  std::uint8_t status = 0;
  std::uint16_t hostStatus = 0;
  std::uint16_t driverStatus = 0;
  std::vector<std::uint8_t> data = {};
  std::vector<std::uint8_t> sense = {};
  bool hang = false;  // until Release()
};

struct RecordedCommand {
  std::string node;
  std::vector<std::uint8_t> cdb;
  std::size_t dataLength = 0;
  std::size_t senseRoom = 0;
  unsigned timeoutMs = 0;
};

class ScriptedIo final : public wnaspi32::sg::DeviceIo {
 public:
  void Script(const std::string& node, ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    replies_[node] = std::move(reply);
  }
  void SetGeometry(const std::string& node, wnaspi32::sg::DiskGeometry geometry) {
    geometries_[node] = geometry;
  }
  void SetSignature(const std::string& node, std::uint32_t signature) {
    signatures_[node] = signature;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    released_changed_.notify_all();
  }
  std::vector<RecordedCommand> Commands() {
    std::lock_guard lock(mutex_);
    return commands_;
  }

  wnaspi32::sg::ScsiOutcome Run(const std::string& node,
                                const wnaspi32::sg::ScsiCommand& command) override {
    std::unique_lock lock(mutex_);
    commands_.push_back({node, {command.cdb.begin(), command.cdb.end()}, command.data.size(),
                         command.sense.size(), command.timeoutMs});
    const auto found = replies_.find(node);
    if (found == replies_.end()) return {.error = ENOENT};
    const ScriptedReply reply = found->second;
    if (reply.hang) released_changed_.wait(lock, [this] { return released_; });
    if (reply.error != 0) return {.error = reply.error};
    const std::size_t sent = std::min(reply.data.size(), command.data.size());
    std::copy_n(reply.data.begin(), sent, command.data.begin());
    const std::size_t sense = std::min(reply.sense.size(), command.sense.size());
    std::copy_n(reply.sense.begin(), sense, command.sense.begin());
    return {.error = 0,
            .status = reply.status,
            .hostStatus = reply.hostStatus,
            .driverStatus = reply.driverStatus,
            .residual = static_cast<std::int32_t>(command.data.size() - sent),
            .senseLength = static_cast<std::uint8_t>(sense)};
  }

  std::optional<wnaspi32::sg::DiskGeometry> Geometry(const std::string& node) override {
    const auto found = geometries_.find(node);
    if (found == geometries_.end()) return std::nullopt;
    return found->second;
  }

  std::optional<std::uint32_t> MbrSignature(const std::string& node) override {
    const auto found = signatures_.find(node);
    if (found == signatures_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_changed_;
  bool released_ = false;
  std::map<std::string, ScriptedReply> replies_;
  std::map<std::string, wnaspi32::sg::DiskGeometry> geometries_;
  std::map<std::string, std::uint32_t> signatures_;
  std::vector<RecordedCommand> commands_;
};

}  // namespace sgtest
