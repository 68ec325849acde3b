// The layer on Windows: the Windows backend over kernel32's storage calls.
#include <cstdio>
#include <memory>
#include <vector>

#include "wnaspi32/front/end_to_end.h"
#include "wnaspi32/windows/windows_backend.h"
#include "wnaspi32/windows_platform/kernel32_storage_calls.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakePlatformBackend() {
  std::vector<std::unique_ptr<Backend>> backends;
  backends.push_back(MakeWindowsBackend(windows::MakeKernel32StorageCalls()));
  // The program then only says the layer is missing; this says why.
  const auto noneFound = [] {
    std::fputs("wnaspi32: no SCSI port (\\\\.\\Scsi0: on) and no disk, CD-ROM or tape device\n",
               stderr);
  };
  return LayEndToEnd(std::move(backends), noneFound);
}

}  // namespace wnaspi32
