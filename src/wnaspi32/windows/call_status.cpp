#include "wnaspi32/windows/call_status.h"

#include "wnaspi32.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {
namespace {

enum class Meaning {
  Gone,     // the device is not there: an empty target
  Refused,  // Windows carries no such call here: nothing about the bus
  Waiting,  // the command never ran; asked again later it may well
  Failed,   // it ran and failed on its way
};

struct Mapping {
  std::uint32_t error;
  Meaning meaning;
  std::uint8_t haStat;
};

// Every Windows error the layer tells apart, and what the program reads.
// A device that went away looks like an empty target (selection
// time-out), whichever moment of its removal the command met, as on
// Linux. Errors not listed say nothing about the bus: SS_ERR with
// HASTAT_OK.
constexpr Mapping Mappings[] = {
    {ErrorFileNotFound, Meaning::Gone, HASTAT_SEL_TO},
    {ErrorDevNotExist, Meaning::Gone, HASTAT_SEL_TO},
    {ErrorNoSuchDevice, Meaning::Gone, HASTAT_SEL_TO},
    {ErrorDeviceNotConnected, Meaning::Gone, HASTAT_SEL_TO},
    {ErrorDeviceRemoved, Meaning::Gone, HASTAT_SEL_TO},
    {ErrorInvalidFunction, Meaning::Refused, HASTAT_OK},
    {ErrorNotSupported, Meaning::Refused, HASTAT_OK},
    {ErrorInvalidParameter, Meaning::Refused, HASTAT_OK},
    {ErrorBusy, Meaning::Waiting, HASTAT_TIMEOUT},
    {ErrorSemTimeout, Meaning::Failed, HASTAT_COMMAND_TIMEOUT},
    {ErrorTimeout, Meaning::Failed, HASTAT_COMMAND_TIMEOUT},
    {ErrorOperationAborted, Meaning::Failed, HASTAT_COMMAND_TIMEOUT},
    {ErrorBusReset, Meaning::Failed, HASTAT_BUS_RESET},
    {ErrorCrc, Meaning::Failed, HASTAT_PARITY_ERROR},
    {ErrorIoDevice, Meaning::Failed, HASTAT_PHASE_ERR},
    {ErrorGenFailure, Meaning::Failed, HASTAT_PHASE_ERR},
};

const Mapping* Find(std::uint32_t error) {
  for (const Mapping& m : Mappings)
    if (m.error == error) return &m;
  return nullptr;
}

}  // namespace

std::uint8_t HostAdapterStatusOfError(std::uint32_t error) {
  const Mapping* found = Find(error);
  return found ? found->haStat : HASTAT_OK;
}

bool DeviceIsGone(std::uint32_t error) {
  const Mapping* found = Find(error);
  return found && found->meaning == Meaning::Gone;
}

bool CallRefused(std::uint32_t error) {
  const Mapping* found = Find(error);
  return found && found->meaning == Meaning::Refused;
}

CommandOutcome FailedCall(std::uint32_t error) {
  return {.status = SS_ERR,
          .haStat = HostAdapterStatusOfError(error),
          .targStat = STATUS_GOOD,
          .sense = {},
          .data = {}};
}

CommandOutcome TargetAnswer(std::uint8_t status, std::vector<std::uint8_t> sense,
                            std::vector<std::uint8_t> data) {
  const bool recovered =
      status == STATUS_CHKCOND && scsi::SenseKeyOf(sense) == scsi::SenseKeyRecoveredError;
  const bool good = status == STATUS_GOOD || recovered;
  return {.status = good ? SS_COMP : SS_ERR,
          .haStat = HASTAT_OK,
          .targStat = status,
          .sense = status == STATUS_CHKCOND ? std::move(sense) : std::vector<std::uint8_t>{},
          .data = std::move(data)};
}

bool IsUnitAttention(std::uint8_t status, std::span<const std::uint8_t> sense) {
  return status == STATUS_CHKCOND && scsi::SenseKeyOf(sense) == scsi::SenseKeyUnitAttention;
}

CommandOutcome CheckCondition(const scsi::FixedSense& sense) {
  return TargetAnswer(STATUS_CHKCOND, {sense.begin(), sense.end()}, {});
}

}  // namespace wnaspi32::windows
