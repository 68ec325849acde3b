#include "win32_stand_ins/buffer_handles.h"

#include <map>
#include <mutex>
#include <utility>

#include "win32_stand_ins/never_destroyed.h"

namespace {

struct BufferTable {
  std::mutex mutex;
  std::map<std::uint32_t, std::pair<void*, std::uint32_t>> buffers;
  std::map<void*, std::uint32_t> handles;
  std::uint32_t lastHandle = 0;
};

BufferTable& Table() {
  static NeverDestroyed<BufferTable> table;
  return *table;
}

}  // namespace

extern "C" std::uint32_t RegisterDataBuffer(void* address, std::uint32_t length) {
  if (address == nullptr) return 0;
  BufferTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto [it, added] = table.handles.emplace(address, 0);
  if (added) {
    // A 32-bit build hands out the address itself, as the real layer expects.
    it->second = sizeof(void*) == sizeof(std::uint32_t)
                     ? static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address))
                     : ++table.lastHandle;
  }
  table.buffers[it->second] = {address, length};
  return it->second;
}

extern "C" void UnregisterDataBuffer(std::uint32_t handle) {
  BufferTable& table = Table();
  std::lock_guard lock(table.mutex);
  const auto it = table.buffers.find(handle);
  if (it == table.buffers.end()) return;
  table.handles.erase(it->second.first);
  table.buffers.erase(it);
}

extern "C" void* LookupDataBuffer(std::uint32_t handle, std::uint32_t* length) {
  BufferTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.buffers.find(handle);
  if (it == table.buffers.end()) {
    if (length) *length = 0;
    return nullptr;
  }
  if (length) *length = it->second.second;
  return it->second.first;
}
