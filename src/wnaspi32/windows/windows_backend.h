// The backend over Windows' storage calls: SCSI ports' buses as host
// adapters, commands through the device objects, and for an ordinary user
// the answers Windows gives anyone.
#pragma once

#include <memory>

#include "wnaspi32/front/backend.h"
#include "wnaspi32/windows/storage_calls.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakeWindowsBackend(std::shared_ptr<windows::StorageCalls> calls);

}  // namespace wnaspi32
