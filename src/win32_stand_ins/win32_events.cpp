#include "win32_stand_ins/win32_events.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "win32_stand_ins/never_destroyed.h"

namespace {

struct Event {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
  bool manualReset = false;
};

struct EventTable {
  std::mutex mutex;
  std::map<std::uintptr_t, std::shared_ptr<Event>> events;
  std::uintptr_t lastHandle = 0;
};

EventTable& Table() {
  static NeverDestroyed<EventTable> table;
  return *table;
}

std::shared_ptr<Event> Find(HANDLE handle) {
  EventTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.events.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == table.events.end() ? nullptr : it->second;
}

}  // namespace

extern "C" HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  auto event = std::make_shared<Event>();
  event->manualReset = manualReset != 0;
  event->signalled = initialState != 0;
  EventTable& table = Table();
  std::lock_guard lock(table.mutex);
  // Handles stay within 32 bits: the request block stores them in a 32-bit field.
  if (table.lastHandle == 0xFFFFFFFFu) return nullptr;
  std::uintptr_t handle = ++table.lastHandle;
  table.events.emplace(handle, std::move(event));
  return reinterpret_cast<HANDLE>(handle);
}

extern "C" BOOL SetEvent(HANDLE handle) {
  std::shared_ptr<Event> event = Find(handle);
  if (!event) return 0;
  {
    std::lock_guard lock(event->mutex);
    event->signalled = true;
  }
  event->changed.notify_all();
  return 1;
}

extern "C" BOOL ResetEvent(HANDLE handle) {
  std::shared_ptr<Event> event = Find(handle);
  if (!event) return 0;
  std::lock_guard lock(event->mutex);
  event->signalled = false;
  return 1;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<Event> event = Find(handle);
  if (!event) return WAIT_FAILED;
  std::unique_lock lock(event->mutex);
  auto isSignalled = [&] { return event->signalled; };
  if (milliseconds == INFINITE) {
    event->changed.wait(lock, isSignalled);
  } else if (!event->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                      isSignalled)) {
    return WAIT_TIMEOUT;
  }
  // An automatic-reset event lets exactly one wait through per signal.
  if (!event->manualReset) event->signalled = false;
  return WAIT_OBJECT_0;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
  EventTable& table = Table();
  std::lock_guard lock(table.mutex);
  return table.events.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1 ? 1 : 0;
}
