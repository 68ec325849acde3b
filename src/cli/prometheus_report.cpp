// busview-report --prometheus: the JSON document's facts as metrics in the
// Prometheus text format (version 0.0.4), as the node exporter's textfile
// collector reads them. The document is made by the JSON report itself, so
// both say the same.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "aspi/request_block.h"
#include "cli/runs.h"
#include "reports/report_window.h"

namespace {

using Json = nlohmann::ordered_json;

// Prometheus takes label values of any length, but the stores behind it do
// not (Cortex and Mimir refuse more than 2048 bytes by default): a value is
// cut at this many bytes, between two characters.
constexpr std::size_t LabelValueLimit = 1024;

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// A text of the document (decoded from code page 932, which has no C1
// controls) as a label value: without blanks at either end; each control
// character but the line break (which the format writes as "\n") becomes
// U+FFFD; cut at LabelValueLimit bytes; then "\", the double quote and the
// line break escaped. Null is the empty value, which Prometheus takes as no
// label.
std::string LabelValue(const Json& value) {
  if (!value.is_string()) return {};
  std::string_view text = value.get_ref<const std::string&>();
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  text = text.substr(0, text.find_last_not_of(' ') + 1);

  std::string clean;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\n') || byte == 0x7F) {
      clean += ReplacementCharacter;
    } else {
      clean += c;
    }
  }
  if (clean.size() > LabelValueLimit) {
    std::size_t cut = LabelValueLimit;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;
    clean.resize(cut);
  }

  std::string escaped;
  for (const char c : clean) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return escaped;
}

using Labels = std::initializer_list<std::pair<std::string_view, std::string>>;

// One metric family: its HELP and TYPE lines and its samples. A family
// without samples is left out.
class Family {
 public:
  Family(std::string_view name, std::string_view help) : name_(name), help_(help) {}

  void Add(const Labels& labels, const Json& value) {
    samples_ += name_;
    if (labels.size() != 0) {
      char separator = '{';
      for (const auto& [label, text] : labels) {
        samples_ += separator;
        samples_.append(label).append("=\"").append(text) += '"';
        separator = ',';
      }
      samples_ += '}';
    }
    samples_ += ' ';
    samples_ += value.is_boolean() ? (value.get<bool>() ? "1" : "0") : value.dump();
    samples_ += '\n';
  }

  std::string Text() const {
    if (samples_.empty()) return {};
    return "# HELP " + std::string(name_) + " " + std::string(help_) + "\n# TYPE " + std::string(name_) +
           " gauge\n" + samples_;
  }

 private:
  std::string_view name_;
  std::string_view help_;
  std::string samples_;
};

std::string Number(const Json& value) { return value.is_number() ? value.dump() : std::string(); }

std::string Exposition(const Json& document, double seconds) {
  Family usable("busview_layer_usable", "Whether the ASPI layer was usable (1) or not (0).");
  Family duration("busview_scan_duration_seconds", "How long the survey of adapters and devices took.");
  Family adapterInfo("busview_adapter_info", "A host adapter, with its names as labels.");
  Family adapterSuccess("busview_adapter_inquiry_success",
                        "Whether the host adapter inquiry completed (1) or failed (0).");
  Family devices("busview_devices", "Logical units that answered a device type request.");
  Family deviceInfo("busview_device_info", "A logical unit, with its INQUIRY texts and identity as labels.");
  Family capacity("busview_device_capacity_bytes", "The capacity READ CAPACITY gave, in bytes.");
  Family blockSize("busview_device_block_size_bytes",
                   "The logical block length READ CAPACITY gave, in bytes.");
  Family requests("busview_request_success",
                  "Whether a request to the logical unit completed (1) or failed (0).");

  usable.Add({}, document["usable"]);
  duration.Add({}, seconds);
  for (const Json& adapter : document["adapters"]) {
    const std::string number = Number(adapter["number"]);
    adapterInfo.Add({{"adapter", number},
                     {"manager", LabelValue(adapter["manager"])},
                     {"identifier", LabelValue(adapter["identifier"])}},
                    1);
    adapterSuccess.Add({{"adapter", number}}, adapter["status"] == SS_COMP);
    int answering = 0;
    for (const Json& target : adapter["targets"]) {
      const std::string id = Number(target["id"]);
      const std::string lun = Number(target["lun"]);
      const Json& inquiry = target["inquiry"];
      const Json none;
      const auto text = [&](const char* key) {
        return LabelValue(inquiry.is_object() ? inquiry[key] : none);
      };
      const Json& identification = target["identification"];
      deviceInfo.Add({{"adapter", number},
                      {"target", id},
                      {"lun", lun},
                      {"device_type", Number(target["device_type"])},
                      {"device_type_name", LabelValue(target["device_type_name"])},
                      {"vendor", text("vendor")},
                      {"product", text("product")},
                      {"revision", text("revision")},
                      {"serial", LabelValue(identification["unit_serial_number"])},
                      {"wwn", LabelValue(identification["wwn"])}},
                     1);
      if (const Json& read = target["capacity"]; read.is_object()) {
        capacity.Add({{"adapter", number}, {"target", id}, {"lun", lun}}, read["bytes"]);
        blockSize.Add({{"adapter", number}, {"target", id}, {"lun", lun}}, read["block_length"]);
      }
      for (const auto& [request, status] : target["status"].items()) {
        requests.Add({{"adapter", number}, {"target", id}, {"lun", lun}, {"request", request}},
                     status == SS_COMP);
      }
      answering += target["status"]["device_type"] == SS_COMP ? 1 : 0;
    }
    devices.Add({{"adapter", number}}, answering);
  }

  std::string text;
  for (const Family* family : {&usable, &duration, &adapterInfo, &adapterSuccess, &devices, &deviceInfo,
                               &capacity, &blockSize, &requests}) {
    text += family->Text();
  }
  return text;
}

}  // namespace

int RunPrometheusReport(const Options& options, TerminalWindow& window) {
  // The JSON report runs in a window of its own that keeps its document.
  std::string document;
  TerminalWindow facts(window.encoding(), window.progress(), [&document](std::string_view bytes) {
    document.append(bytes);
    return true;
  });
  ReportWindow* const shown = std::exchange(MainWindow, &facts);
  const auto start = std::chrono::steady_clock::now();
  const int status = RunJsonReport(options, facts);
  facts.Finish();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  MainWindow = shown;
  window.WriteRaw(Exposition(Json::parse(document), took.count()));
  return status;
}
