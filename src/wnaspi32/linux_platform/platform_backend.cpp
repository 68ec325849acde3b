#include "wnaspi32/linux_platform/platform_backend.h"

#include <cstdio>
#include <mutex>

#include "wnaspi32/front/adapter_fields.h"
#include "wnaspi32/nvme/nvme_backend.h"
#include "wnaspi32/sg/sg_backend.h"

namespace wnaspi32 {
namespace {

// A one-byte adapter number reaches no further.
constexpr int MostAdapters = 255;

class LinuxBackend final : public Backend {
 public:
  LinuxBackend(linux_io::Roots roots, std::shared_ptr<linux_io::DeviceIo> io,
               std::chrono::milliseconds diskInfoWait)
      : roots_(std::move(roots)),
        io_(std::move(io)),
        diskInfoWait_(diskInfoWait),
        scsi_(MakeSgBackend(roots_, io_, diskInfoWait)) {}

  std::uint32_t SupportInfo() override {
    return SupportInfoFor(static_cast<std::size_t>(AdapterCount()));
  }

  int AdapterCount() override {
    Survey();
    return scsiCount_ + nvmeCount_;
  }

  std::uint8_t HostAdapterInquiry(SRB& srb) override {
    const std::uint8_t status = Of(srb).HostAdapterInquiry(srb);
    if (status == SS_COMP) srb.HA_Count = static_cast<std::uint8_t>(AdapterCount());
    return status;
  }
  std::uint8_t GetDeviceType(SRB& srb) override { return Of(srb).GetDeviceType(srb); }
  std::uint8_t GetDiskInfo(SRB& srb) override { return Of(srb).GetDiskInfo(srb); }
  std::uint8_t ExecScsiCommand(SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    return Of(srb).ExecScsiCommand(srb, buffer, bufferLength);
  }
  std::optional<std::uint8_t> DeviceTypeOf(const SRB& srb) override {
    return Of(srb).DeviceTypeOf(srb);
  }

 private:
  // The SCSI hosts keep the numbers they have without NVMe; the NVMe
  // controllers follow. Both are surveyed once, at first use.
  void Survey() {
    std::call_once(surveyed_, [this] {
      scsiCount_ = scsi_->AdapterCount();
      nvme_ = MakeNvmeBackend(roots_, io_, scsiCount_,
                              static_cast<std::size_t>(MostAdapters - scsiCount_), diskInfoWait_);
      nvmeCount_ = nvme_->AdapterCount();
      // The program then only says the layer is missing; this says why.
      if (scsiCount_ + nvmeCount_ == 0)
        std::fprintf(
            stderr, "wnaspi32: no SCSI host adapter under %s, no NVMe controller under %s\n",
            (roots_.sysfs / "class/scsi_host").c_str(), (roots_.sysfs / "class/nvme").c_str());
    });
  }

  // The front has checked SRB_HaId against the count.
  Backend& Of(const SRB& srb) {
    Survey();
    return srb.SRB_HaId < scsiCount_ ? *scsi_ : *nvme_;
  }

  const linux_io::Roots roots_;
  const std::shared_ptr<linux_io::DeviceIo> io_;
  const std::chrono::milliseconds diskInfoWait_;
  const std::unique_ptr<Backend> scsi_;
  std::once_flag surveyed_;
  std::unique_ptr<Backend> nvme_;
  int scsiCount_ = 0;
  int nvmeCount_ = 0;
};

}  // namespace

std::unique_ptr<Backend> MakeLinuxBackend(linux_io::Roots roots, std::shared_ptr<linux_io::DeviceIo> io,
                                          std::chrono::milliseconds diskInfoWait) {
  return std::make_unique<LinuxBackend>(std::move(roots), std::move(io), diskInfoWait);
}

std::unique_ptr<Backend> MakeLinuxBackend() {
  return MakeLinuxBackend({.sysfs = "/sys", .dev = "/dev"}, linux_io::MakeLinuxDeviceIo());
}

}  // namespace wnaspi32
