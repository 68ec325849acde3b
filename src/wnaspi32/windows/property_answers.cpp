#include "wnaspi32/windows/property_answers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "scsi/designators.h"
#include "scsi/replies.h"
#include "wnaspi32.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {
namespace {

using scsi::MakeFixedSense;

constexpr std::size_t DescriptorFixedPart = offsetof(StorageDeviceDescriptor, RawDeviceProperties);
constexpr std::size_t IdentifierFixedPart = offsetof(StorageIdentifier, Identifier);
// A designator's length is one byte; a page's, two.
constexpr std::size_t MostDesignatorLength = 255;
constexpr std::size_t MostPageBody = 0xFFFF;

// Windows pads ATA and USB texts with blanks at either end.
std::string Trimmed(std::string text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void PutPadded(std::vector<std::uint8_t>& data, std::size_t offset, std::size_t width,
               const std::string& text) {
  for (std::size_t i = 0; i < width; ++i)
    data[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

CommandOutcome Good(std::vector<std::uint8_t> data) {
  return TargetAnswer(STATUS_GOOD, {}, std::move(data));
}
CommandOutcome InvalidField() {
  return CheckCondition(MakeFixedSense(scsi::SenseKeyIllegalRequest, scsi::AscInvalidFieldInCdb));
}
CommandOutcome InvalidOpcode() {
  return CheckCondition(MakeFixedSense(scsi::SenseKeyIllegalRequest, scsi::AscInvalidOpcode));
}
CommandOutcome NoMedium() {
  return CheckCondition(MakeFixedSense(SenseKeyNotReady, AscMediumNotPresent));
}

std::optional<std::vector<std::uint8_t>> VpdBody(std::uint8_t page, const DeviceFacts& facts) {
  const bool serial = facts.serial && !facts.serial->empty();
  const bool designators = facts.designators && !facts.designators->empty();
  switch (page) {
    case scsi::SupportedVpdPages: {
      std::vector<std::uint8_t> pages{scsi::SupportedVpdPages};
      if (serial) pages.push_back(scsi::UnitSerialNumberPage);
      if (designators) pages.push_back(scsi::DeviceIdentificationPage);
      return pages;
    }
    case scsi::UnitSerialNumberPage:
      if (!serial) return std::nullopt;
      return std::vector<std::uint8_t>(facts.serial->begin(), facts.serial->end());
    case scsi::DeviceIdentificationPage:
      if (!designators) return std::nullopt;
      return *facts.designators;
    default:
      return std::nullopt;
  }
}

CommandOutcome Inquiry(std::span<const std::uint8_t> cdb, const DeviceFacts& facts) {
  if (cdb.size() < 6 || (cdb[1] & scsi::InquiryCmdDt) != 0) return InvalidField();
  const std::uint8_t page = cdb[scsi::InquiryPageCode];
  const auto allocation = scsi::GetBigEndian(cdb.data(), scsi::InquiryAllocationLength);
  if ((cdb[1] & scsi::InquiryEvpd) == 0) {
    if (page != 0 || facts.inquiry.empty()) return InvalidField();
    return Good(scsi::CutTo(facts.inquiry, allocation));
  }
  const auto body = VpdBody(page, facts);
  if (!body) return InvalidField();
  return Good(scsi::CutTo(scsi::VpdPage(facts.type, page, *body), allocation));
}

CommandOutcome ReadCapacity(std::span<const std::uint8_t> cdb, const DeviceFacts& facts) {
  if (!facts.shape) return facts.shapeError == ErrorNotReady ? NoMedium() : InvalidOpcode();
  if (facts.shape->blocks == 0) return NoMedium();
  const auto reply = scsi::ReadCapacityReply(cdb, facts.shape->blocks, facts.shape->bytesPerSector);
  return reply ? Good(*reply) : InvalidField();
}

bool IsReadCapacity(std::span<const std::uint8_t> cdb) {
  if (cdb.empty()) return false;
  if (cdb[0] == scsi::ReadCapacity10) return true;
  return cdb[0] == scsi::ServiceActionIn16 && cdb.size() > 1 &&
         (cdb[1] & scsi::ServiceActionMask) == scsi::ReadCapacity16Action;
}

}  // namespace

std::vector<std::uint8_t> PropertyQuery(std::uint32_t property) {
  const StoragePropertyQuery query{
      .PropertyId = property, .QueryType = PropertyStandardQuery, .AdditionalParameters = {}};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&query);
  return {bytes, bytes + sizeof query};
}

std::optional<DeviceDescription> ParseDeviceDescriptor(Bytes answer) {
  if (answer.size() < DescriptorFixedPart) return std::nullopt;
  StorageDeviceDescriptor d;
  std::memcpy(&d, answer.data(), DescriptorFixedPart);
  // Texts lie after the fixed part and inside what both the call and the
  // descriptor's own size say.
  const Bytes whole = answer.first(
      std::max<std::size_t>(DescriptorFixedPart, std::min<std::size_t>(d.Size, answer.size())));
  const auto text = [&](std::uint32_t offset) {
    if (offset < DescriptorFixedPart) return std::string{};
    return Trimmed(TextAt(whole, offset).value_or(""));
  };
  return DeviceDescription{
      .type = static_cast<std::uint8_t>(d.DeviceType & scsi::PeripheralTypeMask),
      .removable = d.RemovableMedia != 0,
      .vendor = text(d.VendorIdOffset),
      .product = text(d.ProductIdOffset),
      .revision = text(d.ProductRevisionOffset),
      .serial = text(d.SerialNumberOffset),
      .busType = d.BusType};
}

std::vector<std::uint8_t> ParseDeviceIds(Bytes answer) {
  std::vector<std::uint8_t> body;
  const auto count =
      ReadAt<std::uint32_t>(answer, offsetof(StorageDeviceIdDescriptor, NumberOfIdentifiers));
  if (!count) return body;
  std::size_t offset = offsetof(StorageDeviceIdDescriptor, Identifiers);
  for (std::uint32_t i = 0; i < *count && offset + IdentifierFixedPart <= answer.size(); ++i) {
    StorageIdentifier id;
    std::memcpy(&id, answer.data() + offset, IdentifierFixedPart);
    const std::size_t first = offset + IdentifierFixedPart;
    if (id.IdentifierSize > answer.size() - first) break;
    const bool fits =
        id.IdentifierSize <= MostDesignatorLength &&
        body.size() + scsi::DesignatorHeaderLength + id.IdentifierSize <= MostPageBody;
    if (fits) {
      body.push_back(static_cast<std::uint8_t>(id.CodeSet & 0x0F));
      body.push_back(static_cast<std::uint8_t>((id.Association & 0x03) << scsi::AssociationShift |
                                               (id.Type & 0x0F)));
      body.push_back(0);
      body.push_back(static_cast<std::uint8_t>(id.IdentifierSize));
      body.insert(body.end(), answer.begin() + first, answer.begin() + first + id.IdentifierSize);
    }
    // Each record says where the next begins; one that does not move on
    // is the last.
    if (id.NextOffset < IdentifierFixedPart) break;
    offset += id.NextOffset;
  }
  return body;
}

std::optional<DiskShape> ParseGeometryEx(Bytes answer) {
  if (answer.size() < offsetof(DiskGeometryEx, Data)) return std::nullopt;
  DiskGeometryEx g;
  std::memcpy(&g, answer.data(), offsetof(DiskGeometryEx, Data));
  const std::uint32_t sector = g.Geometry.BytesPerSector;
  const std::uint64_t blocks =
      sector == 0 || g.DiskSize <= 0 ? 0 : static_cast<std::uint64_t>(g.DiskSize) / sector;
  return DiskShape{.mediaType = g.Geometry.MediaType,
                   .tracksPerCylinder = g.Geometry.TracksPerCylinder,
                   .sectorsPerTrack = g.Geometry.SectorsPerTrack,
                   .bytesPerSector = sector,
                   .blocks = blocks};
}

std::vector<std::uint8_t> InquiryOfDescription(const DeviceDescription& description) {
  std::vector<std::uint8_t> data(scsi::StandardInquiryLength, 0);
  data[0] = description.type & scsi::PeripheralTypeMask;
  data[1] = description.removable ? 0x80 : 0x00;
  data[3] = 0x02;                             // response data format
  data[4] = scsi::StandardInquiryLength - 5;  // additional length
  PutPadded(data, 8, 8, description.vendor);
  PutPadded(data, 16, 16, description.product);
  PutPadded(data, 32, 4, description.revision);
  return data;
}

FactsNeeded NeedsFor(std::span<const std::uint8_t> cdb) {
  FactsNeeded needs;
  if (cdb.size() >= 6 && cdb[0] == scsi::Inquiry) {
    const bool vpd = (cdb[1] & scsi::InquiryEvpd) != 0;
    const std::uint8_t page = cdb[scsi::InquiryPageCode];
    needs.description =
        !vpd || page == scsi::SupportedVpdPages || page == scsi::UnitSerialNumberPage;
    needs.designators =
        vpd && (page == scsi::SupportedVpdPages || page == scsi::DeviceIdentificationPage);
  }
  needs.shape = IsReadCapacity(cdb);
  return needs;
}

CommandOutcome AnswerFromFacts(std::span<const std::uint8_t> cdb, const DeviceFacts& facts) {
  if (cdb.empty()) return InvalidOpcode();
  if (cdb[0] == scsi::Inquiry) return Inquiry(cdb, facts);
  if (IsReadCapacity(cdb)) return ReadCapacity(cdb, facts);
  if (cdb[0] == scsi::ReportLuns) {
    const auto reply = scsi::ReportLunsReply(cdb, facts.luns);
    return reply && !facts.luns.empty() ? Good(*reply) : InvalidField();
  }
  return InvalidOpcode();
}

}  // namespace wnaspi32::windows
