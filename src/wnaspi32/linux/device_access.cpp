#include "wnaspi32/linux/device_access.h"

#include "wnaspi32/linux/disk_info.h"

namespace wnaspi32::linux_io {

std::uint8_t DeviceAccess::AnswerDiskInfo(SRB& srb, const ScsiDevice& device) {
  const auto info =
      AskDiskInfo(reach_.roots, device, reach_.io, workers_, slots_, reach_.diskInfoWait);
  if (!info) return SS_ERR;
  srb.SRB_DriveFlags = info->driveFlags;
  srb.SRB_Int13HDriveInfo = info->int13Drive;
  srb.SRB_Heads = info->heads;
  srb.SRB_Sectors = info->sectors;
  return SS_COMP;
}

}  // namespace wnaspi32::linux_io
