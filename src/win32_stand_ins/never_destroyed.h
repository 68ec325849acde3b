// Storage for what a late completion can reach.
//
// A request given up after its wait may still be completed by the layer
// at any time, also while the program ends: the layer then writes the
// given-up block and its data buffer, and signals its event. So everything
// such a completion can reach (given-up blocks and their buffers, the event
// and buffer-handle tables, the layer's backends) lives in a NeverDestroyed:
// it is made on first use and neither destroyed nor freed while the process
// lives, and no static destructor ever runs over it. What it holds stays
// reachable, so the leak checker does not count it.
#pragma once

#include <new>
#include <utility>

template <typename T>
class NeverDestroyed {
 public:
  template <typename... Args>
  explicit NeverDestroyed(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;
  // Trivial: a NeverDestroyed with static storage registers no destructor.
  ~NeverDestroyed() = default;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T& operator*() { return get(); }
  T* operator->() { return &get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};
