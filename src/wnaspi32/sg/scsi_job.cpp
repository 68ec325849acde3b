#include "sg/scsi_job.h"

#include <algorithm>
#include <cerrno>

#include "sg/cached_answers.h"
#include "wnaspi32.h"

namespace wnaspi32::sg {
namespace {

// The kernel's host bytes (DID_*) that have an ASPI counterpart.
constexpr std::uint16_t kDidOk = 0x00;
constexpr std::uint16_t kDidNoConnect = 0x01;
constexpr std::uint16_t kDidTimeOut = 0x03;
constexpr std::uint16_t kDidBadTarget = 0x04;
constexpr std::uint16_t kDidParity = 0x06;
constexpr std::uint16_t kDidReset = 0x08;

// ASPI host adapter statuses besides HASTAT_OK and HASTAT_SEL_TO.
constexpr std::uint8_t kHaStatCommandTimeout = 0x0B;
constexpr std::uint8_t kHaStatBusReset = 0x0E;
constexpr std::uint8_t kHaStatParityError = 0x0F;
constexpr std::uint8_t kHaStatPhaseError = 0x14;

// The low three bits of the driver byte carry an error; 08h only says that
// sense data came along.
constexpr std::uint16_t kDriverErrorMask = 0x07;

// The most a command can bring back: what its allocation length allows.
// Offered more room than that, some drivers get the underrun wrong
// (sym53c8xx reports a residual as large as the whole transfer, vmw_pvscsi
// fails the command), so the transfer is cut to it.
std::size_t MostDataOf(const std::vector<std::uint8_t>& cdb, std::size_t offered) {
  constexpr std::uint8_t kInquiry = 0x12;
  constexpr std::uint8_t kReadCapacity10 = 0x25;
  constexpr std::uint8_t kServiceActionIn16 = 0x9E;
  constexpr std::uint8_t kReadCapacity16Action = 0x10;
  std::size_t most = offered;
  if (cdb.size() >= 6 && cdb[0] == kInquiry) most = std::size_t{cdb[3]} << 8 | cdb[4];
  if (cdb.size() >= 10 && cdb[0] == kReadCapacity10) most = 8;
  const bool readCapacity16 =
      cdb.size() >= 16 && cdb[0] == kServiceActionIn16 && (cdb[1] & 0x1F) == kReadCapacity16Action;
  if (readCapacity16)
    most = std::size_t{cdb[10]} << 24 | std::size_t{cdb[11]} << 16 | std::size_t{cdb[12]} << 8 |
           cdb[13];
  return std::min(most, offered);
}

bool MayAnswerFromSysfs(int error) {
  return error == EACCES || error == EPERM || error == ENOENT;
}

ScsiJobResult AnswerFromSysfs(const ScsiJob& job) {
  ScsiJobResult result;
  result.status = SS_ERR;
  const auto answer = AnswerFromCache(job.cdb, ReadCachedDeviceData(job.device));
  if (!answer) return result;
  result.status = SS_COMP;
  result.data.assign(answer->begin(),
                     answer->begin() + std::min(answer->size(), job.data.size()));
  return result;
}

}  // namespace

std::uint8_t HostAdapterStatus(std::uint16_t hostByte) {
  switch (hostByte) {
    case kDidOk:
      return HASTAT_OK;
    case kDidNoConnect:
    case kDidBadTarget:
      return HASTAT_SEL_TO;
    case kDidTimeOut:
      return kHaStatCommandTimeout;
    case kDidParity:
      return kHaStatParityError;
    case kDidReset:
      return kHaStatBusReset;
    default:
      return kHaStatPhaseError;
  }
}

ScsiJobResult RunScsiJob(ScsiJob job, DeviceIo& io) {
  if (job.device.sgName.empty()) return AnswerFromSysfs(job);

  job.data.resize(MostDataOf(job.cdb, job.data.size()));
  std::vector<std::uint8_t> sense(job.senseRoom);
  const ScsiCommand command{.cdb = job.cdb, .data = job.data, .sense = sense,
                            .timeoutMs = kScsiTimeoutMs};
  const ScsiOutcome outcome = io.Run((job.devRoot / job.device.sgName).string(), command);
  if (outcome.error != 0) {
    if (MayAnswerFromSysfs(outcome.error)) return AnswerFromSysfs(job);
    // Unplugged, held exclusively, or refused: nothing reached the buffer.
    return {.status = SS_ERR, .haStat = 0, .targStat = 0, .sense = {}, .data = {}};
  }

  ScsiJobResult result;
  result.haStat = HostAdapterStatus(outcome.hostStatus);
  result.targStat = outcome.status;
  const bool good = outcome.status == STATUS_GOOD && outcome.hostStatus == kDidOk &&
                    (outcome.driverStatus & kDriverErrorMask) == 0;
  result.status = good ? SS_COMP : SS_ERR;
  sense.resize(std::min<std::size_t>(outcome.senseLength, sense.size()));
  result.sense = std::move(sense);
  const std::size_t residual = static_cast<std::size_t>(
      std::clamp<std::int64_t>(outcome.residual, 0, static_cast<std::int64_t>(job.data.size())));
  job.data.resize(job.data.size() - residual);
  result.data = std::move(job.data);
  return result;
}

}  // namespace wnaspi32::sg
