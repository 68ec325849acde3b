// A scripted kernel door: replies per sg node, geometry and MBR signatures
// per block node, and devices that hang until released. A command handed to
// it without the kernel time-out fails the test that sent it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "wnaspi32/linux/device_io.h"

namespace sgtest {

using wnaspi32::linux_io::DiskGeometry;
using wnaspi32::linux_io::ScsiCommand;
using wnaspi32::linux_io::ScsiOutcome;

struct ScriptedReply {
  int error = 0;
  std::uint8_t status = 0;
  std::uint16_t hostStatus = 0;
  std::uint16_t driverStatus = 0;
  std::vector<std::uint8_t> data = {};
  std::vector<std::uint8_t> sense = {};
  bool hang = false;  // until Release()
  std::function<void()> meanwhile = {};  // runs before the reply, e.g. an unplug
  bool throws = false;
};

struct SeenCommand {
  std::string node;
  std::vector<std::uint8_t> cdb;
  std::size_t dataLength, senseRoom;
  unsigned timeoutMs;
};

class ScriptedIo final : public wnaspi32::linux_io::DeviceIo {
 public:
  // Set before the backend runs; read only afterwards.
  std::map<std::string, DiskGeometry> geometries;
  std::map<std::string, std::uint32_t> signatures;
  std::set<std::string> hangingDisks;  // their geometry comes after Release()

  void Script(const std::string& node, ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    replies_[node] = std::move(reply);
  }
  // Replies for the next commands to `node`, one each, before its script.
  void ScriptNext(const std::string& node, std::vector<ScriptedReply> replies) {
    std::lock_guard lock(mutex_);
    next_[node].assign(replies.begin(), replies.end());
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    releasedChanged_.notify_all();
  }
  bool Released() {
    std::lock_guard lock(mutex_);
    return released_;
  }
  std::vector<SeenCommand> Seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

  ScsiOutcome Run(const std::string& node, const ScsiCommand& command) override {
    // Whatever the layer sends, and whyever, the kernel must abort it after
    // 8 s, well inside the program's wait: the kernel's default would let
    // it run on after the program has given up.
    EXPECT_EQ(command.timeoutMs, 8000u) << "a command to " << node << ", opcode "
                                        << (command.cdb.empty() ? -1 : int{command.cdb[0]});
    std::unique_lock lock(mutex_);
    seen_.push_back({node, {command.cdb.begin(), command.cdb.end()}, command.data.size(),
                     command.sense.size(), command.timeoutMs});
    auto& next = next_[node];
    const auto found = replies_.find(node);
    if (next.empty() && found == replies_.end()) return {.error = ENOENT};
    const ScriptedReply reply = next.empty() ? found->second : next.front();
    if (!next.empty()) next.pop_front();
    if (reply.hang) releasedChanged_.wait(lock, [this] { return released_; });
    if (reply.meanwhile) reply.meanwhile();
    if (reply.throws) throw std::runtime_error("the door broke");
    if (reply.error != 0) return {.error = reply.error};
    const std::size_t sent = std::min(reply.data.size(), command.data.size());
    std::copy_n(reply.data.begin(), sent, command.data.begin());
    const std::size_t sense = std::min(reply.sense.size(), command.sense.size());
    std::copy_n(reply.sense.begin(), sense, command.sense.begin());
    return {.error = 0, .status = reply.status, .hostStatus = reply.hostStatus,
            .driverStatus = reply.driverStatus,
            .residual = static_cast<std::int32_t>(command.data.size() - sent),
            .senseLength = static_cast<std::uint8_t>(sense)};
  }
  std::optional<DiskGeometry> Geometry(const std::string& node) override {
    if (hangingDisks.contains(node)) {
      std::unique_lock lock(mutex_);
      releasedChanged_.wait(lock, [this] { return released_; });
    }
    const auto found = geometries.find(node);
    return found == geometries.end() ? std::nullopt : std::optional(found->second);
  }
  std::optional<std::uint32_t> MbrSignature(const std::string& node) override {
    const auto found = signatures.find(node);
    return found == signatures.end() ? std::nullopt : std::optional(found->second);
  }

 private:
  std::mutex mutex_;
  std::condition_variable releasedChanged_;
  bool released_ = false;
  std::map<std::string, ScriptedReply> replies_;
  std::map<std::string, std::deque<ScriptedReply>> next_;
  std::vector<SeenCommand> seen_;
};

}  // namespace sgtest
