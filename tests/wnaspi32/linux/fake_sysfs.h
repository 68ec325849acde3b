// A sysfs and /dev tree in a temporary folder, shaped as the kernel shapes
// the SCSI parts of it.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "wnaspi32/linux/sysfs_tree.h"

namespace sgtest {

struct FakeDevice {
  std::string address;  // "H:C:T:L"
  int type = 0;
  std::vector<std::uint8_t> inquiry = {};
  std::string sg = {};     // "sg0"; empty: no sg node
  std::string block = {};  // "sda"; empty: no block device
  std::uint64_t sectors = 0;  // 512-byte units
  std::uint32_t logicalBlockSize = 512;
  std::uint32_t physicalBlockSize = 512;
  bool oldStyleLinks = false;  // "block:sda" instead of "block/sda"
  // The vital product data pages the kernel fetched, by page code.
  std::map<std::uint8_t, std::vector<std::uint8_t>> vpd = {};
};

// An NVMe namespace; the identifiers as sysfs shows them, empty: none.
struct FakeNamespace {
  std::uint32_t nsid = 1;
  std::uint64_t sectors = 0;  // 512-byte units
  std::uint32_t logicalBlockSize = 512;
  std::string eui = {};    // "00 11 22 33 44 55 66 77"
  std::string nguid = {};  // "00112233-4455-6677-8899-aabbccddeeff"
  std::string uuid = {};
};

struct FakeController {
  unsigned number = 0;  // nvmeN
  std::string transport = "pcie";
  std::string model = "BVLAB NVME", serial = "SERIAL0", firmware = "1.0";
  std::string state = "live";
  // With native multipath, the subsystem's number: the controller then
  // holds hidden paths nvme<S>c<N>n<K> and the subsystem the block devices
  // nvme<S>n<K>, K counting the namespaces from 1 (not their IDs).
  std::optional<unsigned> subsystem = std::nullopt;
  std::vector<FakeNamespace> namespaces = {};

  // The block device of the namespace at `index`.
  std::string BlockName(std::size_t index) const {
    if (subsystem) return "nvme" + std::to_string(*subsystem) + "n" + std::to_string(index + 1);
    return "nvme" + std::to_string(number) + "n" + std::to_string(namespaces[index].nsid);
  }
};

class FakeTree {
 public:
  FakeTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sgtree.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directories(Sys("bus/scsi/devices"));
    std::filesystem::create_directories(Sys("class/scsi_host"));
  }
  ~FakeTree() {
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }
  FakeTree(const FakeTree&) = delete;
  FakeTree& operator=(const FakeTree&) = delete;

  wnaspi32::linux_io::Roots roots() const { return {root_ / "sys", root_ / "dev"}; }
  std::string DevNode(const std::string& name) const { return (root_ / "dev" / name).string(); }

  // `controllerDriver`: the driver bound to the PCI function the host sits on.
  void AddHost(unsigned host, const std::string& procName,
               const std::optional<std::string>& thisId = std::nullopt,
               const std::string& controllerDriver = {}) {
    const std::string name = "host" + std::to_string(host);
    const auto dir = Sys("class/scsi_host/" + name);
    Write(dir / "proc_name", procName + "\n");
    if (thisId) Write(dir / "this_id", *thisId + "\n");
    if (!controllerDriver.empty()) {
      const auto function = Sys("devices/pci0000:00/0000:00:0" + std::to_string(host) + ".0");
      std::filesystem::create_directories(function / name);
      std::filesystem::create_directories(Sys("bus/pci/drivers/" + controllerDriver));
      std::filesystem::create_directory_symlink(function / name, dir / "device");
      std::filesystem::create_directory_symlink(Sys("bus/pci/drivers/" + controllerDriver),
                                                function / "driver");
    }
    std::filesystem::create_directories(Sys("bus/scsi/devices/host" + std::to_string(host)));
  }

  void AddDevice(const FakeDevice& d) {
    const auto dir = Sys("bus/scsi/devices/" + d.address);
    Write(dir / "type", std::to_string(d.type) + "\n");
    Write(dir / "inquiry", std::string(d.inquiry.begin(), d.inquiry.end()));
    for (const auto& [code, page] : d.vpd) {
      char name[16];
      std::snprintf(name, sizeof name, "vpd_pg%x", unsigned{code});
      Write(dir / name, std::string(page.begin(), page.end()));
    }
    const auto linked = [&](const std::string& kind, const std::string& name) {
      return d.oldStyleLinks ? dir / (kind + ":" + name) : dir / kind / name;
    };
    if (!d.sg.empty()) std::filesystem::create_directories(linked("scsi_generic", d.sg));
    if (d.block.empty()) return;
    const auto block = linked("block", d.block);
    Write(block / "size", std::to_string(d.sectors) + "\n");
    Write(block / "queue/logical_block_size", std::to_string(d.logicalBlockSize) + "\n");
    Write(block / "queue/physical_block_size", std::to_string(d.physicalBlockSize) + "\n");
  }

