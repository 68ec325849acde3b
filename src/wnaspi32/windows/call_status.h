// What the program reads of a SCSI command (SRB_Status, SRB_HaStat,
// SRB_TargStat, the sense and the data) from what Windows said of it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scsi/commands.h"

namespace wnaspi32::windows {

struct CommandOutcome {
  std::uint8_t status = 0;  // SS_COMP or SS_ERR
  std::uint8_t haStat = 0;
  std::uint8_t targStat = 0;
  std::vector<std::uint8_t> sense;
  std::vector<std::uint8_t> data;
};

// The host adapter status of a call that failed with Windows error
// `error` (or of a wait that ran out: ErrorTimeout).
std::uint8_t HostAdapterStatusOfError(std::uint32_t error);

// Whether `error` says that the device is not there (any more).
bool DeviceIsGone(std::uint32_t error);

// Whether `error` says that Windows would not carry the call for this
// device or handle (no such control, a claimed unit through its port):
// nothing about the device itself.
bool CallRefused(std::uint32_t error);

// A call that failed with `error`: SS_ERR and its host adapter status.
CommandOutcome FailedCall(std::uint32_t error);

// A command that reached the target and ended with SCSI status `status`:
// GOOD, or CHECK CONDITION with RECOVERED ERROR (the data is good, the
// sense says how), is SS_COMP; anything else SS_ERR with the target's
// status in SRB_TargStat.
CommandOutcome TargetAnswer(std::uint8_t status, std::vector<std::uint8_t> sense,
                            std::vector<std::uint8_t> data);

// Whether the target's answer is a UNIT ATTENTION: something past (a
// reset, a new medium), not this command's fault: it goes once more.
bool IsUnitAttention(std::uint8_t status, std::span<const std::uint8_t> sense);

// CHECK CONDITION with this sense, as the layer answers for the device.
CommandOutcome CheckCondition(const scsi::FixedSense& sense);

// Sense for answers the layer gives in the device's place.
constexpr std::uint8_t SenseKeyNotReady = 0x02;
constexpr std::uint8_t AscMediumNotPresent = 0x3A;

}  // namespace wnaspi32::windows
