#include "peer_view.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace lab {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(std::string_view line) {
  std::istringstream in{std::string(line)};
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

template <typename Number>
std::optional<Number> ToNumber(std::string_view text, int base = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "[1:0:5:0]" into the device's address.
bool ParseAddress(std::string_view bracketed, PeerDevice& device) {
  if (bracketed.size() < 2 || bracketed.front() != '[' || bracketed.back() != ']') return false;
  std::string_view rest = bracketed.substr(1, bracketed.size() - 2);
  std::optional<std::uint64_t> parts[4];
  for (auto& part : parts) {
    const auto colon = rest.find(':');
    part = ToNumber<std::uint64_t>(rest.substr(0, colon));
    if (!part) return false;
    rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
  }
  device.host = static_cast<unsigned>(*parts[0]);
  device.channel = static_cast<unsigned>(*parts[1]);
  device.target = static_cast<unsigned>(*parts[2]);
  device.lun = *parts[3];
  return true;
}

std::optional<std::uint64_t> NumberAfter(std::string_view text, std::string_view key) {
  const auto at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t end = at + key.size();
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  return ToNumber<std::uint64_t>(text.substr(at + key.size(), end - at - key.size()));
}

}  // namespace

std::string PeerDevice::Address() const {
  if (nvme) return nvmeAddress;
  return std::to_string(host) + ":" + std::to_string(channel) + ":" + std::to_string(target) +
         ":" + std::to_string(lun);
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<PeerHost> ParseLsscsiHosts(std::string_view text) {
  std::vector<PeerHost> hosts;
  for (const auto& line : Lines(text)) {
    const auto words = Words(line);
    if (words.size() < 2 || words[0].size() < 3 || words[0].front() != '[') continue;
    const auto number = ToNumber<unsigned>(std::string_view(words[0]).substr(1, words[0].size() - 2));
    if (number) hosts.push_back({*number, words[1]});
  }
  return hosts;
}

std::vector<PeerDevice> ParseLsscsiDevices(std::string_view text) {
  std::vector<PeerDevice> devices;
  for (const auto& line : Lines(text)) {
    const auto words = Words(line);
    PeerDevice device;
    if (words.size() < 3 || !ParseAddress(words[0], device)) continue;
    device.typeName = words[1];
    device.sgNode = words.back();
    devices.push_back(device);
  }
  return devices;
}

// "[N:0:0:2]  disk  QEMU NVMe Ctrl__2  /dev/nvme0n2": controller 0,
// controller ID 0, namespace 2.
std::vector<PeerDevice> ParseLsscsiNamespaces(std::string_view text) {
  std::vector<PeerDevice> devices;
  for (const auto& line : Lines(text)) {
    const auto words = Words(line);
    if (words.size() < 2 || !words[0].starts_with("[N:")) continue;
    // Read as "controller:cntlid:nsid:0".
    PeerDevice parsed;
    if (!ParseAddress("[" + words[0].substr(3, words[0].size() - 4) + ":0]", parsed)) continue;
    if (parsed.target == 0) continue;
    PeerDevice device;
    device.nvme = true;
    device.nvmeAddress = words[0].substr(1, words[0].size() - 2);
    device.host = parsed.host;
    device.target = parsed.target - 1;
    device.typeName = words[1];
    devices.push_back(device);
  }
  return devices;
}

// sg_inq -H prints 16 bytes a row: the offset, then bytes at columns 8, 11,
// ... 29 and, after one extra blank, 33 ... 54, then the ASCII column.
std::vector<std::uint8_t> ParseSgInqHex(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const auto& line : Lines(text)) {
    const auto words = Words(line);
    if (words.empty() || !ToNumber<unsigned>(words[0], 16) || line.size() < 10 || line[0] != ' ')
      continue;
    for (std::size_t i = 0; i < 16; ++i) {
      const std::size_t column = i < 8 ? 8 + 3 * i : 33 + 3 * (i - 8);
      if (column + 2 > line.size()) break;
      const auto byte = ToNumber<unsigned>(std::string_view(line).substr(column, 2), 16);
      if (!byte || line[column] == ' ') break;
      bytes.push_back(static_cast<std::uint8_t>(*byte));
    }
  }
  return bytes;
}

std::optional<Capacity> ParseSgReadcap(std::string_view text) {
  const auto lastLba = NumberAfter(text, "Last LBA=");
  const auto length = NumberAfter(text, "Logical block length=");
  if (!lastLba || !length) return std::nullopt;
  return Capacity{*lastLba, static_cast<std::uint32_t>(*length)};
}

int DeviceTypeOfLsscsiName(std::string_view name) {
  static const std::map<std::string_view, int> types = {
      {"disk", 0},    {"tape", 1},    {"printer", 2}, {"process", 3}, {"worm", 4},
      {"cd/dvd", 5},  {"scanner", 6}, {"optical", 7}, {"mediumx", 8}, {"comms", 9},
      {"no_lu", 31},  {"zbc", 20}};
  const auto found = types.find(name);
  return found == types.end() ? -1 : found->second;
}

