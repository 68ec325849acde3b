#include "fake_sysfs.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

namespace sgtest {
namespace fs = std::filesystem;

FakeTree::FakeTree() {
  std::string pattern = (fs::temp_directory_path() / "sgtree.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  fs::create_directories(root_ / "sys/bus/scsi/devices");
  fs::create_directories(root_ / "sys/class/scsi_host");
  fs::create_directories(root_ / "dev");
}

FakeTree::~FakeTree() {
  std::error_code error;
  fs::remove_all(root_, error);
}

void FakeTree::Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void FakeTree::AddHost(unsigned host, const std::string& procName,
                       const std::optional<std::string>& thisId) {
  const fs::path dir = root_ / "sys/class/scsi_host" / ("host" + std::to_string(host));
  Write(dir / "proc_name", procName + "\n");
  if (thisId) Write(dir / "this_id", *thisId + "\n");
  // The bus lists the host beside its devices.
  fs::create_directories(root_ / "sys/bus/scsi/devices" / ("host" + std::to_string(host)));
}

void FakeTree::AddDevice(const FakeDevice& d) {
  const fs::path dir = root_ / "sys/bus/scsi/devices" / d.address;
  Write(dir / "type", std::to_string(d.type) + "\n");
  Write(dir / "inquiry", std::string(d.inquiry.begin(), d.inquiry.end()));
  if (!d.sg.empty())
    fs::create_directories(d.oldStyleLinks ? dir / ("scsi_generic:" + d.sg)
                                           : dir / "scsi_generic" / d.sg);
  if (!d.block.empty()) {
    const fs::path block = d.oldStyleLinks ? dir / ("block:" + d.block) : dir / "block" / d.block;
    Write(block / "size", std::to_string(d.sectors) + "\n");
    Write(block / "queue/logical_block_size", std::to_string(d.logicalBlockSize) + "\n");
    Write(block / "queue/physical_block_size", std::to_string(d.physicalBlockSize) + "\n");
  }
}

void FakeTree::RemoveDevice(const std::string& address) {
  fs::remove_all(root_ / "sys/bus/scsi/devices" / address);
}

void FakeTree::AddEdd(const std::string& folder, const std::string& mbrSignature, int maxHead,
                      int sectorsPerTrack) {
  const fs::path dir = root_ / "sys/firmware/edd" / folder;
  Write(dir / "mbr_signature", mbrSignature + "\n");
  Write(dir / "legacy_max_head", std::to_string(maxHead) + "\n");
  Write(dir / "legacy_sectors_per_track", std::to_string(sectorsPerTrack) + "\n");
}

std::vector<std::uint8_t> MakeInquiry(int type, const std::string& vendor,
                                      const std::string& product, const std::string& revision,
                                      std::size_t length) {
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
