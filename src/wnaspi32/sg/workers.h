// Threads of the layer, one per running command, so that a device that
// hangs holds up nobody else.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace wnaspi32::sg {

class Workers {
 public:
  Workers() = default;
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  // Waits for every job still running.
  ~Workers();

  // Runs `job` on a new thread; joins the threads of jobs already done.
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

}  // namespace wnaspi32::sg
