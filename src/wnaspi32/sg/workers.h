// Threads of the layer, one per running command, so that a device that
// hangs holds up nobody else. A thread whose command is done waits for the
// next one: starting a thread costs more than many a command.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wnaspi32::sg {

class Workers {
 public:
  Workers() = default;
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  // Waits for every job still running.
  ~Workers();

  // Runs `job` on a thread of its own: an idle one, or a new one when every
  // thread is busy. Whatever `job` throws ends it, never the program.
  void Start(std::function<void()> job);

 private:
  void Serve();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool ending_ = false;
};

// Commands one device may have under way at once.
constexpr int CommandsPerDevice = 4;

// Commands under way per device. A device that never answers holds a
// thread and a descriptor per command; this keeps them from piling up.
class CommandSlots {
 public:
  explicit CommandSlots(int perDevice) : perDevice_(perDevice) {}
  // False when `device` already has its share under way.
  bool Take(const std::string& device);
  void Give(const std::string& device);

 private:
  const int perDevice_;
  std::mutex mutex_;
  std::map<std::string, int> taken_;
};

}  // namespace wnaspi32::sg
