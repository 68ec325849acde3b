// One SCSI command of the layer, run to its end on a thread of the layer.
#pragma once

#include <cstdint>
#include <vector>

#include "wnaspi32/linux/device_io.h"
#include "wnaspi32/linux/sysfs_tree.h"

namespace wnaspi32::sg {

struct ScsiJob {
  std::filesystem::path devRoot;
  linux_io::ScsiDevice device;
  std::vector<std::uint8_t> cdb;
  // The data-in buffer, of the length the command may fill, holding what
  // the caller's buffer held: bytes the device does not send stay as they were.
  std::vector<std::uint8_t> data;
  std::uint8_t senseRoom = 0;
};

struct ScsiJobResult {
  std::uint8_t status = 0;  // SS_COMP or SS_ERR
  std::uint8_t haStat = 0;
  std::uint8_t targStat = 0;
  std::vector<std::uint8_t> sense;
  std::vector<std::uint8_t> data;  // what arrived, to be copied to the caller
};

// Runs the command through the sg driver, once more after a UNIT ATTENTION.
// Without the right to open the sg node, or without one, INQUIRY and READ
// CAPACITY are answered from sysfs. A command that fails to a device that
// has gone has HaStat 11h (selection time-out). CHECK CONDITION with
// RECOVERED ERROR is done: the data is good, TargStat and sense say how.
ScsiJobResult RunScsiJob(ScsiJob job, linux_io::DeviceIo& io);

}  // namespace wnaspi32::sg
