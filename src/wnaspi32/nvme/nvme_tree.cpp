#include "wnaspi32/nvme/nvme_tree.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "wnaspi32/linux/sysfs_tree.h"

namespace wnaspi32::nvme {
namespace fs = std::filesystem;
using linux_io::ListNames;
using linux_io::ReadNumber;
using linux_io::ReadText;
namespace {

// Takes one or more digits off the front of `rest`.
bool TakeDigits(std::string_view& rest) {
  std::size_t n = 0;
  while (n < rest.size() && std::isdigit(static_cast<unsigned char>(rest[n]))) ++n;
  rest.remove_prefix(n);
  return n > 0;
}

std::optional<unsigned> ControllerNumber(std::string_view name) {
  if (!name.starts_with("nvme")) return std::nullopt;
  name.remove_prefix(4);
  if (name.empty() || name.size() > 9) return std::nullopt;
  std::string_view rest = name;
  if (!TakeDigits(rest) || !rest.empty()) return std::nullopt;
  return static_cast<unsigned>(std::stoul(std::string(name)));
}

enum class Entry { Other, Disk, Path };

// nvme<S>n<N> is a namespace's block device, nvme<S>c<C>n<N> one path of a
// multipath namespace.
Entry KindOf(std::string_view name) {
  if (!name.starts_with("nvme")) return Entry::Other;
  name.remove_prefix(4);
  if (!TakeDigits(name)) return Entry::Other;
  bool path = false;
  if (name.starts_with('c')) {
    name.remove_prefix(1);
    if (!TakeDigits(name)) return Entry::Other;
    path = true;
  }
  if (!name.starts_with('n')) return Entry::Other;
  name.remove_prefix(1);
  if (!TakeDigits(name) || !name.empty()) return Entry::Other;
  return path ? Entry::Path : Entry::Disk;
}

std::optional<std::uint32_t> NamespaceId(const fs::path& dir) {
  const auto nsid = ReadNumber(dir / "nsid");
  if (!nsid || *nsid <= 0 || *nsid > 0xFFFFFFFF) return std::nullopt;
  return static_cast<std::uint32_t>(*nsid);
}

// A controller being removed keeps its folder a moment longer.
bool Leaving(const fs::path& controllerDir) {
  const auto state = ReadText(controllerDir / "state");
  return state == "deleting" || state == "deleting (no IO)" || state == "dead";
}

// The subsystem folder that links to the controller, where the block
// devices of its multipath namespaces are.
std::optional<fs::path> SubsystemOf(const fs::path& sysfsRoot, unsigned controller) {
  const fs::path subsystems = sysfsRoot / "class/nvme-subsystem";
  const std::string link = "nvme" + std::to_string(controller);
  for (const std::string& name : ListNames(subsystems)) {
    std::error_code error;
    if (fs::exists(subsystems / name / link, error)) return subsystems / name;
  }
  return std::nullopt;
}

std::optional<std::string> BlockDeviceIn(const fs::path& subsystemDir, std::uint32_t nsid) {
  for (const std::string& name : ListNames(subsystemDir))
    if (KindOf(name) == Entry::Disk && NamespaceId(subsystemDir / name) == nsid) return name;
  return std::nullopt;
}

}  // namespace

fs::path ControllerDir(const fs::path& sysfsRoot, unsigned controller) {
  return sysfsRoot / "class/nvme" / ("nvme" + std::to_string(controller));
}

std::vector<Controller> ListControllers(const fs::path& sysfsRoot, std::size_t most) {
  std::vector<Controller> controllers;
  for (const std::string& name : ListNames(sysfsRoot / "class/nvme"))
    if (const auto number = ControllerNumber(name))
      controllers.push_back({.number = *number, .transport = {}});
  std::sort(controllers.begin(), controllers.end(),
            [](const Controller& a, const Controller& b) { return a.number < b.number; });
  if (controllers.size() > most) controllers.resize(most);
  for (Controller& controller : controllers)
    controller.transport =
        ReadText(ControllerDir(sysfsRoot, controller.number) / "transport").value_or("");
  return controllers;
}

std::vector<Namespace> ListNamespaces(const fs::path& sysfsRoot, unsigned controller) {
  const fs::path dir = ControllerDir(sysfsRoot, controller);
  if (Leaving(dir)) return {};
  std::vector<Namespace> found;
  std::optional<std::optional<fs::path>> subsystem;  // looked up once, when needed
  for (const std::string& name : ListNames(dir)) {
    const Entry kind = KindOf(name);
    if (kind == Entry::Other) continue;
    const auto nsid = NamespaceId(dir / name);
    if (!nsid) continue;
    Namespace ns{.nsid = *nsid, .dir = dir / name, .blockName = {}};
    if (kind == Entry::Disk) {
      ns.blockName = name;
    } else {
      if (!subsystem) subsystem = SubsystemOf(sysfsRoot, controller);
      // Without its block device the path still tells everything but the
      // disk information.
      if (*subsystem)
        if (const auto block = BlockDeviceIn(**subsystem, *nsid)) {
          ns.dir = **subsystem / *block;
          ns.blockName = *block;
        }
    }
    found.push_back(std::move(ns));
  }
  std::sort(found.begin(), found.end(),
            [](const Namespace& a, const Namespace& b) { return a.nsid < b.nsid; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const Namespace& a, const Namespace& b) { return a.nsid == b.nsid; }),
              found.end());
  return found;
}

std::optional<Namespace> FindNamespace(const fs::path& sysfsRoot, unsigned controller,
                                       std::uint32_t nsid) {
  for (Namespace& ns : ListNamespaces(sysfsRoot, controller))
    if (ns.nsid == nsid) return std::move(ns);
  return std::nullopt;
}

}  // namespace wnaspi32::nvme
