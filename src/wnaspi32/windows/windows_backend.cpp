#include "wnaspi32/windows/windows_backend.h"

#include "wnaspi32/front/end_to_end.h"

namespace wnaspi32 {

// Finds no adapter yet.
std::unique_ptr<Backend> MakeWindowsBackend(std::shared_ptr<windows::StorageCalls>) {
  return LayEndToEnd({});
}

}  // namespace wnaspi32
