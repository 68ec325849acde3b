// What the kernel tells about SCSI hosts and devices under sysfs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wnaspi32::linux_io {

// Where the backend looks: "/sys" and "/dev" on a real machine, a tree in a
// temporary folder in tests.
struct Roots {
  std::filesystem::path sysfs;
  std::filesystem::path dev;
};

// Linux names a SCSI device host:channel:target:lun.
struct ScsiAddress {
  unsigned host = 0;
  unsigned channel = 0;
  unsigned target = 0;
  std::uint64_t lun = 0;
};
std::optional<ScsiAddress> ParseScsiAddress(std::string_view name);
std::string FormatScsiAddress(const ScsiAddress& address);

// One ASPI host adapter: a (host, channel) pair of the kernel.
struct Adapter {
  unsigned host = 0;
  unsigned channel = 0;
  std::uint8_t scsiId = 7;
  std::string procName;  // the host's driver name
};

// Every (host, channel) with a device, and channel 0 of every host without
// any, ascending by host then channel; at most 255 of them.
std::vector<Adapter> ListAdapters(const std::filesystem::path& sysfsRoot);

// The addresses of the devices in `devicesDir` (.../bus/scsi/devices).
std::vector<ScsiAddress> ListDeviceAddresses(const std::filesystem::path& devicesDir);
// The LUNs of the devices at the host, channel and target of `address`,
// ascending.
std::vector<std::uint64_t> ListLuns(const std::filesystem::path& devicesDir,
                                    const ScsiAddress& address);
// The highest target ID with a device on `adapter`; 0 when it has none.
unsigned HighestTarget(const std::filesystem::path& sysfsRoot, const Adapter& adapter);

struct ScsiDevice {
  std::filesystem::path dir;  // .../bus/scsi/devices/H:C:T:L
  int type = 0;               // peripheral device type
  std::string sgName;         // "sg2"; empty without an sg node
  std::string blockName;      // "sda", "sr0"; empty without a block device
  std::filesystem::path blockDir;  // its sysfs folder (size, queue/...)
};
// The device at `address` as sysfs shows it now; nothing when it is gone.
// Its state ("running", "offline", ...) goes to `state` when given.
// Without `withLinks` its sg node and block device are left to FindLinks.
std::optional<ScsiDevice> FindDevice(const std::filesystem::path& sysfsRoot,
                                     const ScsiAddress& address, std::string* state = nullptr,
                                     bool withLinks = true);
// The sg node and the block device of `device`, found without them.
void FindLinks(ScsiDevice& device);
// The type of the device at `address` alone, as FindDevice finds it.
std::optional<int> FindDeviceType(const std::filesystem::path& sysfsRoot,
                                  const ScsiAddress& address);

// Whether the device in `deviceDir` is still there and not leaving.
bool DeviceIsThere(const std::filesystem::path& deviceDir);

// Attribute files, read whole or not at all: a file that cannot be opened
// or read (gone, a folder, too long) gives nothing. Text loses its trailing
// white space.
std::optional<std::string> ReadText(const std::filesystem::path& file);
std::optional<std::vector<std::uint8_t>> ReadBytes(const std::filesystem::path& file);
// A decimal number, or with base 0 also "0x..." hexadecimal.
std::optional<std::int64_t> ReadNumber(const std::filesystem::path& file, int base = 10);

// The names in a folder, sorted, without "." and ".."; none when it cannot
// be read. An error part-way ends the list.
std::vector<std::string> ListNames(const std::filesystem::path& dir);

}  // namespace wnaspi32::linux_io
