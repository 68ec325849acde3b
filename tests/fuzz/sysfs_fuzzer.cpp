// The Linux backend's reading of sysfs on arbitrary attribute contents: a
// fake sysfs root with one host and one disk, and one NVMe controller with a
// namespace both under it and, through native multipath, under its
// subsystem, whose files the input fills, read as the backends read them,
// with the answers they build from them.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_input.h"
#include "wnaspi32/nvme/nvme_tree.h"
#include "wnaspi32/nvme/scsi_translation.h"
#include "wnaspi32/sg/cached_answers.h"
#include "wnaspi32/linux/sysfs_tree.h"

namespace {

namespace fs = std::filesystem;
using namespace wnaspi32::linux_io;
using namespace wnaspi32::sg;

// The fake root, made once and removed when the fuzzer ends.
struct FakeRoot {
  fs::path path;
  FakeRoot() {
    // In memory where there is room, since every input rewrites the tree.
    std::error_code error;
    const fs::path base = fs::is_directory("/dev/shm", error) ? "/dev/shm" : fs::temp_directory_path();
    std::string pattern = (base / "sysfs_fuzzer.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
    fs::create_directories(path / "class/scsi_host/host0");
    fs::create_directories(path / "bus/scsi/devices/0:0:0:0/block/sda/queue");
    fs::create_directories(path / "bus/scsi/devices/0:0:0:0/scsi_generic/sg0");
    fs::create_directories(path / "class/nvme/nvme0/nvme0n1/queue");
    fs::create_directories(path / "class/nvme/nvme0/nvme1c0n2");
    fs::create_directories(path / "class/nvme-subsystem/nvme-subsys1/nvme0");
    fs::create_directories(path / "class/nvme-subsystem/nvme-subsys1/nvme1n2/queue");
  }
  ~FakeRoot() {
    std::error_code error;
    fs::remove_all(path, error);
  }
};

const fs::path& Root() {
  static const FakeRoot root;
  return root.path;
}

// The attribute files the input fills, in this order.
const char* const Files[] = {
    "class/scsi_host/host0/this_id",
    "class/scsi_host/host0/proc_name",
    "bus/scsi/devices/0:0:0:0/type",
    "bus/scsi/devices/0:0:0:0/inquiry",
    "bus/scsi/devices/0:0:0:0/block/sda/size",
    "bus/scsi/devices/0:0:0:0/block/sda/queue/logical_block_size",
    "bus/scsi/devices/0:0:0:0/block/sda/queue/physical_block_size",
};

// The NVMe controller's files, then each namespace's, in this order; the
// path's nsid is the block device's under the subsystem.
const char* const ControllerFiles[] = {"transport", "state", "model", "serial", "firmware_rev"};
const char* const NamespaceFiles[] = {"nsid", "size", "queue/logical_block_size",
                                      "eui", "nguid", "uuid"};
const char* const NamespaceDirs[] = {"class/nvme/nvme0/nvme0n1",
                                     "class/nvme-subsystem/nvme-subsys1/nvme1n2"};

// Every answer stays within its allocation length, and a whole page says
// how long it is.
void CheckNvmeAnswers(const wnaspi32::nvme::NamespaceFacts& facts, std::uint8_t allocation) {
  using wnaspi32::nvme::Translate;
  const std::uint8_t pages[] = {0x00, 0x80, 0x83};
  for (const std::uint8_t page : pages) {
    const std::uint8_t cdb[6] = {0x12, 1, page, 0, allocation, 0};
    const auto answer = Translate(cdb, facts);
    if (!answer || !answer->good || answer->data.size() > allocation) std::abort();
    const std::uint8_t whole[6] = {0x12, 1, page, 0xFF, 0xFF, 0};
    const auto wholePage = Translate(whole, facts)->data;
    if (wholePage.size() < 4 || wholePage.size() != 4u + (wholePage[2] << 8 | wholePage[3]))
      std::abort();
    // The designators of page 83h fill it exactly.
    std::size_t at = 4;
    while (page == 0x83 && at + 4 <= wholePage.size()) at += 4u + wholePage[at + 3];
    if (page == 0x83 && at != wholePage.size()) std::abort();
  }
  const std::uint8_t inquiry[6] = {0x12, 0, 0, 0, allocation, 0};
  if (Translate(inquiry, facts)->data.size() != std::min<std::size_t>(36, allocation)) std::abort();
  const std::uint8_t readCapacity10[10] = {0x25};
  if (const auto answer = Translate(readCapacity10, facts); answer && answer->data.size() != 8)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const fs::path& root = Root();
  for (const char* file : Files) std::ofstream(root / file, std::ios::binary) << input.Text();
  const std::uint8_t allocation = input.Byte();

  std::string nvmeTexts[std::size(ControllerFiles) + std::size(NamespaceFiles)];
  for (std::string& text : nvmeTexts) text = input.Text();
  for (std::size_t i = 0; i < std::size(ControllerFiles); ++i)
    std::ofstream(root / "class/nvme/nvme0" / ControllerFiles[i], std::ios::binary) << nvmeTexts[i];
  for (const char* dir : NamespaceDirs)
    for (std::size_t i = 0; i < std::size(NamespaceFiles); ++i)
      std::ofstream(root / dir / NamespaceFiles[i], std::ios::binary)
          << nvmeTexts[std::size(ControllerFiles) + i];
  std::ofstream(root / "class/nvme/nvme0/nvme1c0n2/nsid", std::ios::binary)
      << nvmeTexts[std::size(ControllerFiles)];
  const auto controllers = wnaspi32::nvme::ListControllers(root, 255);
  if (controllers.size() != 1) std::abort();
  for (const auto& ns : wnaspi32::nvme::ListNamespaces(root, 0)) {
    if (ns.nsid == 0) std::abort();
    if (const auto facts =
            wnaspi32::nvme::ReadNamespaceFacts(wnaspi32::nvme::ControllerDir(root, 0), ns))
      CheckNvmeAnswers(*facts, allocation);
  }

  const auto adapters = ListAdapters(root);
  if (adapters.size() != 1) std::abort();
  ReadNumber(root / Files[0], 0);
  const auto device = FindDevice(root, {.host = 0, .channel = 0, .target = 0, .lun = 0});
  if (!device) return 0;
  const CachedDeviceData cached = ReadCachedDeviceData(*device);
  const std::uint8_t inquiry[6] = {0x12, 0, 0, 0, allocation, 0};
  const std::uint8_t readCapacity10[10] = {0x25};
  const std::uint8_t readCapacity16[16] = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};
  if (const auto answer = AnswerFromCache(inquiry, cached); answer && answer->size() > allocation)
    std::abort();
  if (const auto answer = AnswerFromCache(readCapacity10, cached); answer && answer->size() != 8)
    std::abort();
  if (const auto answer = AnswerFromCache(readCapacity16, cached); answer && answer->size() > 32)
    std::abort();
  return 0;
}
