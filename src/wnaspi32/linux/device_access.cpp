#include "wnaspi32/linux/device_access.h"

#include "wnaspi32/linux/disk_info.h"

namespace wnaspi32::linux_io {

std::uint8_t DeviceAccess::AnswerDiskInfo(SRB& srb, const ScsiDevice& device) {
  const auto info = AskDiskInfo(roots_, device, io_, workers_, slots_, diskInfoWait_);
  if (!info) return SS_ERR;
  srb.SRB_DriveFlags = info->driveFlags;
  srb.SRB_Int13HDriveInfo = info->int13Drive;
  srb.SRB_Heads = info->heads;
  srb.SRB_Sectors = info->sectors;
  return SS_COMP;
}

}  // namespace wnaspi32::linux_io
