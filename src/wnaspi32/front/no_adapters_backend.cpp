// The backend of a machine on which the layer finds no host adapter.
#include "wnaspi32/front/backend.h"

namespace wnaspi32 {
namespace {

class NoAdaptersBackend final : public Backend {
 public:
  std::uint32_t SupportInfo() override { return std::uint32_t{SS_NO_ADAPTERS} << 8; }
  int AdapterCount() override { return 0; }
  std::uint8_t HostAdapterInquiry(SRB&) override { return SS_INVALID_HA; }
  std::uint8_t GetDeviceType(SRB&) override { return SS_INVALID_HA; }
  std::uint8_t GetDiskInfo(SRB&) override { return SS_INVALID_HA; }
  std::uint8_t ExecScsiCommand(SRB&, std::uint8_t*, std::uint32_t) override {
    return SS_INVALID_HA;
  }
  std::optional<std::uint8_t> DeviceTypeOf(const SRB&) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<Backend> MakeNoAdaptersBackend() { return std::make_unique<NoAdaptersBackend>(); }

}  // namespace wnaspi32