namespace {

// lsscsi -H's NVMe lines, "[N:0]  /dev/nvme0  model...  serial  firmware",
// with the transports collect-peers.sh took from sysfs.
std::vector<PeerController> ReadControllers(const fs::path& dir) {
  std::vector<PeerController> controllers;
  for (const auto& line : Lines(ReadFile(dir / "nvme-transports.txt"))) {
    const auto words = Words(line);
    const auto number = words.size() == 2 ? ToNumber<unsigned>(words[0]) : std::nullopt;
    if (number) controllers.push_back({*number, words[1], {}});
  }
  for (const auto& line : Lines(ReadFile(dir / "hosts.txt"))) {
    const auto words = Words(line);
    if (words.size() < 3 || !words[0].starts_with("[N:")) continue;
    const std::string_view name = words[0];
    const auto number = ToNumber<unsigned>(name.substr(3, name.size() - 4));
    for (auto& controller : controllers)
      if (number == controller.number) controller.firmware = words.back();
  }
  std::sort(controllers.begin(), controllers.end(),
            [](const auto& a, const auto& b) { return a.number < b.number; });
  return controllers;
}

// sg3_utils makes the revision of the first four bytes of the firmware
// revision; the translation reference, and the layer, take its last four
// that are not blanks. Everything else of the standard INQUIRY data is as
// sg3_utils translates it.
void TakeLastFourOfFirmware(std::vector<std::uint8_t>& inquiry, std::string_view firmware) {
  if (inquiry.size() < 36) return;
  while (!firmware.empty() && firmware.back() == ' ') firmware.remove_suffix(1);
  const std::string_view last =
      firmware.substr(firmware.size() - std::min<std::size_t>(4, firmware.size()));
  for (std::size_t i = 0; i < 4; ++i) inquiry[32 + i] = i < last.size() ? last[i] : ' ';
}

}  // namespace

PeerView ReadPeerView(const fs::path& dir) {
  PeerView view;
  view.hosts = ParseLsscsiHosts(ReadFile(dir / "hosts.txt"));
  view.controllers = ReadControllers(dir);
  view.devices = ParseLsscsiDevices(ReadFile(dir / "devices.txt"));
  for (auto& device : ParseLsscsiNamespaces(ReadFile(dir / "nvme.txt"))) {
    const std::string base = device.Address();
    const auto block = Words(ReadFile(dir / (base + ".block")));
    device.sgNode = block.empty() ? std::string{} : "/dev/" + block[0];
    device.inquiry = ParseSgInqHex(ReadFile(dir / (base + ".sinq")));
    for (const auto& controller : view.controllers)
      if (controller.number == device.host)
        TakeLastFourOfFirmware(device.inquiry, controller.firmware);
    device.unitSerialNumber = ParseSgInqHex(ReadFile(dir / (base + ".sn")));
    device.deviceIdentification = ParseSgInqHex(ReadFile(dir / (base + ".di")));
    view.devices.push_back(device);
  }
  for (auto& device : view.devices) {
    const std::string base = device.Address();
    if (!device.nvme) device.inquiry = ParseSgInqHex(ReadFile(dir / (base + ".inq")));
    if (fs::exists(dir / (base + ".cap")))
      device.capacity = ParseSgReadcap(ReadFile(dir / (base + ".cap")));
    if (fs::exists(dir / (base + ".cap16")))
      device.capacity16 = ParseSgReadcap(ReadFile(dir / (base + ".cap16")));
    const auto geometry = Words(ReadFile(dir / (base + ".geometry")));
    if (geometry.size() == 2) {
      const auto heads = ToNumber<unsigned>(geometry[0]);
      const auto sectors = ToNumber<unsigned>(geometry[1]);
      if (heads && sectors) device.geometry = Geometry{*heads, *sectors};
    }
    const auto signature = Words(ReadFile(dir / (base + ".mbr")));
    if (signature.size() == 1) device.mbrSignature = ToNumber<std::uint32_t>(signature[0], 16);
  }
  return view;
}

std::vector<EddDrive> ReadEddDrives(const fs::path& eddDir) {
  std::vector<EddDrive> drives;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(eddDir, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("int13_dev")) continue;
    const auto number = ToNumber<unsigned>(std::string_view(name).substr(9), 16);
    auto field = [&](const char* file, int base) {
      auto words = Words(ReadFile(entry.path() / file));
      std::string_view word = words.empty() ? std::string_view{} : std::string_view(words[0]);
      if (base == 16 && word.starts_with("0x")) word.remove_prefix(2);
      return ToNumber<std::uint64_t>(word, base);
    };
    const auto signature = field("mbr_signature", 16);
    const auto maxHead = field("legacy_max_head", 10);
    const auto sectors = field("legacy_sectors_per_track", 10);
    if (!number || !signature || !maxHead || !sectors) continue;
    drives.push_back({*number, static_cast<std::uint32_t>(*signature),
                      static_cast<unsigned>(*maxHead), static_cast<unsigned>(*sectors)});
  }
  return drives;
}

std::vector<std::uint8_t> ReadSysfsInquiry(const PeerDevice& device) {
  const std::string bytes = ReadFile(fs::path("/sys/bus/scsi/devices") / device.Address() / "inquiry");
  return {bytes.begin(), bytes.end()};
}

}  // namespace lab
