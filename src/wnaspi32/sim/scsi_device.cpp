#include "wnaspi32/sim/scsi_device.h"

#include <algorithm>

#include "scsi/commands.h"
#include "wnaspi32.h"

namespace wnaspi32::sim {
namespace {

using scsi::AscInvalidFieldInCdb;
using scsi::AscInvalidOpcode;
using scsi::AscLunNotSupported;
using scsi::GetBigEndian;
using scsi::PutBigEndian;
using scsi::SenseKeyIllegalRequest;

ScsiAnswer CheckCondition(std::uint8_t senseKey, std::uint8_t asc) {
  ScsiAnswer answer;
  answer.status = SS_ERR;
  answer.targStat = STATUS_CHKCOND;
  const scsi::FixedSense sense = scsi::MakeFixedSense(senseKey, asc);
  answer.sense.assign(sense.begin(), sense.end());
  return answer;
}

// The device sends `bytes`; the command and the buffer may take fewer.
std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::uint64_t allocation,
                              std::uint32_t bufferLength) {
  bytes.resize(std::min<std::uint64_t>({bytes.size(), allocation, bufferLength}));
  return bytes;
}

// A logical unit other than 0 is not there: INQUIRY says so in its first
// byte (qualifier 3, type 1Fh), everything else fails.
ScsiAnswer AnswerMissingUnit(const std::uint8_t* cdb, std::uint32_t bufferLength) {
  if (cdb[0] != scsi::Inquiry)
    return CheckCondition(SenseKeyIllegalRequest, AscLunNotSupported);
  std::vector<std::uint8_t> bytes(36, 0);
  bytes[0] = 0x7F;
  bytes[4] = 36 - 5;
  ScsiAnswer answer;
  answer.data =
      Cut(std::move(bytes), GetBigEndian(cdb, scsi::InquiryAllocationLength), bufferLength);
  return answer;
}

ScsiAnswer AnswerInquiry(const Target& target, const std::uint8_t* cdb,
                         std::uint32_t bufferLength) {
  // A device without INQUIRY data does not know the command; one asked for
  // a page the bus file does not give has no such page.
  if (!target.inquiry) return CheckCondition(SenseKeyIllegalRequest, AscInvalidOpcode);
  const std::vector<std::uint8_t>* data = &*target.inquiry;
  if (cdb[1] & scsi::InquiryEvpd) {
    const auto page = target.vpdPages.find(cdb[scsi::InquiryPageCode]);
    if (page == target.vpdPages.end())
      return CheckCondition(SenseKeyIllegalRequest, AscInvalidFieldInCdb);
    data = &page->second;
  }
  ScsiAnswer answer;
  answer.data = Cut(*data, GetBigEndian(cdb, scsi::InquiryAllocationLength), bufferLength);
  return answer;
}

// Every LUN of the target, from any of its LUNs, in the bus file's order.
ScsiAnswer AnswerReportLuns(const Adapter& adapter, std::uint8_t id, const std::uint8_t* cdb,
                            std::uint32_t bufferLength) {
  const std::uint64_t allocation = GetBigEndian(cdb, scsi::ReportLunsAllocationLength);
  if (allocation < scsi::LeastReportLunsAllocation)
    return CheckCondition(SenseKeyIllegalRequest, AscInvalidFieldInCdb);
  std::vector<std::uint8_t> bytes(scsi::LunListHeaderLength, 0);
  if (cdb[scsi::ReportLunsSelect] != scsi::ReportWellKnownLunsOnly) {
    for (const Target& unit : adapter.targets) {
      if (unit.id != id) continue;
      const scsi::LunEntry entry = scsi::LunEntryOf(unit.lun);
      bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
  }
  PutBigEndian(bytes.data(), bytes.size() - scsi::LunListHeaderLength, 4);
  ScsiAnswer answer;
  answer.data = Cut(std::move(bytes), allocation, bufferLength);
  return answer;
}

ScsiAnswer AnswerReadCapacity10(const Target& target, const std::uint8_t* cdb,
                                std::uint32_t bufferLength) {
  if (!target.capacity) return CheckCondition(SenseKeyIllegalRequest, AscInvalidOpcode);
  // Without PMI the logical block address must be 0.
  if (!(cdb[8] & 0x01) && GetBigEndian(&cdb[2], 4) != 0)
    return CheckCondition(SenseKeyIllegalRequest, AscInvalidFieldInCdb);
  std::vector<std::uint8_t> bytes(scsi::ReadCapacity10Length, 0);
  // A disk too large for 32 bits says FFFFFFFFh and leaves the rest to
  // READ CAPACITY(16).
  PutBigEndian(&bytes[0],
               std::min<std::uint64_t>(target.capacity->lastLba, scsi::LastAddressTooLarge), 4);
  PutBigEndian(&bytes[4], target.capacity->blockLength, 4);
  ScsiAnswer answer;
  answer.data = Cut(std::move(bytes), UINT32_MAX, bufferLength);
  return answer;
}

ScsiAnswer AnswerReadCapacity16(const Target& target, const std::uint8_t* cdb,
                                std::uint32_t bufferLength) {
  if (!target.capacity) return CheckCondition(SenseKeyIllegalRequest, AscInvalidOpcode);
  std::vector<std::uint8_t> bytes(scsi::ReadCapacity16Length, 0);
  PutBigEndian(&bytes[0], target.capacity->lastLba, 8);
  PutBigEndian(&bytes[8], target.capacity->blockLength, 4);
  ScsiAnswer answer;
  answer.data =
      Cut(std::move(bytes), GetBigEndian(cdb, scsi::ReadCapacity16AllocationLength), bufferLength);
  return answer;
}

}  // namespace

ScsiAnswer AnswerScsiCommand(const Adapter& adapter, std::uint8_t id, std::uint8_t lun,
                             const std::uint8_t* cdb, std::uint32_t bufferLength) {
  if (!HasTarget(adapter, id)) {
    ScsiAnswer answer;
    answer.status = SS_ERR;
    answer.haStat = HASTAT_SEL_TO;
    return answer;
  }
  if (cdb[0] == scsi::ReportLuns) return AnswerReportLuns(adapter, id, cdb, bufferLength);
  const Target* target = FindUnit(adapter, id, lun);
  if (target == nullptr) return AnswerMissingUnit(cdb, bufferLength);

  const Outcome* outcome = nullptr;
  ScsiAnswer answer;
  switch (cdb[0]) {
    case scsi::Inquiry:
      outcome = &target->inquiryCommand;
      answer = AnswerInquiry(*target, cdb, bufferLength);
      break;
    case scsi::ReadCapacity10:
      outcome = &target->readCapacity;
      answer = AnswerReadCapacity10(*target, cdb, bufferLength);
      break;
    case scsi::ServiceActionIn16:
      if ((cdb[1] & scsi::ServiceActionMask) != scsi::ReadCapacity16Action)
        return CheckCondition(SenseKeyIllegalRequest, AscInvalidFieldInCdb);
      outcome = &target->readCapacity;
      answer = AnswerReadCapacity16(*target, cdb, bufferLength);
      break;
    default:
      return CheckCondition(SenseKeyIllegalRequest, AscInvalidOpcode);
  }
  answer.delayMs = outcome->delayMs;
  // A status the bus file sets other than 1 ends the command without data.
  if (outcome->status != SS_COMP) {
    answer = ScsiAnswer{};
    answer.status = outcome->status;
    answer.replies = false;
    answer.delayMs = outcome->delayMs;
  }
  return answer;
}

}  // namespace wnaspi32::sim
