#include "wnaspi32/linux/sysfs_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

namespace wnaspi32::linux_io {
namespace fs = std::filesystem;
namespace {

// The largest count a one-byte adapter number can reach.
constexpr std::size_t MaxAdapters = 255;
constexpr std::uint8_t DefaultScsiId = 7;
// Text attributes fit in a page, INQUIRY data in 256 bytes; anything
// longer is not an attribute this backend reads.
constexpr std::size_t MostAttributeBytes = 64 * 1024;

template <typename Number>
bool ParseField(std::string_view& rest, Number& value, bool last) {
  const std::size_t end = last ? rest.size() : rest.find(':');
  if (end == std::string_view::npos || end == 0) return false;
  const auto field = rest.substr(0, end);
  const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc{} || ptr != field.data() + field.size()) return false;
  rest.remove_prefix(last ? end : end + 1);
  return true;
}

std::optional<unsigned> HostNumber(std::string_view name) {
  if (!name.starts_with("host")) return std::nullopt;
  name.remove_prefix(4);
  unsigned host = 0;
  if (!ParseField(name, host, true)) return std::nullopt;
  return host;
}

// Closes the descriptor on every way out.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// The names in `name` under the folder open as `folder` (AT_FDCWD: under
// the current one), sorted, without "." and ".."; nothing when it is no
// folder that can be read. An error part-way ends the list.
std::optional<std::vector<std::string>> ListFolderAt(int folder, const char* name) {
  const Descriptor dir{::openat(folder, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd < 0) return std::nullopt;
  std::vector<std::string> names;
  // The entries as the kernel gives them: a stream would ask it twice more
  // whether this is a folder.
  alignas(dirent64) char entries[8192];
  ssize_t got = 0;
  while ((got = ::getdents64(dir.fd, entries, sizeof entries)) > 0) {
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
      const std::string_view entryName = entry->d_name;
      if (entryName != "." && entryName != "..") names.emplace_back(entryName);
      at += entry->d_reclen;
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::vector<std::uint8_t>> ReadBytesAt(int folder, const char* name) {
  // Plain calls, never streams: an attribute can vanish between open and
  // read (ENODEV), and that must mean "not there", never an exception.
  // O_NONBLOCK: a FIFO where an attribute should be must not hold us up.
  const Descriptor in{::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (in.fd < 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[4096];
  while (true) {
    const ssize_t got = ::read(in.fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > MostAttributeBytes)
      return std::nullopt;
    if (got == 0) return bytes;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

std::optional<std::string> ReadTextAt(int folder, const char* name) {
  auto bytes = ReadBytesAt(folder, name);
  if (!bytes) return std::nullopt;
  std::string text(bytes->begin(), bytes->end());
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t' ||
                           text.back() == '\r'))
    text.pop_back();
  return text;
}

std::optional<std::int64_t> ReadNumberAt(int folder, const char* name, int base) {
  const auto text = ReadTextAt(folder, name);
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, base);
  if (errno != 0 || end != text->c_str() + text->size()) return std::nullopt;
  return value;
}

// Kernels link a device's sg node and block device either as a folder
// ("scsi_generic/sg2") or, older ones, as an entry "scsi_generic:sg2".
struct Linked {
  std::string name;
  fs::path dir;
};
Linked FindLinked(int deviceFolder, const fs::path& deviceDir, const std::string& kind) {
  if (const auto names = ListFolderAt(deviceFolder, kind.c_str())) {
    if (names->empty()) return {};
    return {names->front(), deviceDir / kind / names->front()};
  }
  const std::string prefix = kind + ":";
  for (const std::string& name : ListFolderAt(deviceFolder, ".").value_or(std::vector<std::string>{}))
    if (name.starts_with(prefix)) return {name.substr(prefix.size()), deviceDir / name};
  return {};
}

// On its way out a device keeps its folder a moment longer.
bool Leaving(const std::optional<std::string>& state) {
  return state == "cancel" || state == "deleted";
}

// The type of the device whose folder is open as `folder`, and its state;
// nothing when it is gone or leaving.
std::optional<int> PresentDeviceType(int folder, std::string& state) {
  const auto type = ReadNumberAt(folder, "type", 10);
  if (!type) return std::nullopt;
  const auto read = ReadTextAt(folder, "state");
  if (Leaving(read)) return std::nullopt;
  state = read.value_or("");
  return static_cast<int>(*type);
}

void FindLinksAt(int folder, ScsiDevice& device) {
  device.sgName = FindLinked(folder, device.dir, "scsi_generic").name;
  const Linked block = FindLinked(folder, device.dir, "block");
  device.blockName = block.name;
  device.blockDir = block.dir;
}

// The device's folder, open for the reading of its attributes: its path,
// through the bus's link, is walked once, not for each of them.
int OpenDeviceFolder(const fs::path& deviceDir) {
  return ::open(deviceDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

fs::path DeviceDir(const fs::path& sysfsRoot, const ScsiAddress& address) {
  return sysfsRoot / "bus/scsi/devices" / FormatScsiAddress(address);
}

Adapter DescribeAdapter(const fs::path& sysfsRoot, unsigned host, unsigned channel) {
  Adapter adapter{.host = host, .channel = channel, .scsiId = DefaultScsiId, .procName = {}};
  const fs::path hostDir = sysfsRoot / "class/scsi_host" / ("host" + std::to_string(host));
  // Current kernels have no this_id; older ones show -1 for "none".
  if (const auto id = ReadNumber(hostDir / "this_id"); id && *id >= 0 && *id <= 255)
    adapter.scsiId = static_cast<std::uint8_t>(*id);
  adapter.procName = ReadText(hostDir / "proc_name").value_or("");
  // Drivers without a proc name (am53c974) show "(null)": name the host by
  // the driver bound to the controller it sits on.
  if (adapter.procName.empty() || adapter.procName == "(null)") {
    std::error_code error;
    const fs::path hostDevice = fs::canonical(hostDir / "device", error);
    const fs::path driver =
        error ? fs::path{} : fs::read_symlink(hostDevice.parent_path() / "driver", error);
    adapter.procName = error ? std::string{} : driver.filename().string();
  }
  return adapter;
}

}  // namespace

std::optional<ScsiAddress> ParseScsiAddress(std::string_view name) {
  ScsiAddress address;
  if (ParseField(name, address.host, false) && ParseField(name, address.channel, false) &&
      ParseField(name, address.target, false) && ParseField(name, address.lun, true))
    return address;
  return std::nullopt;
}

std::string FormatScsiAddress(const ScsiAddress& a) {
  return std::to_string(a.host) + ":" + std::to_string(a.channel) + ":" +
         std::to_string(a.target) + ":" + std::to_string(a.lun);
}

std::vector<ScsiAddress> ListDeviceAddresses(const fs::path& devicesDir) {
  std::vector<ScsiAddress> addresses;
  for (const std::string& name : ListNames(devicesDir)) {
    if (const auto address = ParseScsiAddress(name)) addresses.push_back(*address);
  }
  return addresses;
}

std::vector<std::uint64_t> ListLuns(const fs::path& devicesDir, const ScsiAddress& address) {
  std::vector<std::uint64_t> luns;
  for (const ScsiAddress& a : ListDeviceAddresses(devicesDir)) {
    if (a.host == address.host && a.channel == address.channel && a.target == address.target)
      luns.push_back(a.lun);
  }
  std::sort(luns.begin(), luns.end());
  return luns;
}

unsigned HighestTarget(const fs::path& sysfsRoot, const Adapter& adapter) {
  unsigned highest = 0;
  for (const ScsiAddress& a : ListDeviceAddresses(sysfsRoot / "bus/scsi/devices")) {
    if (a.host == adapter.host && a.channel == adapter.channel) highest = std::max(highest, a.target);
  }
  return highest;
}

std::vector<Adapter> ListAdapters(const fs::path& sysfsRoot) {
  std::set<std::pair<unsigned, unsigned>> pairs;
  std::set<unsigned> hostsWithDevices;
  for (const ScsiAddress& address : ListDeviceAddresses(sysfsRoot / "bus/scsi/devices")) {
    pairs.emplace(address.host, address.channel);
    hostsWithDevices.insert(address.host);
  }
  for (const std::string& name : ListNames(sysfsRoot / "class/scsi_host")) {
    const auto host = HostNumber(name);
    if (host && !hostsWithDevices.contains(*host)) pairs.emplace(*host, 0);
  }
  std::vector<Adapter> adapters;
  for (const auto& [host, channel] : pairs) {
    if (adapters.size() == MaxAdapters) break;
    adapters.push_back(DescribeAdapter(sysfsRoot, host, channel));
  }
  return adapters;
}

std::optional<ScsiDevice> FindDevice(const fs::path& sysfsRoot, const ScsiAddress& address,
                                     std::string* state, bool withLinks) {
  ScsiDevice device;
  device.dir = DeviceDir(sysfsRoot, address);
  const Descriptor folder{OpenDeviceFolder(device.dir)};
  if (folder.fd < 0) return std::nullopt;
  std::string read;
  const auto type = PresentDeviceType(folder.fd, state != nullptr ? *state : read);
  if (!type) return std::nullopt;
  device.type = *type;
  if (withLinks) FindLinksAt(folder.fd, device);
  return device;
}

void FindLinks(ScsiDevice& device) {
  const Descriptor folder{OpenDeviceFolder(device.dir)};
  if (folder.fd >= 0) FindLinksAt(folder.fd, device);
}

std::optional<int> FindDeviceType(const fs::path& sysfsRoot, const ScsiAddress& address) {
  const Descriptor folder{OpenDeviceFolder(DeviceDir(sysfsRoot, address))};
  if (folder.fd < 0) return std::nullopt;
  std::string state;
  return PresentDeviceType(folder.fd, state);
}

bool DeviceIsThere(const fs::path& deviceDir) {
  return ReadNumber(deviceDir / "type").has_value() && !Leaving(ReadText(deviceDir / "state"));
}

std::optional<std::string> ReadText(const fs::path& file) { return ReadTextAt(AT_FDCWD, file.c_str()); }

std::optional<std::vector<std::uint8_t>> ReadBytes(const fs::path& file) {
  return ReadBytesAt(AT_FDCWD, file.c_str());
}

std::optional<std::int64_t> ReadNumber(const fs::path& file, int base) {
  return ReadNumberAt(AT_FDCWD, file.c_str(), base);
}

std::vector<std::string> ListNames(const fs::path& dir) {
  return ListFolderAt(AT_FDCWD, dir.c_str()).value_or(std::vector<std::string>{});
}

}  // namespace wnaspi32::linux_io
