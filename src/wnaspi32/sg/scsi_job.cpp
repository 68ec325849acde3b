#include "sg/scsi_job.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "scsi/commands.h"
#include "sg/cached_answers.h"
#include "sg/host_status.h"
#include "wnaspi32.h"

namespace wnaspi32::sg {
namespace {

constexpr std::uint16_t DidOk = 0x00;
constexpr std::chrono::milliseconds RemovalSettle{500};

// The low three bits of the driver byte carry an error; 08h only says that
// sense data came along.
constexpr std::uint16_t DriverErrorMask = 0x07;

// The most a command can bring back: what its allocation length allows.
// Offered more room than that, some drivers get the underrun wrong
// (sym53c8xx reports a residual as large as the whole transfer, vmw_pvscsi
// fails the command), so the transfer is cut to it.
std::size_t MostDataOf(const std::vector<std::uint8_t>& cdb, std::size_t offered) {
  std::size_t most = offered;
  if (cdb.size() >= 6 && cdb[0] == scsi::Inquiry)
    most = scsi::GetBigEndian(cdb.data(), scsi::InquiryAllocationLength);
  if (cdb.size() >= 10 && cdb[0] == scsi::ReadCapacity10) most = scsi::ReadCapacity10Length;
  const bool readCapacity16 = cdb.size() >= 16 && cdb[0] == scsi::ServiceActionIn16 &&
                              (cdb[1] & scsi::ServiceActionMask) == scsi::ReadCapacity16Action;
  if (readCapacity16) most = scsi::GetBigEndian(cdb.data(), scsi::ReadCapacity16AllocationLength);
  if (cdb.size() >= 12 && cdb[0] == scsi::ReportLuns)
    most = scsi::GetBigEndian(cdb.data(), scsi::ReportLunsAllocationLength);
  return std::min(most, offered);
}

bool MayAnswerFromSysfs(int error) {
  return error == EACCES || error == EPERM || error == ENOENT;
}

// A command that failed to a device no longer there failed because it left.
std::uint8_t FailedHaStat(const ScsiJob& job, std::uint8_t haStat) {
  return DeviceIsThere(job.device.dir) ? haStat : HASTAT_SEL_TO;
}

ScsiJobResult AnswerFromSysfs(const ScsiJob& job) {
  ScsiJobResult result;
  result.status = SS_ERR;
  const auto answer = AnswerFromCache(job.cdb, ReadCachedDeviceData(job.device, job.cdb));
  if (!answer) {
    result.haStat = FailedHaStat(job, HASTAT_OK);
    return result;
  }
  result.status = SS_COMP;
  result.data.assign(answer->begin(),
                     answer->begin() + std::min(answer->size(), job.data.size()));
  return result;
}

}  // namespace

ScsiJobResult RunScsiJob(ScsiJob job, DeviceIo& io) {
  if (job.device.sgName.empty()) return AnswerFromSysfs(job);

  job.data.resize(MostDataOf(job.cdb, job.data.size()));
  std::vector<std::uint8_t> sense(job.senseRoom);
  const ScsiCommand command{
      .cdb = job.cdb, .data = job.data, .sense = sense, .timeoutMs = ScsiTimeoutMs};
  const ScsiOutcome outcome = io.Run((job.devRoot / job.device.sgName).string(), command);
  if (outcome.error != 0) {
    if (MayAnswerFromSysfs(outcome.error)) return AnswerFromSysfs(job);
    // Unplugged, held exclusively, or refused: nothing reached the buffer.
    return {.status = SS_ERR,
            .haStat = FailedHaStat(job, HostAdapterStatusOfError(outcome.error)),
            .targStat = 0, .sense = {}, .data = {}};
  }

  ScsiJobResult result;
  result.haStat = HostAdapterStatus(outcome.hostStatus);
  result.targStat = outcome.status;
  const bool good = outcome.status == STATUS_GOOD && outcome.hostStatus == DidOk &&
                    (outcome.driverStatus & DriverErrorMask) == 0;
  result.status = good ? SS_COMP : SS_ERR;
  if (!good) result.haStat = FailedHaStat(job, result.haStat);
  // A USB stick pulled out fails the transfer (DID_ERROR) a moment before
  // the kernel starts removing its device: look once more a little later.
  if (!good && result.haStat != HASTAT_SEL_TO && outcome.hostStatus != DidOk) {
    std::this_thread::sleep_for(RemovalSettle);
    result.haStat = FailedHaStat(job, result.haStat);
  }
  sense.resize(std::min<std::size_t>(outcome.senseLength, sense.size()));
  result.sense = std::move(sense);
  const std::size_t residual = static_cast<std::size_t>(
      std::clamp<std::int64_t>(outcome.residual, 0, static_cast<std::int64_t>(job.data.size())));
  job.data.resize(job.data.size() - residual);
  result.data = std::move(job.data);
  return result;
}

}  // namespace wnaspi32::sg
