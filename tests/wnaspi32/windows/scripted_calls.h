// A scripted door to Windows: device objects by path, each with its
// answers per control code, a pass-through script, and calls that hang
// until released. As Windows' I/O manager does, a handle opened with no
// access rights is refused every control code that asks for some.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wnaspi32/windows/storage_calls.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wintest {

using Bytes = std::vector<std::uint8_t>;
using wnaspi32::windows::Access;
using wnaspi32::windows::ControlResult;

struct ScriptedDevice {
  std::uint32_t openError = 0;       // any open fails with it
  std::uint32_t readWriteError = 0;  // a read-write open (ERROR_ACCESS_DENIED: an ordinary user)
  std::map<std::uint32_t, ControlResult> answers;  // by control code
  // IOCTL_SCSI_PASS_THROUGH: the output for the input buffer.
  std::function<ControlResult(const Bytes& input, std::uint32_t outputLength)> passThrough;
  bool hangs = false;  // its calls end only once released
};

struct SeenCall {
  std::string path;
  Access access;
  std::uint32_t code;
  Bytes input;
};

class ScriptedCalls final : public wnaspi32::windows::StorageCalls {
 public:
  // Set before the backend runs.
  std::map<std::string, ScriptedDevice> devices;
  std::map<std::string, std::string> registry;  // "key|value" -> text

  wnaspi32::windows::Opened Open(const std::string& path, Access access) override {
    const auto found = devices.find(path);
    if (found == devices.end()) return {nullptr, wnaspi32::windows::ErrorFileNotFound};
    const ScriptedDevice& device = found->second;
    if (device.openError != 0) return {nullptr, device.openError};
    if (access == Access::ReadWrite && device.readWriteError != 0)
      return {nullptr, device.readWriteError};
    return {std::make_shared<Handle>(*this, path, access), 0};
  }
  std::optional<std::string> RegistryText(const std::string& key,
                                          const std::string& value) override {
    const auto found = registry.find(key + "|" + value);
    if (found == registry.end()) return std::nullopt;
    return found->second;
  }

  void Release() {
    const std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::vector<SeenCall> Seen() {
    const std::lock_guard lock(mutex_);
    return seen_;
  }
  int Cancels() {
    const std::lock_guard lock(mutex_);
    return cancels_;
  }

 private:
  class Pending final : public wnaspi32::windows::PendingControl {
   public:
    Pending(ScriptedCalls& calls, ControlResult result, bool hangs)
        : calls_(calls), result_(std::move(result)), hangs_(hangs) {}
    bool Wait(std::chrono::milliseconds timeout) override {
      std::unique_lock lock(calls_.mutex_);
      return calls_.changed_.wait_for(lock, timeout, [&] { return !hangs_ || calls_.released_; });
    }
    void Cancel() override {
      const std::lock_guard lock(calls_.mutex_);
      ++calls_.cancels_;
    }
    ControlResult Result() const override { return result_; }

   private:
    ScriptedCalls& calls_;
    const ControlResult result_;
    const bool hangs_;
  };

  class Handle final : public wnaspi32::windows::Device {
   public:
    Handle(ScriptedCalls& calls, std::string path, Access access)
        : calls_(calls), path_(std::move(path)), access_(access) {}
    std::shared_ptr<wnaspi32::windows::PendingControl> Control(
        std::uint32_t code, Bytes input, std::uint32_t outputLength) override {
      const ScriptedDevice& device = calls_.devices.at(path_);
      ControlResult result{.error = wnaspi32::windows::ErrorInvalidFunction, .output = {}};
      if (access_ == Access::None && wnaspi32::windows::AccessOf(code) != 0) {
        result.error = wnaspi32::windows::ErrorAccessDenied;
      } else if (code == wnaspi32::windows::IoctlScsiPassThrough && device.passThrough) {
        result = device.passThrough(input, outputLength);
      } else if (const auto found = device.answers.find(code); found != device.answers.end()) {
        result = found->second;
      }
      if (result.output.size() > outputLength)
        result = {wnaspi32::windows::ErrorInsufficientBuffer, {}};
      const std::lock_guard lock(calls_.mutex_);
      calls_.seen_.push_back({path_, access_, code, std::move(input)});
      // Kept, as Windows keeps a call's buffers, until the door goes.
      return calls_.pending_.emplace_back(std::make_shared<Pending>(calls_, result, device.hangs));
    }

   private:
    ScriptedCalls& calls_;
    const std::string path_;
    const Access access_;
  };

  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  int cancels_ = 0;
  std::vector<SeenCall> seen_;
  std::vector<std::shared_ptr<Pending>> pending_;
};

}  // namespace wintest
