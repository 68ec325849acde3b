#include "wnaspi32/front/backend.h"

#include "wnaspi32/front/adapter_fields.h"

namespace wnaspi32 {

std::uint32_t Backend::SupportInfo() {
  return SupportInfoFor(static_cast<std::size_t>(AdapterCount()));
}

std::uint8_t Backend::GetDeviceType(int adapter, SRB& srb) {
  if (adapter < 0 || adapter >= AdapterCount()) return SS_INVALID_HA;
  const auto type = DeviceTypeOf(adapter, srb);
  if (!type) return SS_NO_DEVICE;
  srb.SRB_DeviceType = *type;
  return SS_COMP;
}

}  // namespace wnaspi32
