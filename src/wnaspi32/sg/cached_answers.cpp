#include "wnaspi32/sg/cached_answers.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "scsi/commands.h"
#include "scsi/replies.h"

namespace wnaspi32::sg {
using linux_io::ListLuns;
using linux_io::ParseScsiAddress;
using linux_io::ReadBytes;
using linux_io::ReadNumber;
using linux_io::ScsiDevice;
namespace {

using scsi::GetBigEndian;

// Number of logical blocks, or nothing for a device without a medium.
std::optional<std::uint64_t> BlockCount(const CachedDeviceData& cached) {
  if (!cached.sectors || !cached.logicalBlockSize || *cached.logicalBlockSize == 0)
    return std::nullopt;
  const std::uint64_t blocks = *cached.sectors * 512 / *cached.logicalBlockSize;
  if (blocks == 0) return std::nullopt;
  return blocks;
}

std::filesystem::path VpdFile(const ScsiDevice& device, std::uint8_t page) {
  char name[16];
  std::snprintf(name, sizeof name, "vpd_pg%x", unsigned{page});
  return device.dir / name;
}

std::vector<std::uint8_t> CutToAllocation(std::span<const std::uint8_t> cdb,
                                          std::vector<std::uint8_t> data) {
  return scsi::CutTo(std::move(data), GetBigEndian(cdb.data(), scsi::InquiryAllocationLength));
}

std::optional<std::vector<std::uint8_t>> Inquiry(std::span<const std::uint8_t> cdb,
                                                 const CachedDeviceData& cached) {
  if (cdb.size() < 6 || (cdb[1] & scsi::InquiryCmdDt) != 0) return std::nullopt;
  const bool vpd = (cdb[1] & scsi::InquiryEvpd) != 0;
  if (!vpd && cdb[scsi::InquiryPageCode] != 0) return std::nullopt;
  const std::vector<std::uint8_t>& data = vpd ? cached.vpdPage.value_or(std::vector<std::uint8_t>{})
                                              : cached.inquiry;
  if (data.empty()) return std::nullopt;
  return CutToAllocation(cdb, data);
}

// The kernel keeps the pages it fetched as vpd_pg<code in hex>. Kernels
// without vpd_pg0 get a page 00h made of the pages that are there, none
// when the kernel fetched no page at all.
std::optional<std::vector<std::uint8_t>> ReadVpdPage(const ScsiDevice& device, std::uint8_t code) {
  const auto file = [&](std::uint8_t page) { return VpdFile(device, page); };
  if (auto page = ReadBytes(file(code)); page && !page->empty()) return page;
  if (code != scsi::SupportedVpdPages) return std::nullopt;
  std::vector<std::uint8_t> listed;
  for (const std::uint8_t page : {0x80, 0x83, 0x89, 0xB0, 0xB1, 0xB2}) {
    if (const auto bytes = ReadBytes(file(page)); bytes && !bytes->empty()) listed.push_back(page);
  }
  if (listed.empty()) return std::nullopt;
  listed.insert(listed.begin(), scsi::SupportedVpdPages);
  return scsi::VpdPage(static_cast<std::uint8_t>(device.type), scsi::SupportedVpdPages, listed);
}

// Logical blocks per physical block, as a power of two; 0 when sysfs does
// not say or says something that is no power of two.
std::uint8_t BlocksPerPhysicalExponent(const CachedDeviceData& cached) {
  const std::uint32_t logical = *cached.logicalBlockSize;
  if (!cached.physicalBlockSize || *cached.physicalBlockSize <= logical ||
      *cached.physicalBlockSize % logical != 0)
    return 0;
  const std::uint32_t ratio = *cached.physicalBlockSize / logical;
  return std::has_single_bit(ratio) ? static_cast<std::uint8_t>(std::countr_zero(ratio)) : 0;
}

std::optional<std::vector<std::uint8_t>> ReadCapacity(std::span<const std::uint8_t> cdb,
                                                      const CachedDeviceData& cached) {
  const auto blocks = BlockCount(cached);
  if (!blocks) return std::nullopt;
  return scsi::ReadCapacityReply(cdb, *blocks, *cached.logicalBlockSize,
                                 BlocksPerPhysicalExponent(cached));
}

template <typename Number>
std::optional<Number> ReadUnsigned(const std::filesystem::path& file) {
  const auto value = ReadNumber(file);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<Number>(*value);
}

}  // namespace

bool AsksVpdPage(std::span<const std::uint8_t> cdb) {
  return cdb.size() >= 6 && cdb[0] == scsi::Inquiry && (cdb[1] & 0x03) == scsi::InquiryEvpd;
}

std::optional<std::vector<std::uint8_t>> KernelVpdCopy(const ScsiDevice& device,
                                                       std::span<const std::uint8_t> cdb) {
  if (!AsksVpdPage(cdb)) return std::nullopt;
  auto page = ReadBytes(VpdFile(device, cdb[scsi::InquiryPageCode]));
  if (!page || page->empty()) return std::nullopt;
  return CutToAllocation(cdb, std::move(*page));
}

CachedDeviceData ReadCachedDeviceData(const ScsiDevice& device, std::span<const std::uint8_t> cdb) {
  CachedDeviceData cached;
  if (AsksVpdPage(cdb)) cached.vpdPage = ReadVpdPage(device, cdb[scsi::InquiryPageCode]);
  if (!cdb.empty() && cdb[0] == scsi::ReportLuns) {
    if (const auto address = ParseScsiAddress(device.dir.filename().string()))
      cached.targetLuns = ListLuns(device.dir.parent_path(), *address);
  }
  cached.inquiry = ReadBytes(device.dir / "inquiry").value_or(std::vector<std::uint8_t>{});
  if (!device.blockName.empty()) {
    const auto& block = device.blockDir;
    cached.sectors = ReadUnsigned<std::uint64_t>(block / "size");
    cached.logicalBlockSize = ReadUnsigned<std::uint32_t>(block / "queue/logical_block_size");
    cached.physicalBlockSize = ReadUnsigned<std::uint32_t>(block / "queue/physical_block_size");
    // sr gives a drive whose READ CAPACITY failed (no medium) a made-up size
    // of 1FFFFFh 512-byte sectors; the drive itself would answer "not ready".
    constexpr std::uint64_t SrNoMediumSectors = 0x1FFFFF;
    if (device.type == scsi::MultimediaDevice && cached.sectors == SrNoMediumSectors && cached.logicalBlockSize == 512u)
      cached.sectors.reset();
  }
  return cached;
}

std::optional<std::vector<std::uint8_t>> AnswerFromCache(std::span<const std::uint8_t> cdb,
                                                         const CachedDeviceData& cached) {
  if (cdb.empty()) return std::nullopt;
  switch (cdb[0]) {
    case scsi::Inquiry:
      return Inquiry(cdb, cached);
    case scsi::ReadCapacity10:
    case scsi::ServiceActionIn16:
      return ReadCapacity(cdb, cached);
    case scsi::ReportLuns:
      if (cached.targetLuns.empty()) return std::nullopt;
      return scsi::ReportLunsReply(cdb, cached.targetLuns);
    default:
      return std::nullopt;
  }
}

}  // namespace wnaspi32::sg
