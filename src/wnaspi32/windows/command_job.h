// One SCSI command of the Windows backend, run to its end (or to the
// bound) on a thread of the layer.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "wnaspi32/windows/call_status.h"
#include "wnaspi32/windows/storage_calls.h"
#include "wnaspi32/windows/survey.h"

namespace wnaspi32::windows {

struct CommandJob {
  std::shared_ptr<StorageCalls> calls;
  std::optional<std::uint8_t> port;  // the unit's port, if it has one
  std::uint8_t path = 0;
  Unit unit;
  std::vector<std::uint64_t> luns;  // the LUNs the port lists at the target
  std::vector<std::uint8_t> cdb;
  std::uint32_t dataLength = 0;
  std::chrono::milliseconds bound{};
};

// Pass-through to the unit, through its device object when a class driver
// owns it, else through its port; a UNIT ATTENTION goes once more. Where
// the handle for that is refused (an ordinary user), where Windows carries
// no pass-through there, or where an NVMe drive's translation refuses the
// command, the answer comes from what Windows tells anyone. Nothing when a
// call did not end within the bound: the request then stays pending.
std::optional<CommandOutcome> RunCommand(const CommandJob& job);

}  // namespace wnaspi32::windows
