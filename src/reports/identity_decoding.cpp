#include "reports/identity_decoding.h"

#include <algorithm>

#include "scsi/commands.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

// The page's body, after its four-byte header.
std::optional<Bytes> VpdPageBody(Bytes reply, std::uint8_t code) {
  if (reply.size() < scsi::VpdHeaderLength || reply[1] != code) return std::nullopt;
  const std::size_t length = scsi::GetBigEndian(reply.data(), scsi::VpdPageLength);
  if (length > reply.size() - scsi::VpdHeaderLength) return std::nullopt;
  return reply.subspan(scsi::VpdHeaderLength, length);
}

bool BlankOrNul(std::uint8_t byte) { return byte == ' ' || byte == '\0'; }

}  // namespace

std::optional<std::vector<std::uint8_t>> DecodeSupportedPages(Bytes reply) {
  const auto body = VpdPageBody(reply, scsi::SupportedVpdPages);
  if (!body || body->empty() || (*body)[0] != scsi::SupportedVpdPages) return std::nullopt;
  return std::vector<std::uint8_t>(body->begin(), body->end());
}

std::optional<std::string> DecodeUnitSerialNumber(Bytes reply) {
  const auto body = VpdPageBody(reply, scsi::UnitSerialNumberPage);
  if (!body) return std::nullopt;
  auto first = std::find_if_not(body->begin(), body->end(), BlankOrNul);
  auto last = std::find_if_not(body->rbegin(), std::make_reverse_iterator(first), BlankOrNul).base();
  return std::string(first, last);
}

std::optional<std::vector<Designator>> DecodeDesignators(Bytes reply) {
  const auto body = VpdPageBody(reply, scsi::DeviceIdentificationPage);
  if (!body) return std::nullopt;
  constexpr std::size_t HeaderLength = scsi::DesignatorHeaderLength;
  std::vector<Designator> designators;
  for (Bytes rest = *body; rest.size() >= HeaderLength;) {
    const std::size_t length = rest[3];
    if (length > rest.size() - HeaderLength) break;
    designators.push_back({.protocolIdentifier = static_cast<std::uint8_t>(rest[0] >> 4),
                           .codeSet = static_cast<std::uint8_t>(rest[0] & 0x0F),
                           .protocolIdentifierValid = (rest[1] & 0x80) != 0,
                           .association =
                               static_cast<std::uint8_t>((rest[1] >> scsi::AssociationShift) & 0x03),
                           .type = static_cast<std::uint8_t>(rest[1] & 0x0F),
                           .bytes = {rest.begin() + HeaderLength,
                                     rest.begin() + static_cast<std::ptrdiff_t>(HeaderLength + length)}});
    rest = rest.subspan(HeaderLength + length);
  }
  return designators;
}

std::optional<LunList> DecodeLunList(Bytes reply) {
  if (reply.size() < scsi::LunListHeaderLength) return std::nullopt;
  const std::uint64_t listLength = scsi::GetBigEndian(reply.data(), 4);
  if (listLength % scsi::LunEntryLength != 0) return std::nullopt;
  const std::size_t came = (reply.size() - scsi::LunListHeaderLength) / scsi::LunEntryLength;
  LunList list;
  list.cut = listLength / scsi::LunEntryLength > came;
  const std::size_t entries = std::min<std::uint64_t>(came, listLength / scsi::LunEntryLength);
  for (std::size_t i = 0; i < entries; ++i) {
    const Bytes entry = reply.subspan(scsi::LunListHeaderLength + i * scsi::LunEntryLength,
                                      scsi::LunEntryLength);
    // Peripheral device addressing, bus 0, one level: 00h, the LUN, zeros.
    const bool oneLevel = entry[0] == 0 && std::all_of(entry.begin() + 2, entry.end(),
                                                       [](std::uint8_t b) { return b == 0; });
    if (oneLevel) list.luns.push_back(entry[1]);
  }
  std::sort(list.luns.begin(), list.luns.end());
  list.luns.erase(std::unique(list.luns.begin(), list.luns.end()), list.luns.end());
  return list;
}

std::string HexDigits(Bytes bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    hex += Digits[byte >> 4];
    hex += Digits[byte & 0x0F];
  }
  return hex;
}

std::optional<std::string> WorldWideName(const std::vector<Designator>& designators) {
  for (const Designator& d : designators) {
    if (d.type == scsi::DesignatorType::Naa && d.association == scsi::AssociationLogicalUnit &&
        !d.bytes.empty())
      return "0x" + HexDigits(d.bytes);
  }
  return std::nullopt;
}
