#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "cli/cp932_output.h"
#include "cli/lookahead.h"
#include "cli/runs.h"
#include "cli/units.h"
#include "cli/version.h"
#include "reports/ask_about_target.h"
#include "reports/device_facts.h"
#include "reports/device_type_words.h"
#include "reports/display.h"
#include "reports/format.h"
#include "reports/identity_decoding.h"
#include "reports/logical_units.h"
#include "reports/survey.h"
#include "reports/texts.h"

namespace {

using Json = nlohmann::ordered_json;

// A name or identification field: up to its first NUL byte, decoded.
std::string FieldText(const std::uint8_t* bytes, std::size_t length) {
  return JsonText(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

std::string TrimmedRight(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

Json Int13Facts(const SRB& diskInfo) {
  const int value = DriveFlagsValue(diskInfo.SRB_DriveFlags);
  if (value == 0) return nullptr;
  Json int13;
  int13["drive"] = value == 3 ? Json(nullptr) : Json(diskInfo.SRB_Int13HDriveInfo);
  int13["os_managed"] = value == 1;
  int13["heads"] = diskInfo.SRB_Heads;
  int13["sectors"] = diskInfo.SRB_Sectors;
  return int13;
}

Json InquiryFacts(const std::uint8_t* data) {
  Json inquiry;
  inquiry["peripheral_qualifier"] = PeripheralQualifier(data);
  inquiry["peripheral_device_type"] = PeripheralDeviceType(data);
  inquiry["peripheral_device_type_name"] = JsonText(DeviceTypeWords(PeripheralDeviceType(data)));
  inquiry["removable"] = HasCapability(data, RemovableMediumBit);
  inquiry["iso_version"] = IsoVersion(data);
  inquiry["ecma_version"] = EcmaVersion(data);
  inquiry["ansi_version"] = AnsiVersion(data);
  inquiry["aenc"] = HasCapability(data, AsyncEventNotificationBit);
  inquiry["response_data_format"] = ResponseDataFormat(data);
  for (const IdentificationField& field : IdentificationFields) {
    inquiry[field.name] =
        TrimmedRight(FieldText(data + field.first, static_cast<std::size_t>(field.last - field.first + 1)));
  }
  Json capabilities = Json::object();
  for (const CapabilityBit& bit : CapabilityBits) capabilities[bit.name] = HasCapability(data, bit);
  inquiry["capabilities"] = capabilities;
  inquiry["raw"] = HexDigits({data, InquiryLength});
  return inquiry;
}

Json CapacityFacts(const Capacity& capacity) {
  Json facts;
  facts["last_lba"] = capacity.lastAddress;
  facts["block_length"] = capacity.blockLength;
  std::uint64_t bytes = 0;
  if (CapacityBytesIn64Bits(capacity, bytes)) {
    facts["bytes"] = bytes;
  } else {
    facts["bytes"] = CapacityBytesAsDouble(capacity);
  }
  // The report's own rounding, without grouping.
  facts["megabytes"] = std::stod(FormatNumber(CapacityMegabytes(capacity), {"", "."}));
  return facts;
}

// A designator's value under the names sg3_utils gives it: texts for the
// text code sets, lower-case hexadecimal digits otherwise.
void AddDesignatorValue(Json& facts, const Designator& d) {
  using scsi::CodeSetAscii, scsi::CodeSetUtf8;
  namespace DesignatorType = scsi::DesignatorType;
  const std::span<const std::uint8_t> bytes = d.bytes;
  const auto text = [&](std::span<const std::uint8_t> part) {
    // A UTF-8 designator is the document's own encoding (Dump replaces a
    // broken sequence); any other text is the device's code page 932.
    std::string value = d.codeSet == CodeSetUtf8
                            ? std::string(part.begin(), std::find(part.begin(), part.end(), 0))
                            : FieldText(part.data(), part.size());
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
  };
  const auto value = [&](std::span<const std::uint8_t> part) {
    return d.codeSet == CodeSetAscii || d.codeSet == CodeSetUtf8 ? text(part) : HexDigits(part);
  };
  switch (d.type) {
    case DesignatorType::T10VendorId: {
      const std::size_t vendor = std::min<std::size_t>(bytes.size(), 8);
      facts["t10_vendor_identification"] = text(bytes.first(vendor));
      facts["vendor_specific_identifier"] = value(bytes.subspan(vendor));
      return;
    }
    case DesignatorType::Eui64:
      facts["eui_64_based_designator_length"] = bytes.size();
      if (bytes.size() == 8) {
        facts["ieee_identifier"] = HexDigits(bytes);
      } else if (bytes.size() == 12) {
        facts["ieee_identifier"] = HexDigits(bytes.first(8));
        facts["directory_identifier"] = HexDigits(bytes.subspan(8));
      } else if (bytes.size() == 16) {
        facts["identifier_extension"] = HexDigits(bytes.first(8));
        facts["ieee_identifier"] = HexDigits(bytes.subspan(8));
      }
      return;
    case DesignatorType::Naa:
      facts["naa"] = bytes.empty() ? 0 : bytes[0] >> 4;
      facts["full_naa_hexbytes"] = HexDigits(bytes);
      return;
    case DesignatorType::ScsiNameString:
      facts["scsi_name_string"] = text(bytes);
      return;
    default:
      break;
  }
  static const char* const HexNames[] = {
      "vendor_specific_hexbytes", nullptr, nullptr, nullptr,
      "relative_target_port_hexbytes", "target_port_group_hexbytes", "logical_unit_group_hexbytes",
      "md5_logical_unit_identifier", nullptr, "protocol_specific_port_identifier_hexbytes",
      "uuid_hexbytes"};
  const char* name = d.type < std::size(HexNames) ? HexNames[d.type] : nullptr;
  facts[name != nullptr ? name : "reserved_designator_hexbytes"] = HexDigits(bytes);
}

Json IdentityFacts(const DeviceIdentity& identity) {
  Json facts;
  facts["supported_vpd_pages"] = identity.supportedPages;
  facts["unit_serial_number"] =
      identity.unitSerialNumber ? Json(JsonText(*identity.unitSerialNumber)) : Json(nullptr);
  Json designators = Json::array();
  for (const Designator& d : identity.designators) {
    Json designator;
    designator["designator_type"] = d.type;
    designator["code_set"] = d.codeSet;
    designator["association"] = d.association;
    AddDesignatorValue(designator, d);
    designators.push_back(designator);
  }
  facts["designators"] = designators;
  const auto wwn = WorldWideName(identity.designators);
  facts["wwn"] = wwn ? Json(*wwn) : Json(nullptr);
  return facts;
}

// What a target entry is made of: the answers of its requests.
struct TargetAnswers {
  SRB deviceType;
  SRB diskInfo;
  std::uint8_t inquiryStatus;
  std::optional<InquiryData> inquiry;
  std::uint8_t readCapacityStatus;
  std::optional<Capacity> capacity;
  DeviceIdentity identity;
};

TargetAnswers AskTarget(const Unit& unit, AdapterTraitsCache& traits) {
  TargetAnswers answers;
  AskAboutTarget(SC_GET_DEV_TYPE, unit);
  answers.deviceType = RequestBlock;
  AskAboutTarget(SC_GET_DISK_INFO, unit);
  answers.diskInfo = RequestBlock;
  SendInquiry(unit);
  answers.inquiryStatus = RequestBlock.SRB_Status;
  answers.inquiry = CompletedInquiry();
  Capacity capacity;
  if (ReadCapacity(unit, capacity)) answers.capacity = capacity;
  answers.readCapacityStatus = RequestBlock.SRB_Status;
  answers.identity = IdentityOf(unit, answers.inquiry, traits);
  return answers;
}

Json TargetFacts(const Unit& unit, const TargetAnswers& answers) {
  Json facts;
  Json statuses;
  facts["id"] = unit.target;
  facts["lun"] = unit.lun;

  statuses["device_type"] = answers.deviceType.SRB_Status;
  if (answers.deviceType.SRB_Status == SS_COMP) {
    facts["device_type"] = answers.deviceType.SRB_DeviceType;
    facts["device_type_name"] = JsonText(DeviceTypeWords(answers.deviceType.SRB_DeviceType));
  } else {
    facts["device_type"] = nullptr;
    facts["device_type_name"] = nullptr;
  }

  statuses["disk_info"] = answers.diskInfo.SRB_Status;
  facts["int13"] = answers.diskInfo.SRB_Status == SS_COMP ? Int13Facts(answers.diskInfo) : Json(nullptr);

  statuses["inquiry"] = answers.inquiryStatus;
  facts["inquiry"] = answers.inquiry ? InquiryFacts(answers.inquiry->data()) : Json(nullptr);

  statuses["read_capacity"] = answers.readCapacityStatus;
  facts["capacity"] = answers.capacity ? CapacityFacts(*answers.capacity) : Json(nullptr);

  facts["identification"] = IdentityFacts(answers.identity);
  facts["status"] = statuses;
  return facts;
}

// nlohmann's dump(2), written a piece at a time: an object whose last
// member is an array goes out up to the array's "[", its elements as they
// are made, then the closing brackets, byte for byte as the whole document
// would have been dumped. `level` is the object's depth.
std::string Dump(const Json& value, int level) {
  const std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
  std::string indented;
  for (const char c : text) {
    indented += c;
    if (c == '\n') indented.append(static_cast<std::size_t>(2 * level), ' ');
  }
  return indented;
}

class StreamedArray {
 public:
  // `head` ends with the array's key holding an empty array.
  StreamedArray(TerminalWindow& window, const Json& head, int level)
      : window_(window), level_(level) {
    const std::string text = Dump(head, level);
    window_.WriteRaw(text.substr(0, text.rfind("[]") + 1));
  }
  // Opens the next element: `Dump(element, level + 2)` follows.
  void Next() {
    window_.WriteRaw(std::string(any_ ? ",\n" : "\n") + std::string(2 * (level_ + 2), ' '));
    any_ = true;
  }
  void Add(const Json& element) {
    Next();
    window_.WriteRaw(Dump(element, level_ + 2));
  }
  void Close() {
    const std::string outer(2 * level_, ' ');
    window_.WriteRaw(any_ ? "\n" + outer + "  ]\n" + outer + "}" : "]\n" + outer + "}");
  }

 private:
  TerminalWindow& window_;
  const int level_;
  bool any_ = false;
};

// What RunJsonReport asks, piece by piece, for its lookahead.
class JsonPlan final : public ScanPlan {
 public:
  JsonPlan(const Options& options, const std::vector<std::int32_t>& adapters)
      : options_(options), adapters_(adapters) {}

  std::vector<ScanPiece> Ask(const ScanPiece& piece) override {
    AdapterTraitsCache traits;
    const Unit& unit = piece.unit;
    std::vector<ScanPiece> after;
    switch (piece.kind) {
      case ScanPiece::Kind::Unit:
        traits.Remember(unit.adapter, piece.traits);
        AskTarget(unit, traits);
        break;
      case ScanPiece::Kind::Target:
        for (const std::uint8_t lun : LogicalUnits(unit, piece.traits.residualCounts))
          after.push_back(UnitPiece({.adapter = unit.adapter, .target = unit.target, .lun = lun}, piece.traits));
        break;
      case ScanPiece::Kind::Adapter: {
        InquireHostAdapter(unit.adapter);
        if (RequestBlock.SRB_Status == SS_ABORTED) break;
        const AdapterTraits found = traits.Of(unit.adapter);
        if (options_.all) {
          for (std::int32_t target = 0; target < found.targetIds; ++target)
            after.push_back({.kind = ScanPiece::Kind::Target,
                             .unit = {.adapter = unit.adapter, .target = target, .lun = 0},
                             .traits = found});
        } else {
          for (const std::int32_t id : TargetsOfAdapter(unit.adapter, {}))
            after.push_back(UnitPiece({.adapter = unit.adapter, .target = id, .lun = 0}, found));
        }
        AddNextAdapter(after, adapters_, unit.adapter);
        break;
      }
    }
    return after;
  }

  // The targets shown on an adapter without --all.
  std::vector<std::int32_t> TargetsOfAdapter(std::int32_t adapter, const TargetStep& step) const {
    return options_.target ? std::vector<std::int32_t>{*options_.target} : AnsweringTargets(adapter, step);
  }

 private:
  static ScanPiece UnitPiece(const Unit& unit, const AdapterTraits& traits) {
    return {.kind = ScanPiece::Kind::Unit, .unit = unit, .traits = traits};
  }

  const Options& options_;
  const std::vector<std::int32_t>& adapters_;
};

}  // namespace

int RunJsonReport(const Options& options, TerminalWindow& window) {
  const ReportTexts& texts = Texts();
  const TargetStep step = [&window](const Unit& unit) { window.Step(unit, false); };
  AdapterTraitsCache traits;
  Json document;
  document["json_format_version"] = {1, 0};
  document["utility_invoked"] = {
      {"name", "busview-report"}, {"version", BusviewVersion}, {"argv", options.arguments}};
  const bool usable = AspiAvailable();
  document["support_info"] = Aspi.GetASPI32SupportInfo();
  document["usable"] = usable;
  // As the survey: the error goes out, and the layer is asked all the same.
  if (!usable) window.ShowErrorBox(texts.aspiNotInstalled);

  InquireHostAdapter(0);
  const std::uint8_t firstStatus = RequestBlock.SRB_Status;
  const bool firstDone = firstStatus == SS_COMP;
  document["host_adapter_inquiry_status"] = firstStatus;
  document["adapter_count"] = firstDone ? Json(RequestBlock.HA_Count) : Json(nullptr);
  document["scsi_id"] = firstDone ? Json(RequestBlock.HA_SCSI_ID) : Json(nullptr);
  // Only an aborted inquiry stops the survey; other statuses leave the
  // count the cleared block holds.
  std::int32_t count = 0;
  if (firstStatus == SS_ABORTED) {
    window.ShowErrorBox(texts.adapterInquiryFailed);
  } else {
    count = RequestBlock.HA_Count;
  }

  std::vector<std::int32_t> chosen;
  if (options.adapter) {
    chosen.push_back(*options.adapter);
  } else {
    for (std::int32_t adapter = 0; adapter < count; ++adapter) chosen.push_back(adapter);
  }
  JsonPlan plan(options, chosen);
  Lookahead lookahead(plan, FirstPieces(chosen), window, RequestsInFlightPerAdapter());

  document["adapters"] = Json::array();
  StreamedArray adapters(window, document, 0);
  for (const std::int32_t number : chosen) {
    lookahead.Enter(ScanPiece::Kind::Adapter, {.adapter = number, .target = 0, .lun = 0});
    InquireHostAdapter(number);
    Json adapter;
    adapter["number"] = number;
    const std::uint8_t status = RequestBlock.SRB_Status;
    adapter["status"] = status;
    const bool done = status == SS_COMP;
    adapter["manager"] = done ? Json(FieldText(RequestBlock.HA_ManagerId, 16)) : Json(nullptr);
    adapter["identifier"] = done ? Json(FieldText(RequestBlock.HA_Identifier, 16)) : Json(nullptr);
    adapter["targets"] = Json::array();
    adapters.Next();
    StreamedArray targets(window, adapter, 2);
    const auto add = [&](const Unit& unit) {
      window.Step(unit, options.all);
      lookahead.Enter(ScanPiece::Kind::Unit, unit);
      targets.Add(TargetFacts(unit, AskTarget(unit, traits)));
    };
    if (status != SS_ABORTED) {
      // Asked before the devices, whose identities need them.
      const std::int32_t targetIds = traits.Of(number).targetIds;
      if (options.all) {
        for (std::int32_t target = 0; target < targetIds; ++target) {
          const Unit lunZero{.adapter = number, .target = target, .lun = 0};
          for (const std::uint8_t lun : UnitsOfTarget(lunZero, traits, window, lookahead))
            add({.adapter = number, .target = target, .lun = lun});
        }
      } else {
        for (const std::int32_t id : plan.TargetsOfAdapter(number, step))
          add({.adapter = number, .target = id, .lun = 0});
      }
    }
    targets.Close();
    if (status == SS_ABORTED) break;
  }
  adapters.Close();
  window.WriteRaw("\n");
  return usable ? 0 : 1;
}
