// On Windows a buffer goes into the request block by its real address, as
// the ASPI layer there expects (4 bytes on 32-bit Windows, 8 on 64-bit). The program remembers the
// length of the buffers it lends; an address it never lent (the layer's
// side) is taken at the length the request gives.
#ifdef _WIN32

#include <cstdint>
#include <limits>
#include <map>
#include <mutex>

#include "win32_stand_ins/buffer_handles.h"

static_assert(sizeof(void*) == sizeof(BufferHandle), "the request block holds whole addresses");

namespace {

std::mutex& LentMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

// Never destroyed: a late completion may look up a buffer while the
// program ends.
std::map<BufferHandle, std::uint32_t>& Lent() {
  static auto* lent = new std::map<BufferHandle, std::uint32_t>;
  return *lent;
}

}  // namespace

extern "C" BufferHandle RegisterDataBuffer(void* address, std::uint32_t length) {
  if (address == nullptr) return 0;
  const auto handle = static_cast<BufferHandle>(reinterpret_cast<std::uintptr_t>(address));
  const std::lock_guard lock(LentMutex());
  Lent()[handle] = length;
  return handle;
}

extern "C" void UnregisterDataBuffer(BufferHandle handle) {
  const std::lock_guard lock(LentMutex());
  Lent().erase(handle);
}

extern "C" void* LookupDataBuffer(BufferHandle handle, std::uint32_t* length) {
  if (handle == 0) {
    if (length != nullptr) *length = 0;
    return nullptr;
  }
  const std::lock_guard lock(LentMutex());
  const auto found = Lent().find(handle);
  if (length != nullptr) {
    *length = found != Lent().end() ? found->second : std::numeric_limits<std::uint32_t>::max();
  }
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(handle));
}

#endif
