#include "bus.h"

namespace wnaspi32::sim {

const Target* FindTarget(const Adapter& adapter, std::uint8_t id) {
  for (const Target& target : adapter.targets)
    if (target.id == id) return &target;
  return nullptr;
}

}  // namespace wnaspi32::sim
