#include "expected_panes.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

namespace lab {
namespace {

constexpr int LabelColumns = 22;

void Append(std::vector<std::string>& lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

}  // namespace

std::vector<AspiAdapter> ExpectedAdapters(const PeerView& view) {
  std::set<std::pair<unsigned, unsigned>> pairs;
  std::set<unsigned> withDevices;
  for (const auto& device : view.devices) {
    if (device.nvme) continue;
    pairs.emplace(device.host, device.channel);
    withDevices.insert(device.host);
  }
  for (const auto& host : view.hosts)
    if (!withDevices.contains(host.number)) pairs.emplace(host.number, 0);
  std::vector<AspiAdapter> adapters;
  for (const auto& [host, channel] : pairs) {
    std::string name;
    for (const auto& peer : view.hosts)
      if (peer.number == host) name = peer.procName;
    adapters.push_back({host, channel, name, false});
  }
  for (const auto& controller : view.controllers)
    adapters.push_back({controller.number, 0, controller.transport, true});
  return adapters;
}

const PeerDevice* DeviceAt(const PeerView& view, const AspiAdapter& adapter, unsigned target) {
  for (const auto& device : view.devices)
    if (device.nvme == adapter.nvme && device.host == adapter.host &&
        device.channel == adapter.channel && device.target == target && device.lun == 0)
      return &device;
  return nullptr;
}

std::string Labelled(std::string_view label, int cp932Width, std::string_view value) {
  std::string line(label);
  line.append(static_cast<std::size_t>(std::max(0, LabelColumns - cp932Width)), ' ');
  line += "= ";
  line += value;
  return line;
}

std::string DeviceTypeWord(int type) {
  static const std::map<int, std::string> words = {
      {0, "ＨＤＤ"},       {1, "テープ"},   {2, "プリンタ"},
      {3, "プロセッサ"},   {4, "光メモリ（ライトワンス）"},
      {5, "ＣＤ－ＲＯＭ"}, {6, "スキャナ"}, {7, "ＭＯ"},
      {8, "メディアチェンジャ"}, {9, "通信装置"}, {31, "不明"}};
  const auto found = words.find(type);
  return found == words.end() ? std::string{} : found->second;
}

std::string Visible(const std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t count) {
  std::string text;
  for (std::size_t i = first; i < first + count; ++i) {
    const std::uint8_t byte = i < bytes.size() ? bytes[i] : 0;
    if (byte == 0) break;
    // The window shows a byte that is no character as U+FF65.
    text += byte >= 0x20 && byte < 0x7F ? std::string(1, static_cast<char>(byte)) : "･";
  }
  return text;
}

std::string Megabytes(const Capacity& capacity) {
  const unsigned __int128 bytes =
      static_cast<unsigned __int128>(capacity.lastLba + 1) * capacity.blockLength;
  const unsigned __int128 cents = (bytes * 100 + (1u << 19)) >> 20;
  std::string whole = std::to_string(static_cast<std::uint64_t>(cents / 100));
  for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3) whole.insert(at, ",");
  const unsigned rest = static_cast<unsigned>(cents % 100);
  return whole + "." + std::to_string(rest / 10) + std::to_string(rest % 10);
}

std::vector<std::string> HostAdapterPane(const std::vector<AspiAdapter>& adapters) {
  std::vector<std::string> lines = {
      "ホストアダプタの数      = " + std::to_string(adapters.size()),
      "SCSIホストアダプタの ID = 7", " "};
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    lines.push_back("Host No." + std::to_string(i) + " Driver = ASPI for Linux");
    lines.push_back("Host No." + std::to_string(i) + " Adapter = " + adapters[i].name);
    lines.push_back(" ");
  }
  return lines;
}

std::vector<std::string> AdapterItems(const std::vector<AspiAdapter>& adapters) {
  std::vector<std::string> items;
  for (std::size_t i = 0; i < adapters.size(); ++i)
    items.push_back(std::to_string(i) + " : " + adapters[i].name);
  return items;
}

std::vector<std::string> TargetItems(const PeerView& view, const AspiAdapter& adapter) {
  std::vector<std::string> items;
  for (unsigned target = 0; target < 8; ++target)
    if (DeviceAt(view, adapter, target)) items.push_back(std::to_string(target));
  return items;
}

