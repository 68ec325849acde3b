#include "wnaspi32/sg/scsi_job.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "scsi/commands.h"
#include "wnaspi32.h"
#include "wnaspi32/linux/host_status.h"
#include "wnaspi32/sg/cached_answers.h"

namespace wnaspi32::sg {
using linux_io::DeviceIo;
using linux_io::ScsiOutcome;
namespace {

constexpr std::uint16_t DidOk = 0x00;
constexpr std::chrono::milliseconds RemovalSettle{500};

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

std::span<const std::uint8_t> SenseGot(const std::vector<std::uint8_t>& sense,
                                       const ScsiOutcome& outcome) {
  return {sense.data(), std::min<std::size_t>(outcome.senseLength, sense.size())};
}

// A command that failed to a device no longer there failed because it left.
std::uint8_t FailedHaStat(const ScsiJob& job, std::uint8_t haStat) {
  return linux_io::DeviceIsThere(job.device.dir) ? haStat : HASTAT_SEL_TO;
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
  const std::vector<std::uint8_t> given = job.data;
  // The whole sense data, whatever the caller has room for: the sense key
  // decides what the outcome means.
  std::vector<std::uint8_t> sense(linux_io::SenseRoom);
  const std::string node = (job.devRoot / job.device.sgName).string();
  ScsiOutcome outcome;
  // A UNIT ATTENTION tells of something past (a reset, a new medium or
  // capacity), not of this command: it goes once more, as the kernel's own
  // disk and CD-ROM drivers do. A second one is the answer.
  for (int attempt = 0; attempt < 2; ++attempt) {
    job.data = given;
    outcome = io.Run(node, {.cdb = job.cdb, .data = job.data, .sense = sense,
                            .timeoutMs = linux_io::ScsiTimeoutMs});
    const auto key = scsi::SenseKeyOf(SenseGot(sense, outcome));
    const bool attention = outcome.error == 0 && outcome.status == STATUS_CHKCOND &&
                           key == scsi::SenseKeyUnitAttention;
    if (!attention) break;
  }
  if (outcome.error != 0) {
    if (linux_io::NodeClosedToUs(outcome.error)) return AnswerFromSysfs(job);
    // Unplugged, held exclusively, or refused: nothing reached the buffer.
    return {.status = SS_ERR,
            .haStat = FailedHaStat(job, linux_io::HostAdapterStatusOfError(outcome.error)),
            .targStat = 0, .sense = {}, .data = {}};
  }

  ScsiJobResult result;
  result.haStat = linux_io::HostAdapterStatus(outcome.hostStatus, outcome.driverStatus);
  result.targStat = outcome.status;
  const auto senseGot = SenseGot(sense, outcome);
  // The device recovered the error itself: the data is good, as the
  // kernel's disk driver takes it, and TargStat and the sense say so.
  const bool recovered = outcome.status == STATUS_CHKCOND &&
                         scsi::SenseKeyOf(senseGot) == scsi::SenseKeyRecoveredError;
  const bool good = result.haStat == HASTAT_OK && (outcome.status == STATUS_GOOD || recovered);
  result.status = good ? SS_COMP : SS_ERR;
  if (!good) result.haStat = FailedHaStat(job, result.haStat);
  // A USB stick pulled out fails the transfer (DID_ERROR) a moment before
  // the kernel starts removing its device: look once more a little later.
  if (!good && result.haStat != HASTAT_SEL_TO && outcome.hostStatus != DidOk) {
    std::this_thread::sleep_for(RemovalSettle);
    result.haStat = FailedHaStat(job, result.haStat);
  }
  const std::size_t senseBytes = std::min<std::size_t>(senseGot.size(), job.senseRoom);
  result.sense.assign(senseGot.begin(), senseGot.begin() + senseBytes);
  const std::size_t residual = static_cast<std::size_t>(
      std::clamp<std::int64_t>(outcome.residual, 0, static_cast<std::int64_t>(job.data.size())));
  job.data.resize(job.data.size() - residual);
  result.data = std::move(job.data);
  return result;
}

}  // namespace wnaspi32::sg