  void RemoveDevice(const std::string& address) {
    std::filesystem::remove_all(Sys("bus/scsi/devices/" + address));
  }

  // Puts a folder, or with `text` a file holding it, where the device's
  // entry `relative` was.
  void ReplaceEntry(const std::string& address, const std::string& relative,
                    const std::optional<std::string>& text = std::nullopt) {
    const auto path = Sys("bus/scsi/devices/" + address + "/" + relative);
    std::filesystem::remove_all(path);
    if (text)
      Write(path, *text);
    else
      std::filesystem::create_directories(path);
  }

  void AddController(const FakeController& c) {
    const auto dir = ControllerDir(c.number);
    Write(dir / "transport", c.transport + "\n");
    // The kernel shows the Identify fields with their padding blanks.
    const auto padded = [](const std::string& text, std::size_t width) {
      return text + std::string(width - std::min(width, text.size()), ' ') + "\n";
    };
    Write(dir / "model", padded(c.model, 40));
    Write(dir / "serial", padded(c.serial, 20));
    Write(dir / "firmware_rev", padded(c.firmware, 8));
    Write(dir / "state", c.state + "\n");
    const auto subsystem =
        Sys("class/nvme-subsystem/nvme-subsys" + std::to_string(c.subsystem.value_or(0)));
    if (c.subsystem)
      std::filesystem::create_directories(subsystem / ("nvme" + std::to_string(c.number)));
    for (std::size_t i = 0; i < c.namespaces.size(); ++i) {
      const FakeNamespace& ns = c.namespaces[i];
      const std::string block = c.BlockName(i);
      std::filesystem::path attributes = dir / block;
      if (c.subsystem) {
        const auto path = dir / ("nvme" + std::to_string(*c.subsystem) + "c" +
                                 std::to_string(c.number) + "n" + std::to_string(i + 1));
        Write(path / "nsid", std::to_string(ns.nsid) + "\n");
        attributes = subsystem / block;
      }
      Write(attributes / "nsid", std::to_string(ns.nsid) + "\n");
      Write(attributes / "size", std::to_string(ns.sectors) + "\n");
      Write(attributes / "queue/logical_block_size", std::to_string(ns.logicalBlockSize) + "\n");
      const std::pair<const char*, std::string> identifiers[] = {
          {"eui", ns.eui}, {"nguid", ns.nguid}, {"uuid", ns.uuid}};
      for (const auto& [name, text] : identifiers)
        if (!text.empty()) Write(attributes / name, text + "\n");
    }
  }

  void RemoveController(unsigned number) { std::filesystem::remove_all(ControllerDir(number)); }
  void SetControllerState(unsigned number, const std::string& state) {
    Write(ControllerDir(number) / "state", state + "\n");
  }

  void AddEdd(const std::string& folder, const std::string& signature, int maxHead, int sectors) {
    const auto dir = Sys("firmware/edd/" + folder);
    Write(dir / "mbr_signature", signature + "\n");
    Write(dir / "legacy_max_head", std::to_string(maxHead) + "\n");
    Write(dir / "legacy_sectors_per_track", std::to_string(sectors) + "\n");
  }

 private:
  std::filesystem::path Sys(const std::string& relative) const { return root_ / "sys" / relative; }
  std::filesystem::path ControllerDir(unsigned number) const {
    return Sys("class/nvme/nvme" + std::to_string(number));
  }
  static void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
  std::filesystem::path root_;
};

// Standard INQUIRY data of `length` bytes, names padded with blanks.
inline std::vector<std::uint8_t> MakeInquiry(int type, const std::string& vendor,
                                             const std::string& product,
                                             const std::string& revision, std::size_t length = 36) {
  std::vector<std::uint8_t> data(std::max<std::size_t>(length, 36), ' ');
  std::fill(data.begin(), data.begin() + 8, 0);
  data[0] = static_cast<std::uint8_t>(type);
  data[2] = 0x05;
  data[3] = 0x02;
  data[4] = static_cast<std::uint8_t>(data.size() - 5);
  std::copy(vendor.begin(), vendor.end(), data.begin() + 8);
  std::copy(product.begin(), product.end(), data.begin() + 16);
  std::copy(revision.begin(), revision.end(), data.begin() + 32);
  data.resize(length);
  return data;
}

}  // namespace sgtest
