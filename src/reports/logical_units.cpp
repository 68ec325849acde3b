#include "reports/logical_units.h"

#include <array>
#include <optional>

#include "aspi/request_block.h"
#include "reports/ask_about_target.h"
#include "reports/device_facts.h"
#include "reports/device_identity.h"
#include "reports/identity_decoding.h"
#include "reports/long_reply_buffer.h"
#include "scsi/commands.h"

namespace {

// Room for 511 LUNs first, as Linux asks; a longer list is asked again.
constexpr std::uint32_t FirstAllocation = 4096;
constexpr std::uint8_t LastGuessedLun = 7;

std::optional<LunList> ReportLuns(const Unit& unit, bool residualCounts) {
  std::array<std::uint8_t, 12> cdb{scsi::ReportLuns};
  const auto ask = [&](std::uint32_t length) {
    scsi::PutBigEndian(cdb.data(), scsi::ReportLunsAllocationLength, length);
    return SendForLongReply(unit, cdb, length, residualCounts);
  };
  auto reply = ask(FirstAllocation);
  if (!reply) return std::nullopt;
  auto list = DecodeLunList(*reply);
  if (list && list->cut) {
    const std::uint64_t whole = scsi::LunListHeaderLength + scsi::GetBigEndian(reply->data(), 4);
    if (const auto longer = ask(static_cast<std::uint32_t>(std::min<std::uint64_t>(whole, LongReplyBufferSize))))
      list = DecodeLunList(*longer);
  }
  return list;
}

}  // namespace

std::vector<std::uint8_t> LogicalUnits(const Unit& unit, bool residualCounts) {
  // A target without LUN 0 may still list its LUNs; a unit that says it is
  // too old is not asked.
  SendInquiry(unit);
  const bool tooOld = RequestBlock.SRB_Status == SS_COMP &&
                      PeripheralQualifier(DataBuffer) != scsi::QualifierNoUnit &&
                      AnsiVersion(DataBuffer) < 3;
  std::optional<LunList> listed;
  if (!tooOld) listed = ReportLuns(unit, residualCounts);

  std::vector<std::uint8_t> candidates;
  if (listed && !listed->luns.empty()) {
    candidates = listed->luns;
  } else {
    for (std::uint8_t lun = 0; lun <= LastGuessedLun; ++lun) candidates.push_back(lun);
  }
  std::vector<std::uint8_t> answering;
  for (const std::uint8_t lun : candidates) {
    AskAboutTarget(SC_GET_DEV_TYPE, {.adapter = unit.adapter, .target = unit.target, .lun = lun});
    if (RequestBlock.SRB_Status == SS_COMP) answering.push_back(lun);
  }
  return answering;
}
