// The backend of a machine on which the layer finds no host adapter.
#include "wnaspi32/front/backend.h"

namespace wnaspi32 {
namespace {

class NoAdaptersBackend final : public Backend {
 public:
  int AdapterCount() override { return 0; }
  std::uint8_t HostAdapterInquiry(int, SRB&) override { return SS_INVALID_HA; }
  std::uint8_t GetDeviceType(int, SRB&) override { return SS_INVALID_HA; }
  std::uint8_t GetDiskInfo(int, SRB&) override { return SS_INVALID_HA; }
  std::uint8_t ExecScsiCommand(int, SRB&, std::uint8_t*, std::uint32_t) override {
    return SS_INVALID_HA;
  }
  std::optional<std::uint8_t> DeviceTypeOf(int, const SRB&) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<Backend> MakeNoAdaptersBackend() { return std::make_unique<NoAdaptersBackend>(); }

}  // namespace wnaspi32
