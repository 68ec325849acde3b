// A SCSI command as IOCTL_SCSI_PASS_THROUGH carries it: the request block,
// then room for the sense data, then the data buffer, in one buffer that
// goes in and comes back out (double-buffered: any alignment will do).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "wnaspi32/windows/answer_bytes.h"

namespace wnaspi32::windows {

// Room for sense data: as much as the request block's SenseArea holds.
constexpr std::uint8_t PassThroughSenseRoom = 36;
// Seconds Windows gives the command: below the program's ten.
constexpr std::uint32_t PassThroughTimeOutSeconds = 8;

struct PassThroughRequest {
  // Path, target and LUN; for a device object Windows fills them in itself.
  std::uint8_t path = 0, target = 0, lun = 0;
  std::span<const std::uint8_t> cdb;
  std::uint32_t dataLength = 0;  // bytes in, at most
};

// The input (and output) buffer of the call.
std::vector<std::uint8_t> BuildPassThrough(const PassThroughRequest& request);
// How long the output buffer is for `request`.
std::uint32_t PassThroughLength(const PassThroughRequest& request);

struct PassThroughReply {
  std::uint8_t scsiStatus = 0;
  std::vector<std::uint8_t> sense;
  std::vector<std::uint8_t> data;
};

// The call's output buffer read back: nothing when it is too short to hold
// the request block; sense and data no longer than asked for nor than
// what came back.
std::optional<PassThroughReply> ParsePassThrough(Bytes output, std::uint32_t dataLength);

}  // namespace wnaspi32::windows
