#include "wnaspi32/nvme/scsi_translation.h"

#include <algorithm>
#include <cctype>

#include "scsi/designators.h"
#include "scsi/replies.h"
#include "wnaspi32/linux/sysfs_tree.h"

namespace wnaspi32::nvme {
namespace {

using Bytes = std::vector<std::uint8_t>;
using scsi::GetBigEndian;
using scsi::PutBigEndian;

using scsi::CutTo;
using scsi::DirectAccessDevice;

constexpr std::uint8_t VersionSpc4 = 0x06;
constexpr std::uint8_t ResponseDataFormat = 0x02;
constexpr std::uint8_t CmdQue = 0x02;
constexpr char VendorIdentification[] = "NVMe    ";

constexpr std::uint8_t UuidTypeRfc4122 = 0x10;  // high nibble of a UUID designator's first byte

Answer Good(Bytes data) { return {.good = true, .data = std::move(data), .sense = {}}; }

Answer CheckCondition(std::uint8_t asc) {
  return {
      .good = false, .data = {}, .sense = scsi::MakeFixedSense(scsi::SenseKeyIllegalRequest, asc)};
}

// `text` in a field of `width` bytes: cut, or padded with blanks.
void PutText(std::uint8_t* field, std::string_view text, std::size_t width) {
  std::fill(field, field + width, ' ');
  std::copy_n(text.begin(), std::min(text.size(), width), field);
}

// The last four characters of the firmware revision, its padding blanks
// left out: the part that changes from one firmware to the next.
std::string ProductRevision(std::string_view firmware) {
  while (!firmware.empty() && firmware.back() == ' ') firmware.remove_suffix(1);
  return std::string(firmware.substr(firmware.size() - std::min<std::size_t>(firmware.size(), 4)));
}

// A page of the namespace, a direct-access device.
Bytes NamespacePage(std::uint8_t code, const Bytes& body) {
  return scsi::VpdPage(DirectAccessDevice, code, body);
}

// A designation descriptor of page 83h: its header, then the designator.
void AddDesignator(Bytes& body, std::uint8_t codeSet, std::uint8_t association, std::uint8_t type,
                   const Bytes& designator) {
  body.push_back(codeSet);
  body.push_back(static_cast<std::uint8_t>(association << scsi::AssociationShift | type));
  body.push_back(0);
  body.push_back(static_cast<std::uint8_t>(designator.size()));
  body.insert(body.end(), designator.begin(), designator.end());
}

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::optional<Answer> Inquiry(std::span<const std::uint8_t> cdb, const NamespaceFacts& facts) {
  if (cdb.size() < 6 || (cdb[1] & scsi::InquiryCmdDt))
    return CheckCondition(scsi::AscInvalidFieldInCdb);
  const std::uint64_t allocation = GetBigEndian(cdb.data(), scsi::InquiryAllocationLength);
  const std::uint8_t page = cdb[scsi::InquiryPageCode];
  if (!(cdb[1] & scsi::InquiryEvpd)) {
    if (page != 0) return CheckCondition(scsi::AscInvalidFieldInCdb);
    return Good(CutTo(StandardInquiryData(facts), allocation));
  }
  switch (page) {
    case scsi::SupportedVpdPages:
      return Good(CutTo(NamespacePage(page, {scsi::SupportedVpdPages, scsi::UnitSerialNumberPage,
                                             scsi::DeviceIdentificationPage}),
                        allocation));
    case scsi::UnitSerialNumberPage:
      return Good(CutTo(UnitSerialNumberPage(facts), allocation));
    case scsi::DeviceIdentificationPage:
      return Good(CutTo(DeviceIdentificationPage(facts), allocation));
    default:
      return CheckCondition(scsi::AscInvalidFieldInCdb);
  }
}

// READ CAPACITY (10) and (16) as a SCSI disk of the namespace's size
// answers them.
std::optional<Answer> ReadCapacity(std::span<const std::uint8_t> cdb, const NamespaceFacts& facts) {
  if (!facts.sectors || !facts.logicalBlockSize || *facts.logicalBlockSize == 0) return std::nullopt;
  const std::uint64_t blocks = *facts.sectors * 512 / *facts.logicalBlockSize;
  if (blocks == 0) return std::nullopt;
  if (auto data = scsi::ReadCapacityReply(cdb, blocks, *facts.logicalBlockSize))
    return Good(std::move(*data));
  return CheckCondition(scsi::AscInvalidFieldInCdb);  // an address, PMI, or a short block
}

// Every namespace is a target of its own: its one logical unit is LUN 0.
Answer ReportLuns(std::span<const std::uint8_t> cdb) {
  constexpr std::uint64_t OnlyLun[] = {0};
  if (auto data = scsi::ReportLunsReply(cdb, OnlyLun)) return Good(std::move(*data));
  return CheckCondition(scsi::AscInvalidFieldInCdb);
}

std::optional<std::uint64_t> ReadUnsigned(const std::filesystem::path& file) {
  const auto value = linux_io::ReadNumber(file);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<std::uint64_t>(*value);
}

}  // namespace

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> ParseIdentifier(std::string_view text) {
  std::array<std::uint8_t, N> bytes{};
  std::size_t digits = 0;
  for (const char c : text) {
    if (c == ' ' || c == '-' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)) || digits == 2 * N) return std::nullopt;
    const int value =
        std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    bytes[digits / 2] = static_cast<std::uint8_t>(bytes[digits / 2] << 4 | value);
    ++digits;
  }
  if (digits != 2 * N || std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0; }))
    return std::nullopt;
  return bytes;
}
template std::optional<std::array<std::uint8_t, 8>> ParseIdentifier<8>(std::string_view);
template std::optional<std::array<std::uint8_t, 16>> ParseIdentifier<16>(std::string_view);

