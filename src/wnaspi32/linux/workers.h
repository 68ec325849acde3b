// Threads of the layer, one per running command, so that a device that
// hangs holds up nobody else.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace wnaspi32::linux_io {

class Workers {
 public:
  Workers() = default;
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  // Waits for every job still running.
  ~Workers();

  // Runs `job` on a new thread; joins the threads of jobs already done.
  // Whatever `job` throws ends it, never the program.
  void Start(std::function<void()> job);

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void JoinFinished();  // with mutex_ held

  std::mutex mutex_;
  std::list<Worker> workers_;
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

}  // namespace wnaspi32::linux_io
