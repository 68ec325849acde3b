#include "wnaspi32/windows/command_job.h"

#include "wnaspi32.h"
#include "wnaspi32/windows/bounded_call.h"
#include "wnaspi32/windows/pass_through.h"
#include "wnaspi32/windows/property_answers.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {
namespace {

constexpr std::uint32_t DescriptorRoom = 1024;
constexpr std::uint32_t DeviceIdRoom = 4096;
constexpr std::uint32_t GeometryRoom = 256;

// What a pass-through attempt came to.
struct Attempt {
  enum { Answered, TimedOut, Refused } kind;
  CommandOutcome outcome;
};

Attempt PassThrough(const CommandJob& job, Device& device, bool throughPort,
                    Clock::time_point deadline) {
  const PassThroughRequest request{.path = throughPort ? job.path : std::uint8_t{0},
                                   .target = throughPort ? job.unit.target : std::uint8_t{0},
                                   .lun = throughPort ? job.unit.lun : std::uint8_t{0},
                                   .cdb = job.cdb,
                                   .dataLength = job.dataLength};
  PassThroughReply reply;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto result = CallUntil(device, IoctlScsiPassThrough, BuildPassThrough(request),
                                  PassThroughLength(request), deadline);
    if (!result) return {Attempt::TimedOut, {}};
    if (CallRefused(result->error)) return {Attempt::Refused, {}};
    if (result->error != ErrorSuccess) return {Attempt::Answered, FailedCall(result->error)};
    const auto parsed = ParsePassThrough(result->output, job.dataLength);
    if (!parsed) return {Attempt::Answered, FailedCall(ErrorGenFailure)};
    reply = *parsed;
    if (!IsUnitAttention(reply.scsiStatus, reply.sense)) break;
  }
  return {Attempt::Answered,
          TargetAnswer(reply.scsiStatus, std::move(reply.sense), std::move(reply.data))};
}

// The facts the command needs, from the device object (opened with no
// access rights) and the port's list. An error is a failed call's.
struct Gathered {
  std::optional<DeviceFacts> facts;  // nothing: a call ran out of time
  std::uint32_t error = ErrorSuccess;
  std::optional<DeviceDescription> description;
};

Gathered Gather(const CommandJob& job, Clock::time_point deadline, bool needDescription) {
  DeviceFacts facts{.type = job.unit.type,
                    .inquiry = job.unit.inquiry,
                    .serial = {},
                    .designators = {},
                    .shape = {},
                    .shapeError = 0,
                    .luns = job.luns};
  const FactsNeeded needs = NeedsFor(job.cdb);
  const bool describe = needDescription || needs.description;
  if (job.unit.object.empty() || !(describe || needs.designators || needs.shape))
    return {facts, ErrorSuccess, {}};
  const Opened opened = job.calls->Open(job.unit.object, Access::None);
  if (!opened.device) return {facts, opened.error, {}};
  // Queries one after another, until one runs out of time or finds the
  // device gone.
  bool timedOut = false;
  std::uint32_t gone = ErrorSuccess;
  const auto ask = [&](std::uint32_t code, std::vector<std::uint8_t> input,
                       std::uint32_t room) -> std::optional<ControlResult> {
    if (timedOut || gone != ErrorSuccess) return std::nullopt;
    auto result = CallUntil(*opened.device, code, std::move(input), room, deadline);
    if (!result)
      timedOut = true;
    else if (DeviceIsGone(result->error))
      gone = result->error;
    else
      return result;
    return std::nullopt;
  };
  Gathered gathered;
  if (describe) {
    const auto r =
        ask(IoctlStorageQueryProperty, PropertyQuery(StorageDeviceProperty), DescriptorRoom);
    if (r && r->error == ErrorSuccess) gathered.description = ParseDeviceDescriptor(r->output);
    if (gathered.description) {
      facts.serial = gathered.description->serial;
      if (facts.inquiry.empty()) facts.inquiry = InquiryOfDescription(*gathered.description);
    }
  }
  if (needs.designators) {
    const auto r =
        ask(IoctlStorageQueryProperty, PropertyQuery(StorageDeviceIdProperty), DeviceIdRoom);
    if (r && r->error == ErrorSuccess) facts.designators = ParseDeviceIds(r->output);
  }
  if (needs.shape) {
    const auto r = ask(IoctlDiskGetDriveGeometryEx, {}, GeometryRoom);
    if (r && r->error == ErrorSuccess) facts.shape = ParseGeometryEx(r->output);
    if (r) facts.shapeError = r->error;
  }
  if (timedOut) return {};
  if (gone != ErrorSuccess) return {facts, gone, {}};
  gathered.facts = std::move(facts);
  return gathered;
}

std::optional<CommandOutcome> AnswerFromProperties(const CommandJob& job,
                                                   Clock::time_point deadline) {
  const Gathered gathered = Gather(job, deadline, false);
  if (!gathered.facts) return std::nullopt;
  if (gathered.error != ErrorSuccess) return FailedCall(gathered.error);
  return AnswerFromFacts(job.cdb, *gathered.facts);
}

// StorNVMe translates commands into NVMe and refuses what it does not
// translate; what Windows tells of the drive may still answer it.
bool NvmeRefused(const CommandJob& job, const CommandOutcome& outcome, Clock::time_point deadline) {
  const bool illegal = outcome.targStat == STATUS_CHKCOND &&
                       scsi::SenseKeyOf(outcome.sense) == scsi::SenseKeyIllegalRequest;
  if (!illegal || job.unit.object.empty()) return false;
  const Gathered gathered = Gather(job, deadline, true);
  return gathered.description && gathered.description->busType == BusTypeNvme;
}

}  // namespace

std::optional<CommandOutcome> RunCommand(const CommandJob& job) {
  const auto deadline = Clock::now() + job.bound;
  const bool throughObject = !job.unit.object.empty();
  const bool throughPort = !throughObject && !job.unit.claimed && job.port;
  if (throughObject || throughPort) {
    const std::string path = throughObject ? job.unit.object : PortPath(*job.port);
    const Opened opened = job.calls->Open(path, Access::ReadWrite);
    if (opened.device) {
      const Attempt attempt = PassThrough(job, *opened.device, throughPort, deadline);
      if (attempt.kind == Attempt::TimedOut) return std::nullopt;
      if (attempt.kind == Attempt::Answered && !NvmeRefused(job, attempt.outcome, deadline))
        return attempt.outcome;
    } else if (DeviceIsGone(opened.error)) {
      return FailedCall(opened.error);
    }
    // Refused a handle for reading and writing (ERROR_ACCESS_DENIED: an
    // ordinary user; or a sharing violation): what Windows tells anyone.
  }
  return AnswerFromProperties(job, deadline);
}

}  // namespace wnaspi32::windows
