#include "sg/workers.h"

#include <algorithm>

namespace wnaspi32::sg {

Workers::~Workers() {
  std::lock_guard lock(mutex_);
  for (Worker& worker : workers_) worker.thread.join();
}

void Workers::Start(std::function<void()> job) {
  std::lock_guard lock(mutex_);
  JoinFinished();
  // The node's address stays put in a list, so the thread may keep it.
  Worker& worker = workers_.emplace_back();
  try {
    worker.thread = std::thread([&worker, job = std::move(job)] {
      job();
      worker.done.store(true, std::memory_order_release);
    });
  } catch (...) {
    workers_.pop_back();
    throw;
  }
}

void Workers::JoinFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done.load(std::memory_order_acquire)) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace wnaspi32::sg
