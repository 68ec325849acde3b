#include "wnaspi32/nvme/nvme_backend.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "scsi/commands.h"
#include "wnaspi32/front/adapter_fields.h"
#include "wnaspi32/nvme/nvme_tree.h"
#include "wnaspi32/nvme/scsi_translation.h"

namespace wnaspi32 {
namespace {

using nvme::Controller;
using nvme::Namespace;

constexpr std::uint8_t HostScsiId = 7;

class NvmeBackend final : public Backend {
 public:
  explicit NvmeBackend(linux_io::Reach reach) : access_(std::move(reach)) {}

  int AdapterCount() override { return controllers_.Count(); }

  std::uint8_t HostAdapterInquiry(int adapter, SRB& srb) override {
    const Controller* controller = controllers_.Find(adapter);
    if (controller == nullptr) return SS_INVALID_HA;
    srb.HA_SCSI_ID = HostScsiId;
    CopyAdapterName(srb.HA_ManagerId, linux_io::ManagerName);
    CopyAdapterName(srb.HA_Identifier, controller->transport);
    // Namespace n sits at target n - 1.
    unsigned highest = 0;
    for (const Namespace& ns : nvme::ListNamespaces(access_.sysfs(), controller->number))
      if (ns.nsid > 0) highest = std::max<unsigned>(highest, ns.nsid - 1);
    FillHaUnique(srb, TargetIdCount(highest));
    return SS_COMP;
  }

  // Every namespace is a disk.
  std::optional<std::uint8_t> DeviceTypeOf(int adapter, const SRB& srb) override {
    const Controller* controller = controllers_.Find(adapter);
    if (controller == nullptr || !NamespaceOf(*controller, srb)) return std::nullopt;
    return scsi::DirectAccessDevice;
  }

  std::uint8_t GetDiskInfo(int adapter, SRB& srb) override {
    const Controller* controller = controllers_.Find(adapter);
    if (controller == nullptr) return SS_INVALID_HA;
    const auto ns = NamespaceOf(*controller, srb);
    if (!ns) return SS_NO_DEVICE;
    // The namespace's block device is a disk like any other.
    const linux_io::ScsiDevice disk{.dir = ns->dir,
                                    .type = scsi::DirectAccessDevice,
                                    .sgName = {},
                                    .blockName = ns->blockName,
                                    .blockDir = ns->dir};
    return access_.AnswerDiskInfo(srb, disk);
  }

  // Answered at once, from sysfs: nothing is sent to the device, so nothing
  // waits for it.
  std::uint8_t ExecScsiCommand(int adapter, SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    const Controller* controller = controllers_.Find(adapter);
    if (controller == nullptr) return SS_INVALID_HA;
    const auto ns = NamespaceOf(*controller, srb);
    std::optional<nvme::Answer> answer;
    if (ns) {
      if (const auto facts = nvme::ReadNamespaceFacts(ControllerDir(*controller), *ns))
        answer = nvme::Translate(std::span(srb.CDBByte, srb.SRB_CDBLen), *facts);
    }
    if (!answer) {
      // Gone, or gone while its facts were read: an empty target.
      const bool there = ns && nvme::FindNamespace(access_.sysfs(), controller->number, ns->nsid);
      srb.SRB_HaStat = there ? HASTAT_OK : HASTAT_SEL_TO;
      return SS_ERR;
    }
    srb.SRB_HaStat = HASTAT_OK;
    if (!answer->good) {
      srb.SRB_TargStat = STATUS_CHKCOND;
      const std::size_t room =
          std::min<std::size_t>({srb.SRB_SenseLen, sizeof srb.SenseArea, answer->sense.size()});
      std::memcpy(srb.SenseArea, answer->sense.data(), room);
      return SS_ERR;
    }
    srb.SRB_TargStat = STATUS_GOOD;
    const std::size_t sent = std::min<std::size_t>(answer->data.size(), bufferLength);
    if (sent > 0) std::memcpy(buffer, answer->data.data(), sent);
    SetResidualCount(srb, sent);
    return SS_COMP;
  }

 private:
  std::filesystem::path ControllerDir(const Controller& controller) const {
    return nvme::ControllerDir(access_.sysfs(), controller.number);
  }

  // Namespace ID n is at target n - 1, LUN 0; looked up anew every time,
  // for one may have gone.
  std::optional<Namespace> NamespaceOf(const Controller& controller, const SRB& srb) {
    if (srb.SRB_Lun != 0) return std::nullopt;
    return nvme::FindNamespace(access_.sysfs(), controller.number, srb.SRB_Target + 1u);
  }

  AdapterList<Controller> controllers_{
      [this] { return nvme::ListControllers(access_.sysfs(), MostAdapters); }};
  // Last, so that the disk reads under way end before anything else goes.
  linux_io::DeviceAccess access_;
};

}  // namespace

std::unique_ptr<Backend> MakeNvmeBackend(linux_io::Reach reach) {
  return std::make_unique<NvmeBackend>(std::move(reach));
}

}  // namespace wnaspi32
