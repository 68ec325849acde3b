#include "wnaspi32/sg/sg_backend.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "scsi/commands.h"
#include "scsi/replies.h"
#include "wnaspi32/front/adapter_fields.h"
#include "wnaspi32/linux/host_status.h"
#include "wnaspi32/sg/cached_answers.h"
#include "wnaspi32/sg/scsi_job.h"

namespace wnaspi32 {
namespace {

using linux_io::Adapter;
using linux_io::ScsiDevice;

class SgBackend final : public Backend {
 public:
  explicit SgBackend(linux_io::Reach reach) : access_(std::move(reach)) {}

  int AdapterCount() override { return adapters_.Count(); }

  std::uint8_t HostAdapterInquiry(int number, SRB& srb) override {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return SS_INVALID_HA;
    srb.HA_SCSI_ID = adapter->scsiId;
    CopyAdapterName(srb.HA_ManagerId, linux_io::ManagerName);
    CopyAdapterName(srb.HA_Identifier, adapter->procName);
    FillHaUnique(srb, TargetIdCount(linux_io::HighestTarget(access_.sysfs(), *adapter)));
    return SS_COMP;
  }

  std::optional<std::uint8_t> DeviceTypeOf(int number, const SRB& srb) override {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return std::nullopt;
    // The type alone: its sg node and block device are not looked for.
    const auto type = linux_io::FindDeviceType(access_.sysfs(), AddressOf(*adapter, srb));
    if (!type) return std::nullopt;
    return static_cast<std::uint8_t>(*type);
  }

  std::uint8_t GetDiskInfo(int number, SRB& srb) override {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return SS_INVALID_HA;
    std::string state;
    const auto device = DeviceOf(*adapter, srb, &state);
    if (!device) return SS_NO_DEVICE;
    if (Refusal(*adapter, state)) return SS_ERR;
    return access_.AnswerDiskInfo(srb, *device);
  }

  std::uint8_t ExecScsiCommand(int number, SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return SS_INVALID_HA;
    const std::vector<std::uint8_t> cdb(srb.CDBByte, srb.CDBByte + srb.SRB_CDBLen);
    // A page the kernel keeps needs neither the sg node nor the block
    // device: they are looked for when the device itself is to be asked.
    const bool keptPage = sg::AsksVpdPage(cdb);
    std::string state;
    auto device = DeviceOf(*adapter, srb, &state, !keptPage);
    if (!device) return AnswerWithoutDevice(*adapter, srb, buffer, bufferLength);
    if (const auto refusal = Refusal(*adapter, state)) {
      srb.SRB_HaStat = *refusal;
      return SS_ERR;
    }
    if (keptPage) {
      // The identity pages the kernel read from the device when it found
      // it, and keeps: the device's own bytes, without a round trip to it
      // (each costs the device's latency, and --all asks three of every
      // device).
      if (const auto page = sg::KernelVpdCopy(*device, cdb))
        return AnswerAtOnce(srb, buffer, bufferLength, *page);
      linux_io::FindLinks(*device);
    }
    sg::ScsiJob job{.devRoot = access_.roots().dev,
                    .device = *device,
                    .cdb = cdb,
                    .data = {buffer, buffer + bufferLength},
                    .senseRoom = std::min<std::uint8_t>(srb.SRB_SenseLen, sizeof srb.SenseArea)};

    // A device with commands that do not come back gets no more threads.
    const std::string slot = device->dir.string();
    if (!access_.slots().Take(slot)) {
      srb.SRB_HaStat = HASTAT_TIMEOUT;
      return SS_ERR;
    }
    // The caller's block is touched again only by Complete().
    try {
      StartCommand(srb, buffer, std::move(job), slot);
    } catch (...) {
      access_.slots().Give(slot);
      return SS_ERR;  // no thread to run it on
    }
    return SS_PENDING;
  }

