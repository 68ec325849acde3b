// The backend over Windows' storage calls: SCSI ports' buses as host
// adapters, commands through the device objects, and for an ordinary user
// the answers Windows gives anyone.
#pragma once

#include <chrono>
#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/windows/bounded_call.h"
#include "wnaspi32/windows/storage_calls.h"

namespace wnaspi32 {

// `bound`: the most any request waits on Windows (the tests shorten it).
std::unique_ptr<Backend> MakeWindowsBackend(
    std::shared_ptr<windows::StorageCalls> calls,
    std::chrono::milliseconds bound = windows::RequestBound);

}  // namespace wnaspi32