std::vector<std::string> InquiryLines(const std::vector<std::uint8_t>& inquiry, bool detailed) {
  auto at = [&](std::size_t i) -> unsigned { return i < inquiry.size() ? inquiry[i] : 0; };
  std::vector<std::string> lines = {
      Labelled("SCSIのInquiry ", 14, DeviceTypeWord(static_cast<int>(at(0) & 0x1F))),
      Labelled("ベンダＩＤ", 10, Visible(inquiry, 8, 8)),
      Labelled("プロダクトＩＤ", 14, Visible(inquiry, 16, 16)),
      Labelled("プロダクト版数", 14, Visible(inquiry, 32, 4))};
  if (!detailed) return lines;
  lines.push_back(Labelled("ISOバージョン", 13, std::to_string(at(2) >> 6 & 3)));
  lines.push_back(Labelled("ECMAバージョン", 14, std::to_string(at(2) >> 3 & 7)));
  lines.push_back(Labelled("ANSIバージョン", 14, std::to_string(at(2) & 7)));
  static const char* const formats[] = {"= SCSI-1", "= CCS", "= SCSI-2"};
  if ((at(3) & 0x0F) < 3) {
    std::string line = Labelled("Inquiryデータ書式", 17, "");
    line.resize(line.size() - 2);  // the value brings its own "= "
    lines.push_back(line + formats[at(3) & 0x0F]);
  }
  struct Bit {
    std::size_t byte;
    unsigned mask;
    const char* line;
  };
  static const Bit bits[] = {
      {1, 0x80, "メディア交換可能"},     {3, 0x80, "AEN受信機能有り"},
      {7, 0x80, "相対アドレス"},         {7, 0x40, "３２ビットワイドバス"},
      {7, 0x20, "１６ビットワイドバス"}, {7, 0x10, "同期転送可能"},
      {7, 0x08, "コマンドリンク有り"},   {7, 0x02, "タグ付きコマンドキューイング有り"},
      {7, 0x01, "ソフトリセット有り"}};
  for (const Bit& bit : bits)
    if (at(bit.byte) & bit.mask) lines.push_back(bit.line);
  return lines;
}

std::vector<std::string> CapacityLines(const std::optional<Capacity>& capacity) {
  std::vector<std::string> lines = {" "};
  if (!capacity) return lines;
  lines.push_back("Read Capacity情報");
  lines.push_back(Labelled("セクタサイズ", 12, std::to_string(capacity->blockLength)));
  lines.push_back(Labelled("容量(ﾒｶﾞﾊﾞｲﾄ)", 13, Megabytes(*capacity)));
  return lines;
}

std::vector<std::string> DiskLines(const std::optional<DiskView>& disk) {
  if (!disk) return {};
  std::vector<std::string> lines;
  if (disk->int13Drive)
    lines.push_back("INT13H UNIT (OS管理) (ドライブ番号 = " + Hex(*disk->int13Drive) + ")");
  lines.push_back(Labelled("ヘッド変換値", 12, std::to_string(disk->heads)));
  lines.push_back(Labelled("セクタ変換値", 12, std::to_string(disk->sectors)));
  return lines;
}

namespace {

std::vector<std::string> DeviceTypeLines(unsigned adapterIndex, const PeerDevice& device) {
  return {"HostNo " + std::to_string(adapterIndex) + ",ID " + std::to_string(device.target) +
              " の装置",
          Labelled("ASPIのDevice Type", 17, DeviceTypeWord(DeviceTypeOfLsscsiName(device.typeName)))};
}

}  // namespace

std::vector<std::string> SimpleDisplay(const PeerView& view,
                                       const std::vector<AspiAdapter>& adapters) {
  std::vector<std::string> lines;
  for (std::size_t a = 0; a < adapters.size(); ++a) {
    for (unsigned target = 0; target < 8; ++target) {
      const PeerDevice* device = DeviceAt(view, adapters[a], target);
      if (!device) continue;
      Append(lines, DeviceTypeLines(static_cast<unsigned>(a), *device));
      if (!device->inquiry.empty()) Append(lines, InquiryLines(device->inquiry, false));
    }
    lines.push_back(" ");
  }
  return lines;
}

std::vector<std::string> DetailedDisplay(unsigned adapterIndex, const PeerDevice& device,
                                         const std::vector<std::uint8_t>& inquiry,
                                         const std::optional<DiskView>& disk) {
  std::vector<std::string> lines = DeviceTypeLines(adapterIndex, device);
  Append(lines, DiskLines(disk));
  if (!inquiry.empty()) Append(lines, InquiryLines(inquiry, true));
  // A last address of FFFFFFFFh sends the report on to READ CAPACITY(16).
  const bool overflowed = device.capacity && device.capacity->lastLba == 0xFFFFFFFFu;
  Append(lines, CapacityLines(overflowed && device.capacity16 ? device.capacity16
                                                              : device.capacity));
  return lines;
}

}  // namespace lab
