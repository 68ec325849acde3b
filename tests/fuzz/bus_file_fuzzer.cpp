// The bus file parser on arbitrary text: it returns a bus or one error with
// a problem, never crashes, and never takes long.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "wnaspi32/sim/bus_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  wnaspi32::sim::FieldError error;
  const auto bus = wnaspi32::sim::ParseBus(
      std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (!bus && error.problem.empty()) std::abort();
  if (bus && bus->adapters.size() > 255) std::abort();
  return 0;
}
