#include "reports/device_identity.h"

#include <algorithm>
#include <array>

#include "reports/device_facts.h"
#include "reports/long_reply_buffer.h"
#include "scsi/commands.h"

namespace {

// As Linux asks at first: pages are short, and some devices refuse a
// longer allocation.
constexpr std::uint32_t FirstAllocation = 255;

// Page `code`, asked again at its full length when it is longer than the
// first answer could hold. Nothing when a request did not complete.
std::optional<std::span<const std::uint8_t>> AskVpdPage(const Unit& unit, std::uint8_t code,
                                                        bool residualCounts) {
  std::array<std::uint8_t, 6> cdb{scsi::Inquiry, scsi::InquiryEvpd, code};
  const auto ask = [&](std::uint32_t length) {
    scsi::PutBigEndian(cdb.data(), scsi::InquiryAllocationLength, length);
    return SendForLongReply(unit, cdb, length, residualCounts);
  };
  auto reply = ask(FirstAllocation);
  if (!reply || reply->size() < scsi::VpdHeaderLength || (*reply)[1] != code) return reply;
  const std::size_t whole =
      scsi::VpdHeaderLength + scsi::GetBigEndian(reply->data(), scsi::VpdPageLength);
  if (whole > FirstAllocation && whole <= 0xFFFF) reply = ask(static_cast<std::uint32_t>(whole));
  return reply;
}

bool Lists(const std::vector<std::uint8_t>& pages, std::uint8_t code) {
  return std::find(pages.begin(), pages.end(), code) != pages.end();
}

}  // namespace

bool TakesScsi3Commands(const std::uint8_t* inquiry) {
  return PeripheralQualifier(inquiry) != scsi::QualifierNoUnit && AnsiVersion(inquiry) >= 3;
}

DeviceIdentity AskIdentity(const Unit& unit, const std::uint8_t* inquiry, bool residualCounts) {
  DeviceIdentity identity;
  if (inquiry == nullptr || !TakesScsi3Commands(inquiry)) return identity;
  const auto ask = [&](std::uint8_t code) {
    return AskVpdPage(unit, code, residualCounts);
  };

  const auto supported = ask(scsi::SupportedVpdPages);
  if (!supported) return identity;
  identity.supportedPages = DecodeSupportedPages(*supported).value_or(std::vector<std::uint8_t>{});

  if (Lists(identity.supportedPages, scsi::UnitSerialNumberPage)) {
    const auto serial = ask(scsi::UnitSerialNumberPage);
    if (!serial) return identity;
    identity.unitSerialNumber = DecodeUnitSerialNumber(*serial);
  }
  if (Lists(identity.supportedPages, scsi::DeviceIdentificationPage)) {
    if (const auto page = ask(scsi::DeviceIdentificationPage))
      identity.designators = DecodeDesignators(*page).value_or(std::vector<Designator>{});
  }
  return identity;
}
