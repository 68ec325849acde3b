// The simulated bus as read from a bus file: plain records, and the one
// lookup on them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wnaspi32::sim {

// How one kind of request ends: its final SRB_Status and how long it stays
// pending first. A delay of -1 (or a status of SS_PENDING) means never.
struct Outcome {
  std::uint8_t status = 1;
  int delayMs = 0;
};

struct Capacity {
  std::uint64_t lastLba = 0;
  std::uint32_t blockLength = 0;
};

// The INT 13h view of a disk, as get-disk-information answers it.
struct DiskInfo {
  std::uint8_t driveFlags = 0;
  std::uint8_t int13Drive = 0;
  std::uint8_t heads = 0;
  std::uint8_t sectors = 0;
};

// One logical unit: an entry of an adapter's targets.
struct Target {
  std::uint8_t id = 0;
  std::uint8_t lun = 0;
  std::uint8_t deviceType = 0x1F;
  // Every byte the device returns to INQUIRY; none when it has no data.
  std::optional<std::vector<std::uint8_t>> inquiry;
  // The vital product data pages it returns, by page code, byte for byte.
  std::map<std::uint8_t, std::vector<std::uint8_t>> vpdPages;
  std::optional<Capacity> capacity;
  DiskInfo disk;
  Outcome devType, diskInfo, inquiryCommand, readCapacity;
};

constexpr std::size_t AdapterNameWidth = 16;

struct Adapter {
  std::uint8_t scsiId = 7;
  std::uint8_t haCount = 0;
  // Exactly AdapterNameWidth bytes each, NUL padded.
  std::string managerId;
  std::string identifier;
  Outcome inquiry;
  // How many target IDs its inquiry says it has; by default one more than
  // the highest in use, at least 8.
  std::optional<std::uint8_t> targetIds;
  std::vector<Target> targets;
};

struct Bus {
  std::uint32_t supportInfo = 0;
  std::vector<Adapter> adapters;
};

// The name the simulated layer gives itself when a bus file names no manager.
inline constexpr char SimManagerName[] = "ASPI for WIN32";

// The logical unit `lun` of target `id`, or null when it is not there.
inline const Target* FindUnit(const Adapter& adapter, std::uint8_t id, std::uint8_t lun) {
  for (const Target& target : adapter.targets)
    if (target.id == id && target.lun == lun) return &target;
  return nullptr;
}

// Whether any logical unit answers at target `id`.
inline bool HasTarget(const Adapter& adapter, std::uint8_t id) {
  for (const Target& target : adapter.targets)
    if (target.id == id) return true;
  return false;
}

}  // namespace wnaspi32::sim
