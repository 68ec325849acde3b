// The test layer's platform: the Windows backend over the fake storage
// stack serving the bus file WNASPI32_FAKE_WINDOWS names, as an
// administrator, or as an ordinary user when WNASPI32_FAKE_USER is 1.
// Without it, no adapter.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "fake_storage.h"
#include "wnaspi32/front/end_to_end.h"
#include "wnaspi32/windows/windows_backend.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakePlatformBackend() {
  const char* file = std::getenv("WNASPI32_FAKE_WINDOWS");
  if (file == nullptr || *file == '\0') return LayEndToEnd({});
  const char* user = std::getenv("WNASPI32_FAKE_USER");
  const auto rights = user != nullptr && std::string_view(user) == "1" ? fake_windows::Rights::OrdinaryUser
                                                                       : fake_windows::Rights::Administrator;
  std::string error;
  auto storage = fake_windows::LoadFakeStorage(file, rights, error);
  if (storage == nullptr) {
    std::fprintf(stderr, "wnaspi32: %s\n", error.c_str());
    return LayEndToEnd({});
  }
  // Laid end to end as the shipped layer lays its backends: that gives
  // every adapter inquiry the whole count.
  std::vector<std::unique_ptr<Backend>> backends;
  backends.push_back(MakeWindowsBackend(std::move(storage)));
  return LayEndToEnd(std::move(backends));
}

}  // namespace wnaspi32
