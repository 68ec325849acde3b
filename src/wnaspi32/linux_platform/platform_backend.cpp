#include "wnaspi32/linux_platform/platform_backend.h"

#include <cstdio>
#include <vector>

#include "wnaspi32/front/end_to_end.h"
#include "wnaspi32/nvme/nvme_backend.h"
#include "wnaspi32/sg/sg_backend.h"

namespace wnaspi32 {

std::unique_ptr<Backend> MakePlatformBackend(linux_io::Reach reach) {
  // The SCSI hosts keep the numbers they have without NVMe; the NVMe
  // controllers follow.
  std::vector<std::unique_ptr<Backend>> backends;
  backends.push_back(MakeSgBackend(reach));
  backends.push_back(MakeNvmeBackend(reach));
  // The program then only says the layer is missing; this says why.
  const auto noneFound = [scsiHosts = reach.roots.sysfs / "class/scsi_host",
                          nvmeControllers = reach.roots.sysfs / "class/nvme"] {
    std::fprintf(stderr, "wnaspi32: no SCSI host adapter under %s, no NVMe controller under %s\n",
                 scsiHosts.c_str(), nvmeControllers.c_str());
  };
  return LayEndToEnd(std::move(backends), noneFound);
}

std::unique_ptr<Backend> MakePlatformBackend() {
  return MakePlatformBackend(
      {.roots = {.sysfs = "/sys", .dev = "/dev"}, .io = linux_io::MakeLinuxDeviceIo()});
}

}  // namespace wnaspi32