 private:
  // Nobody at the LUN: an empty target, but for REPORT LUNS, which any LUN
  // of a target answers, here from the LUNs the kernel found there.
  std::uint8_t AnswerWithoutDevice(const Adapter& adapter, SRB& srb, std::uint8_t* buffer,
                                   std::uint32_t bufferLength) {
    srb.SRB_HaStat = HASTAT_SEL_TO;
    if (srb.CDBByte[0] != scsi::ReportLuns) return SS_ERR;
    const auto luns = linux_io::ListLuns(
        access_.sysfs() / "bus/scsi/devices",
        {.host = adapter.host, .channel = adapter.channel, .target = srb.SRB_Target, .lun = 0});
    if (luns.empty()) return SS_ERR;
    srb.SRB_HaStat = HASTAT_OK;
    const auto answer = scsi::ReportLunsReply(std::span(srb.CDBByte, srb.SRB_CDBLen), luns);
    if (!answer) return SS_ERR;
    return AnswerAtOnce(srb, buffer, bufferLength, *answer);
  }

  // A command answered inside the call, with `data` for the caller's buffer.
  static std::uint8_t AnswerAtOnce(SRB& srb, std::uint8_t* buffer, std::uint32_t bufferLength,
                                   const std::vector<std::uint8_t>& data) {
    srb.SRB_HaStat = HASTAT_OK;
    const std::size_t sent = std::min<std::size_t>(data.size(), bufferLength);
    if (sent > 0) std::memcpy(buffer, data.data(), sent);
    SetResidualCount(srb, sent);
    return SS_COMP;
  }

  void StartCommand(SRB& srb, std::uint8_t* buffer, sg::ScsiJob job, std::string slot) {
    access_.workers().Start([this, job = std::move(job), reply = srb, &srb, buffer,
                             slot = std::move(slot)]() mutable {
      sg::ScsiJobResult result;
      try {
        result = sg::RunScsiJob(std::move(job), access_.io());
      } catch (...) {
        // Nothing the job meets may end the program: the request fails.
        result = sg::ScsiJobResult{};
        result.status = SS_ERR;
      }
      // Free before the answer, so the caller's next command finds room.
      access_.slots().Give(slot);
      reply.SRB_HaStat = result.haStat;
      reply.SRB_TargStat = result.targStat;
      std::copy(result.sense.begin(), result.sense.end(), reply.SenseArea);
      if (result.status == SS_COMP) SetResidualCount(reply, result.data.size());
      const std::uint8_t* data = result.data.empty() ? nullptr : result.data.data();
      Complete(srb, reply, result.status, buffer, data,
               static_cast<std::uint32_t>(result.data.size()));
    });
  }

  static linux_io::ScsiAddress AddressOf(const Adapter& adapter, const SRB& srb) {
    return {.host = adapter.host,
            .channel = adapter.channel,
            .target = srb.SRB_Target,
            .lun = srb.SRB_Lun};
  }

  // Devices are looked up anew for every request: one may have gone. Its
  // state, read then, goes to `state`; without `withLinks` its sg node and
  // block device are left to linux_io::FindLinks.
  std::optional<ScsiDevice> DeviceOf(const Adapter& adapter, const SRB& srb,
                                     std::string* state = nullptr, bool withLinks = true) {
    return linux_io::FindDevice(access_.sysfs(), AddressOf(adapter, srb), state, withLinks);
  }

  // Whether the device, or the host it is on, says beforehand that a
  // command would fail or wait (offline, blocked, in error recovery): the
  // request then fails at once, and the device is not even opened. Reading
  // sysfs attributes never waits for the error handler.
  std::optional<std::uint8_t> Refusal(const Adapter& adapter, const std::string& deviceState) {
    const auto host =
        access_.sysfs() / "class/scsi_host" / ("host" + std::to_string(adapter.host)) / "state";
    return linux_io::RefusalOfStates(deviceState, linux_io::ReadText(host).value_or(""));
  }

  AdapterList<Adapter> adapters_{[this] { return linux_io::ListAdapters(access_.sysfs()); }};
  // Last, so that running commands finish before anything else goes.
  linux_io::DeviceAccess access_;
};

}  // namespace

std::unique_ptr<Backend> MakeSgBackend(linux_io::Reach reach) {
  return std::make_unique<SgBackend>(std::move(reach));
}

}  // namespace wnaspi32
