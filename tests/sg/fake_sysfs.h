// A sysfs and /dev tree in a temporary folder, shaped as the kernel shapes
// the SCSI parts of it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sg/sysfs_tree.h"

namespace sgtest {

struct FakeDevice {
  std::string address;  // "H:C:T:L"
  int type = 0;
  std::vector<std::uint8_t> inquiry = {};
  std::string sg = {};  // "sg0"; empty: no sg node
  std::string block = {};  // "sda"; empty: no block device
  std::uint64_t sectors = 0;  // 512-byte units
  std::uint32_t logicalBlockSize = 512;
  std::uint32_t physicalBlockSize = 512;
  bool oldStyleLinks = false;  // "block:sda" instead of "block/sda"
};

class FakeTree {
 public:
  FakeTree();
  ~FakeTree();
  FakeTree(const FakeTree&) = delete;
  FakeTree& operator=(const FakeTree&) = delete;

  wnaspi32::sg::Roots roots() const { return {root_ / "sys", root_ / "dev"}; }
  std::string DevNode(const std::string& name) const { return (root_ / "dev" / name).string(); }

  void AddHost(unsigned host, const std::string& procName,
               const std::optional<std::string>& thisId = std::nullopt);
  void AddDevice(const FakeDevice& device);
  void RemoveDevice(const std::string& address);
  void AddEdd(const std::string& folder, const std::string& mbrSignature, int maxHead,
              int sectorsPerTrack);

 private:
  void Write(const std::filesystem::path& file, const std::string& text);
  std::filesystem::path root_;
};

// Standard INQUIRY data of `length` bytes.
std::vector<std::uint8_t> MakeInquiry(int type, const std::string& vendor,
                                      const std::string& product, const std::string& revision,
                                      std::size_t length = 36);

}  // namespace sgtest
