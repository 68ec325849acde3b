// The Linux backend's reading of sysfs on arbitrary attribute contents: a
// fake sysfs root with one host and one disk whose files the input fills,
// read as the backend reads it, with the answers it builds from the cache.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_input.h"
#include "sg/cached_answers.h"
#include "sg/sysfs_tree.h"

namespace {

namespace fs = std::filesystem;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const fs::path& root = Root();
  for (const char* file : Files) std::ofstream(root / file, std::ios::binary) << input.Text();
  const std::uint8_t allocation = input.Byte();

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
