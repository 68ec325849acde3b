#include "wnaspi32/sim/scsi_device.h"

#include <algorithm>
#include <span>

#include "scsi/commands.h"
#include "scsi/replies.h"
#include "wnaspi32.h"

namespace wnaspi32::sim {
namespace {

using scsi::AscInvalidFieldInCdb;
using scsi::AscInvalidOpcode;
using scsi::AscLunNotSupported;
using scsi::GetBigEndian;
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
  std::vector<std::uint8_t> bytes(scsi::StandardInquiryLength, 0);
  bytes[0] = scsi::NoUnitPeripheralByte;
  bytes[4] = scsi::StandardInquiryLength - 5;  // the additional length
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
  std::vector<std::uint64_t> luns;
  for (const Target& unit : adapter.targets)
    if (unit.id == id) luns.push_back(unit.lun);
  auto bytes = scsi::ReportLunsReply(std::span(cdb, sizeof SRB::CDBByte), luns);
  if (!bytes) return CheckCondition(SenseKeyIllegalRequest, AscInvalidFieldInCdb);
  ScsiAnswer answer;
  answer.data = Cut(std::move(*bytes), UINT32_MAX, bufferLength);
  return answer;
}

ScsiAnswer AnswerReadCapacity10(const Target& target, const std::uint8_t* cdb,
                                std::uint32_t bufferLength) {
  if (!target.capacity) return CheckCondition(SenseKeyIllegalRequest, AscInvalidOpcode);
  // Without PMI the logical block address must be 0.
  if (!(cdb[8] & 0x01) && GetBigEndian(&cdb[2], 4) != 0)
    return CheckCondition(SenseKeyIllegalRequest, AscInvalidFieldInCdb);
  ScsiAnswer answer;
  answer.data = Cut(scsi::ReadCapacity10Data(target.capacity->lastLba, target.capacity->blockLength),
                    UINT32_MAX, bufferLength);
  return answer;
}

ScsiAnswer AnswerReadCapacity16(const Target& target, const std::uint8_t* cdb,
                                std::uint32_t bufferLength) {
  if (!target.capacity) return CheckCondition(SenseKeyIllegalRequest, AscInvalidOpcode);
  ScsiAnswer answer;
  answer.data = Cut(scsi::ReadCapacity16Data(target.capacity->lastLba, target.capacity->blockLength),
                    GetBigEndian(cdb, scsi::ReadCapacity16AllocationLength), bufferLength);
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
