// What the peers (lsscsi, sg_inq, sg_vpd, sg_readcap, busybox fdisk) and the
// kernel (sysfs) say about the guest's SCSI devices and NVMe namespaces, read
// back from the files that collect-peers.sh left.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

struct PeerHost {
  unsigned number = 0;
  std::string procName;
};

struct Capacity {
  std::uint64_t lastLba = 0;
  std::uint32_t blockLength = 0;
};

struct Geometry {
  unsigned heads = 0;
  unsigned sectors = 0;
};

// An NVMe namespace is a PeerDevice too: `host` is its controller's number,
// `target` its namespace ID - 1, `lun` 0.
struct PeerDevice {
  bool nvme = false;
  std::string nvmeAddress;  // lsscsi's "N:controller:cntlid:nsid"
  unsigned host = 0;
  unsigned channel = 0;
  unsigned target = 0;
  std::uint64_t lun = 0;
  std::string typeName;  // lsscsi's: "disk", "cd/dvd"...
  std::string sgNode;    // "/dev/sg0"
  std::vector<std::uint8_t> inquiry;   // sg_inq -H (NVMe: sg_vpd -p sinq -H), 36 bytes
  // NVMe: sg_vpd -p sn -H and -p di -H, whole pages.
  std::vector<std::uint8_t> unitSerialNumber;
  std::vector<std::uint8_t> deviceIdentification;
  std::optional<Capacity> capacity;    // sg_readcap, READ CAPACITY(10)
  std::optional<Capacity> capacity16;  // sg_readcap -l
  std::optional<Geometry> geometry;    // the block device's HDIO_GETGEO
  std::optional<std::uint32_t> mbrSignature;

  std::string Address() const;  // "H:C:T:L", or lsscsi's NVMe address
};

struct PeerController {
  unsigned number = 0;    // nvmeN
  std::string transport;  // sysfs
  std::string firmware;   // lsscsi -H
};

struct PeerView {
  std::vector<PeerHost> hosts;
  std::vector<PeerController> controllers;  // ascending
  std::vector<PeerDevice> devices;
};

PeerView ReadPeerView(const std::filesystem::path& dir);

// Parsers for the peers' outputs, one text each.
std::vector<PeerHost> ParseLsscsiHosts(std::string_view text);
std::vector<PeerDevice> ParseLsscsiDevices(std::string_view text);
std::vector<PeerDevice> ParseLsscsiNamespaces(std::string_view text);
std::vector<std::uint8_t> ParseSgInqHex(std::string_view text);
std::optional<Capacity> ParseSgReadcap(std::string_view text);

// The SCSI peripheral device type that lsscsi's type name stands for; -1
// for a name it does not know.
int DeviceTypeOfLsscsiName(std::string_view name);

// One BIOS drive that the kernel kept under /sys/firmware/edd.
struct EddDrive {
  unsigned number = 0;  // 80h...
  std::uint32_t mbrSignature = 0;
  unsigned legacyMaxHead = 0;
  unsigned legacySectorsPerTrack = 0;
};
std::vector<EddDrive> ReadEddDrives(const std::filesystem::path& eddDir = "/sys/firmware/edd");

// The kernel's copy of a device's INQUIRY data (sysfs "inquiry").
std::vector<std::uint8_t> ReadSysfsInquiry(const PeerDevice& device);

std::string ReadFile(const std::filesystem::path& file);

}  // namespace lab