std::optional<NamespaceFacts> ReadNamespaceFacts(const std::filesystem::path& controllerDir,
                                                 const Namespace& ns) {
  NamespaceFacts facts;
  facts.nsid = ns.nsid;
  const auto model = linux_io::ReadText(controllerDir / "model");
  const auto serial = linux_io::ReadText(controllerDir / "serial");
  const auto firmware = linux_io::ReadText(controllerDir / "firmware_rev");
  if (!model || !serial || !firmware) return std::nullopt;
  // No longer than the Identify fields they come from.
  facts.model = model->substr(0, 40);
  facts.serial = serial->substr(0, 20);
  facts.firmwareRevision = firmware->substr(0, 8);
  facts.sectors = ReadUnsigned(ns.dir / "size");
  if (const auto size = ReadUnsigned(ns.dir / "queue/logical_block_size");
      size && *size <= 0xFFFFFFFF)
    facts.logicalBlockSize = static_cast<std::uint32_t>(*size);
  const auto text = [&](const char* name) { return linux_io::ReadText(ns.dir / name).value_or(""); };
  facts.eui64 = ParseIdentifier<8>(text("eui"));
  facts.nguid = ParseIdentifier<16>(text("nguid"));
  facts.uuid = ParseIdentifier<16>(text("uuid"));
  // Kernels show the NGUID under "uuid" when the namespace has no UUID.
  if (facts.uuid && facts.uuid == facts.nguid) facts.uuid.reset();
  return facts;
}

Bytes StandardInquiryData(const NamespaceFacts& facts) {
  Bytes data(scsi::StandardInquiryLength, 0);
  data[0] = DirectAccessDevice;
  data[2] = VersionSpc4;
  data[3] = ResponseDataFormat;
  data[4] = static_cast<std::uint8_t>(data.size() - 5);
  data[7] = CmdQue;
  PutText(&data[8], VendorIdentification, 8);
  PutText(&data[16], facts.model, 16);
  PutText(&data[32], ProductRevision(facts.firmwareRevision), 4);
  return data;
}

// The controller's serial number: namespaces share it.
Bytes UnitSerialNumberPage(const NamespaceFacts& facts) {
  Bytes serial(20);
  PutText(serial.data(), facts.serial, serial.size());
  return NamespacePage(scsi::UnitSerialNumberPage, serial);
}

// The namespace's own identifiers; a namespace without any gets the one of
// its controller: vendor, model and serial number, for the target device.
Bytes DeviceIdentificationPage(const NamespaceFacts& facts) {
  Bytes body;
  // An NGUID is an EUI-64 based designator of 16 bytes.
  if (facts.eui64)
    AddDesignator(body, scsi::CodeSetBinary, scsi::AssociationLogicalUnit,
                  scsi::DesignatorType::Eui64, ToBytes(*facts.eui64));
  if (facts.nguid)
    AddDesignator(body, scsi::CodeSetBinary, scsi::AssociationLogicalUnit,
                  scsi::DesignatorType::Eui64, ToBytes(*facts.nguid));
  if (facts.uuid) {
    Bytes uuid = {UuidTypeRfc4122, 0};
    uuid.insert(uuid.end(), facts.uuid->begin(), facts.uuid->end());
    AddDesignator(body, scsi::CodeSetBinary, scsi::AssociationLogicalUnit,
                  scsi::DesignatorType::Uuid, uuid);
  }
  if (body.empty()) {
    std::string t10 = VendorIdentification + facts.model + "_" + facts.serial;
    t10.resize((t10.size() + 3) / 4 * 4, '\0');  // NUL-padded to whole words
    AddDesignator(body, scsi::CodeSetAscii, scsi::AssociationTargetDevice,
                  scsi::DesignatorType::T10VendorId, Bytes(t10.begin(), t10.end()));
  }
  return NamespacePage(scsi::DeviceIdentificationPage, body);
}

std::optional<Answer> Translate(std::span<const std::uint8_t> cdb, const NamespaceFacts& facts) {
  if (cdb.empty()) return CheckCondition(scsi::AscInvalidOpcode);
  switch (cdb[0]) {
    case scsi::TestUnitReady:
      return Good({});
    case scsi::Inquiry:
      return Inquiry(cdb, facts);
    case scsi::ReadCapacity10:
      return ReadCapacity(cdb, facts);
    case scsi::ServiceActionIn16:
      if (cdb.size() < 2 || (cdb[1] & scsi::ServiceActionMask) != scsi::ReadCapacity16Action)
        return CheckCondition(scsi::AscInvalidFieldInCdb);
      return ReadCapacity(cdb, facts);
    case scsi::ReportLuns:
      return ReportLuns(cdb);
    default:
      return CheckCondition(scsi::AscInvalidOpcode);
  }
}

}  // namespace wnaspi32::nvme
