// What the kernel tells about NVMe controllers and their namespaces under
// sysfs, read with the bounded attribute reads the Linux backends share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wnaspi32::nvme {

// One controller, /sys/class/nvme/nvmeN.
struct Controller {
  unsigned number = 0;    // N
  std::string transport;  // "pcie", "tcp", "rdma", "fc", "loop"
};

// Every controller, live or not, ascending by N; at most `most`.
std::vector<Controller> ListControllers(const std::filesystem::path& sysfsRoot, std::size_t most);

std::filesystem::path ControllerDir(const std::filesystem::path& sysfsRoot, unsigned controller);

// One namespace the controller reaches.
struct Namespace {
  std::uint32_t nsid = 0;
  std::filesystem::path dir;  // nsid, size, eui, nguid, uuid, queue/...
  std::string blockName;      // its block device, "nvme0n1"; empty without one
};

// The controller's namespaces as sysfs shows them now, ascending by ID;
// none when the controller is gone or on its way out. With native
// multipath the controller holds hidden paths (nvme0c0n1) and the block
// device (nvme0n1) belongs to the subsystem; without, the block device sits
// under the controller. Either way the namespace ID is read, never guessed
// from a name.
std::vector<Namespace> ListNamespaces(const std::filesystem::path& sysfsRoot, unsigned controller);

// The namespace with `nsid`; nothing when it is not there (now).
std::optional<Namespace> FindNamespace(const std::filesystem::path& sysfsRoot, unsigned controller,
                                       std::uint32_t nsid);

}  // namespace wnaspi32::nvme
