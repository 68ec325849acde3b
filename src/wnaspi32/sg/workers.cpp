#include "sg/workers.h"

namespace wnaspi32::sg {

Workers::~Workers() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void Workers::Start(std::function<void()> job) {
  std::lock_guard lock(mutex_);
  jobs_.push_back(std::move(job));
  if (idle_ >= jobs_.size()) {
    wake_.notify_one();
    return;
  }
  try {
    threads_.emplace_back([this] { Serve(); });
  } catch (...) {
    jobs_.pop_back();
    throw;
  }
}

void Workers::Serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    ++idle_;
    wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
    --idle_;
    // Jobs given before the end still run.
    if (jobs_.empty()) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    try {
      job();
    } catch (...) {
      // The job answers its own request; an escape must not end the run.
    }
    job = nullptr;  // what it holds goes before the thread waits again
    lock.lock();
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

}  // namespace wnaspi32::sg
