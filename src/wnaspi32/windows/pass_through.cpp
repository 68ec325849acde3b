#include "wnaspi32/windows/pass_through.h"

#include <algorithm>
#include <cstring>

#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32::windows {
namespace {

constexpr std::size_t RoundUp8(std::size_t n) { return (n + 7) / 8 * 8; }
constexpr std::size_t SenseOffset = RoundUp8(sizeof(ScsiPassThrough));
constexpr std::size_t DataOffset = SenseOffset + RoundUp8(PassThroughSenseRoom);

std::span<const std::uint8_t> Slice(Bytes bytes, std::size_t offset, std::size_t length) {
  if (offset >= bytes.size()) return {};
  return bytes.subspan(offset, std::min(length, bytes.size() - offset));
}

}  // namespace

std::uint32_t PassThroughLength(const PassThroughRequest& request) {
  return static_cast<std::uint32_t>(DataOffset + request.dataLength);
}

std::vector<std::uint8_t> BuildPassThrough(const PassThroughRequest& request) {
  ScsiPassThrough spt{};
  spt.Length = sizeof spt;
  spt.PathId = request.path;
  spt.TargetId = request.target;
  spt.Lun = request.lun;
  spt.CdbLength = static_cast<std::uint8_t>(std::min(request.cdb.size(), sizeof spt.Cdb));
  std::copy_n(request.cdb.begin(), spt.CdbLength, spt.Cdb);
  spt.SenseInfoLength = PassThroughSenseRoom;
  spt.SenseInfoOffset = SenseOffset;
  spt.DataIn = request.dataLength > 0 ? ScsiIoctlDataIn : ScsiIoctlDataUnspecified;
  spt.DataTransferLength = request.dataLength;
  spt.DataBufferOffset = DataOffset;
  spt.TimeOutValue = PassThroughTimeOutSeconds;
  std::vector<std::uint8_t> buffer(PassThroughLength(request), 0);
  std::memcpy(buffer.data(), &spt, sizeof spt);
  return buffer;
}

std::optional<PassThroughReply> ParsePassThrough(Bytes output, std::uint32_t dataLength) {
  if (output.size() < sizeof(ScsiPassThrough)) return std::nullopt;
  ScsiPassThrough spt;
  std::memcpy(&spt, output.data(), sizeof spt);
  const auto sense =
      Slice(output, SenseOffset, std::min(spt.SenseInfoLength, PassThroughSenseRoom));
  const auto data = Slice(output, DataOffset, std::min(spt.DataTransferLength, dataLength));
  return PassThroughReply{.scsiStatus = spt.ScsiStatus,
                          .sense = {sense.begin(), sense.end()},
                          .data = {data.begin(), data.end()}};
}

}  // namespace wnaspi32::windows
