#include "wnaspi32/front/end_to_end.h"

#include <algorithm>
#include <mutex>

#include "wnaspi32/front/adapter_fields.h"

namespace wnaspi32 {
namespace {

class EndToEnd final : public Backend {
 public:
  EndToEnd(std::vector<std::unique_ptr<Backend>> backends, std::function<void()> noneFound)
      : backends_(std::move(backends)), noneFound_(std::move(noneFound)) {}

  int AdapterCount() override { return Survey().back(); }

  std::uint8_t HostAdapterInquiry(int adapter, SRB& srb) override {
    const Part part = PartOf(adapter);
    const std::uint8_t status = part.backend.HostAdapterInquiry(part.adapter, srb);
    if (status == SS_COMP) srb.HA_Count = static_cast<std::uint8_t>(AdapterCount());
    return status;
  }
  std::uint8_t GetDeviceType(int adapter, SRB& srb) override {
    const Part part = PartOf(adapter);
    return part.backend.GetDeviceType(part.adapter, srb);
  }
  std::uint8_t GetDiskInfo(int adapter, SRB& srb) override {
    const Part part = PartOf(adapter);
    return part.backend.GetDiskInfo(part.adapter, srb);
  }
  std::uint8_t ExecScsiCommand(int adapter, SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    const Part part = PartOf(adapter);
    return part.backend.ExecScsiCommand(part.adapter, srb, buffer, bufferLength);
  }
  std::optional<std::uint8_t> DeviceTypeOf(int adapter, const SRB& srb) override {
    const Part part = PartOf(adapter);
    return part.backend.DeviceTypeOf(part.adapter, srb);
  }

 private:
  struct Part {
    Backend& backend;
    int adapter;  // among the backend's own
  };

  // Where each backend's adapters begin, and last the count of them all.
  // The program numbers the adapters once for the whole run, so they are
  // counted once.
  const std::vector<int>& Survey() {
    std::call_once(surveyed_, [this] {
      int total = 0;
      for (const auto& backend : backends_) {
        starts_.push_back(total);
        total = std::min(total + backend->AdapterCount(), MostAdapters);
      }
      starts_.push_back(total);
      if (total == 0 && noneFound_) noneFound_();
    });
    return starts_;
  }

  // The front has checked `adapter` against the count.
  Part PartOf(int adapter) {
    const auto& starts = Survey();
    std::size_t i = 0;
    while (adapter >= starts[i + 1]) ++i;
    return {*backends_[i], adapter - starts[i]};
  }

  const std::vector<std::unique_ptr<Backend>> backends_;
  const std::function<void()> noneFound_;
  std::once_flag surveyed_;
  std::vector<int> starts_;
};

}  // namespace

std::unique_ptr<Backend> LayEndToEnd(std::vector<std::unique_ptr<Backend>> backends,
                                     std::function<void()> noneFound) {
  return std::make_unique<EndToEnd>(std::move(backends), std::move(noneFound));
}

}  // namespace wnaspi32
