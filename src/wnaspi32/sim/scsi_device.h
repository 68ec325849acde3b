// How a simulated device answers a SCSI command.
#pragma once

#include <cstdint>
#include <vector>

#include "wnaspi32/sim/bus.h"

namespace wnaspi32::sim {

struct ScsiAnswer {
  std::uint8_t status = 1;  // SRB_Status
  // False when the request ends without any reply: SRB_HaStat, SRB_TargStat
  // and the sense area then stay as they were.
  bool replies = true;
  std::uint8_t haStat = 0;
  std::uint8_t targStat = 0;
  // What lands in the data buffer, already cut to what the command and the
  // buffer allow; empty when the command ends without data.
  std::vector<std::uint8_t> data;
  // Fixed-format sense data with a check condition, else empty.
  std::vector<std::uint8_t> sense;
  int delayMs = 0;
};

// The answer to the command in `cdb` (16 bytes) addressed to logical unit
// `lun` of target `id` on `adapter`, with `bufferLength` bytes of room for
// data. A target without that LUN answers INQUIRY as a missing unit and
// REPORT LUNS as any of its LUNs does; nobody at all answers nothing.
ScsiAnswer AnswerScsiCommand(const Adapter& adapter, std::uint8_t id, std::uint8_t lun,
                             const std::uint8_t* cdb, std::uint32_t bufferLength);

}  // namespace wnaspi32::sim
