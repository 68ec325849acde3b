#include "wnaspi32/linux/workers.h"

#include <algorithm>

namespace wnaspi32::linux_io {

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
      try {
        job();
      } catch (...) {
        // The job answers its own request; an escape must not end the run.
      }
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

bool CommandSlots::Take(const std::string& device) {
  std::lock_guard lock(mutex_);
  int& taken = taken_[device];
  if (taken >= perDevice_) return false;
  ++taken;
  return true;
}

void CommandSlots::Give(const std::string& device) {
  std::lock_guard lock(mutex_);
  const auto found = taken_.find(device);
  if (found != taken_.end() && --found->second <= 0) taken_.erase(found);
}

}  // namespace wnaspi32::linux_io
