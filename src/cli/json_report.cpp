#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "cli/cp932_output.h"
#include "cli/runs.h"
#include "reports/ask_about_target.h"
#include "reports/device_facts.h"
#include "reports/device_type_words.h"
#include "reports/display.h"
#include "reports/format.h"
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

std::string Hex(const std::uint8_t* bytes, std::size_t length) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < length; ++i) {
    hex += Digits[bytes[i] >> 4];
    hex += Digits[bytes[i] & 0x0F];
  }
  return hex;
}

Json Int13Facts() {
  const int value = DriveFlagsValue(RequestBlock.SRB_DriveFlags);
  if (value == 0) return nullptr;
  Json int13;
  int13["drive"] = value == 3 ? Json(nullptr) : Json(RequestBlock.SRB_Int13HDriveInfo);
  int13["os_managed"] = value == 1;
  int13["heads"] = RequestBlock.SRB_Heads;
  int13["sectors"] = RequestBlock.SRB_Sectors;
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
  inquiry["raw"] = Hex(data, InquiryLength);
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

Json TargetFacts(std::int32_t adapter, std::int32_t target) {
  Json facts;
  Json statuses;
  facts["id"] = target;

  AskAboutTarget(SC_GET_DEV_TYPE, target, adapter);
  statuses["device_type"] = RequestBlock.SRB_Status;
  if (RequestBlock.SRB_Status == SS_COMP) {
    facts["device_type"] = RequestBlock.SRB_DeviceType;
    facts["device_type_name"] = JsonText(DeviceTypeWords(RequestBlock.SRB_DeviceType));
  } else {
    facts["device_type"] = nullptr;
    facts["device_type_name"] = nullptr;
  }

  AskAboutTarget(SC_GET_DISK_INFO, target, adapter);
  statuses["disk_info"] = RequestBlock.SRB_Status;
  facts["int13"] = RequestBlock.SRB_Status == SS_COMP ? Int13Facts() : Json(nullptr);

  SendInquiry(target, adapter);
  statuses["inquiry"] = RequestBlock.SRB_Status;
  facts["inquiry"] = RequestBlock.SRB_Status == SS_COMP ? InquiryFacts(DataBuffer) : Json(nullptr);

  Capacity capacity;
  const bool read = ReadCapacity(target, adapter, capacity);
  statuses["read_capacity"] = RequestBlock.SRB_Status;
  facts["capacity"] = read ? CapacityFacts(capacity) : Json(nullptr);

  facts["status"] = statuses;
  return facts;
}

}  // namespace

int RunJsonReport(const Options& options, TerminalWindow& window) {
  const ReportTexts& texts = Texts();
  const TargetStep step = [&window](std::int32_t adapter, std::int32_t target) {
    window.Step(adapter, target);
  };
  Json document;
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

  Json adapters = Json::array();
  for (const std::int32_t number : chosen) {
    InquireHostAdapter(number);
    Json adapter;
    adapter["number"] = number;
    const std::uint8_t status = RequestBlock.SRB_Status;
    adapter["status"] = status;
    const bool done = status == SS_COMP;
    adapter["manager"] = done ? Json(FieldText(RequestBlock.HA_ManagerId, 16)) : Json(nullptr);
    adapter["identifier"] = done ? Json(FieldText(RequestBlock.HA_Identifier, 16)) : Json(nullptr);
    Json targets = Json::array();
    if (status != SS_ABORTED) {
      const std::vector<std::int32_t> ids =
          options.target ? std::vector<std::int32_t>{*options.target} : AnsweringTargets(number, step);
      for (const std::int32_t id : ids) {
        window.Step(number, id);
        targets.push_back(TargetFacts(number, id));
      }
    }
    adapter["targets"] = targets;
    adapters.push_back(adapter);
    if (status == SS_ABORTED) break;
  }
  document["adapters"] = adapters;

  window.WriteRaw(document.dump(2) + "\n");
  return usable ? 0 : 1;
}
