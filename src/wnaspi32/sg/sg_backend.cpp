#include "sg/sg_backend.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "adapter_fields.h"
#include "scsi/commands.h"
#include "sg/cached_answers.h"
#include "sg/data_direction.h"
#include "sg/disk_info.h"
#include "sg/host_status.h"
#include "sg/scsi_job.h"
#include "sg/workers.h"

namespace wnaspi32 {
namespace {

using sg::Adapter;
using sg::ScsiDevice;

class SgBackend final : public Backend {
 public:
  SgBackend(sg::Roots roots, std::shared_ptr<sg::DeviceIo> io,
            std::chrono::milliseconds diskInfoWait)
      : roots_(std::move(roots)), io_(std::move(io)), diskInfoWait_(diskInfoWait) {}

  std::uint32_t SupportInfo() override { return SupportInfoFor(Adapters().size()); }

  int AdapterCount() override { return static_cast<int>(Adapters().size()); }

  std::uint8_t HostAdapterInquiry(SRB& srb) override {
    const Adapter* adapter = AdapterOf(srb);
    if (adapter == nullptr) return SS_INVALID_HA;
    srb.HA_Count = static_cast<std::uint8_t>(Adapters().size());
    srb.HA_SCSI_ID = adapter->scsiId;
    CopyAdapterName(srb.HA_ManagerId, SgManagerName);
    CopyAdapterName(srb.HA_Identifier, adapter->procName);
    FillHaUnique(srb, TargetIdCount(sg::HighestTarget(roots_.sysfs, *adapter)));
    return SS_COMP;
  }

  std::uint8_t GetDeviceType(SRB& srb) override {
    if (AdapterOf(srb) == nullptr) return SS_INVALID_HA;
    // The type alone: its sg node and block device are not looked for.
    const auto type = sg::FindDeviceType(roots_.sysfs, AddressOf(srb));
    if (!type) return SS_NO_DEVICE;
    srb.SRB_DeviceType = static_cast<std::uint8_t>(*type);
    return SS_COMP;
  }

  std::uint8_t GetDiskInfo(SRB& srb) override {
    if (AdapterOf(srb) == nullptr) return SS_INVALID_HA;
    std::string state;
    const auto device = DeviceOf(srb, &state);
    if (!device) return SS_NO_DEVICE;
    if (Refusal(srb, state)) return SS_ERR;
    return sg::AnswerDiskInfo(srb, roots_, *device, io_, workers_, slots_, diskInfoWait_);
  }

  std::uint8_t ExecScsiCommand(SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    if (AdapterOf(srb) == nullptr) return SS_INVALID_HA;
    // Data-in (direction bits 0 or SRB_DIR_IN) only.
    if (srb.SRB_Flags & SRB_DIR_OUT) return SS_ERR;
    if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte) return SS_ERR;
    if (buffer == nullptr) bufferLength = 0;
    const std::vector<std::uint8_t> cdb(srb.CDBByte, srb.CDBByte + srb.SRB_CDBLen);
    // A page the kernel keeps needs neither the sg node nor the block
    // device: they are looked for when the device itself is to be asked.
    const bool keptPage = sg::AsksVpdPage(cdb);
    std::string state;
    auto device = sg::FindDevice(roots_.sysfs, AddressOf(srb), &state, !keptPage);
    if (!device) return AnswerWithoutDevice(srb, buffer, bufferLength);
    if (const auto refusal = Refusal(srb, state)) {
      srb.SRB_HaStat = *refusal;
      return SS_ERR;
    }
    if (sg::MovesDataToDevice(cdb, device->type)) return SS_ERR;
    if (keptPage) {
      // The identity pages the kernel read from the device when it found
      // it, and keeps: the device's own bytes, without a round trip to it
      // (each costs the device's latency, and --all asks three of every
      // device).
      if (const auto page = sg::KernelVpdCopy(*device, cdb))
        return AnswerAtOnce(srb, buffer, bufferLength, *page);
      sg::FindLinks(*device);
    }
    sg::ScsiJob job{.devRoot = roots_.dev,
                    .device = *device,
                    .cdb = cdb,
                    .data = {buffer, buffer + bufferLength},
                    .senseRoom = std::min<std::uint8_t>(srb.SRB_SenseLen, sizeof srb.SenseArea)};

    // A device with commands that do not come back gets no more threads.
    const std::string slot = device->dir.string();
    if (!slots_.Take(slot)) {
      srb.SRB_HaStat = sg::HaStatWaitTimeout;
      return SS_ERR;
    }
    // The caller's block is touched again only by Complete().
    try {
      StartCommand(srb, buffer, std::move(job), slot);
    } catch (...) {
      slots_.Give(slot);
      return SS_ERR;  // no thread to run it on
    }
    return SS_PENDING;
  }

 private:
  // Nobody at the LUN: an empty target, but for REPORT LUNS, which any LUN
  // of a target answers, here from the LUNs the kernel found there.
  std::uint8_t AnswerWithoutDevice(SRB& srb, std::uint8_t* buffer, std::uint32_t bufferLength) {
    srb.SRB_HaStat = HASTAT_SEL_TO;
    if (srb.CDBByte[0] != scsi::ReportLuns) return SS_ERR;
    const Adapter& adapter = *AdapterOf(srb);
    const auto luns = sg::ListLuns(
        roots_.sysfs / "bus/scsi/devices",
        {.host = adapter.host, .channel = adapter.channel, .target = srb.SRB_Target, .lun = 0});
    if (luns.empty()) return SS_ERR;
    srb.SRB_HaStat = HASTAT_OK;
    const auto answer = sg::LunListAnswer(std::span(srb.CDBByte, srb.SRB_CDBLen), luns);
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
    workers_.Start([this, job = std::move(job), reply = srb, &srb, buffer,
                    slot = std::move(slot)]() mutable {
      sg::ScsiJobResult result;
      try {
        result = sg::RunScsiJob(std::move(job), *io_);
      } catch (...) {
        // Nothing the job meets may end the program: the request fails.
        result = sg::ScsiJobResult{};
        result.status = SS_ERR;
      }
      // Free before the answer, so the caller's next command finds room.
      slots_.Give(slot);
      reply.SRB_HaStat = result.haStat;
      reply.SRB_TargStat = result.targStat;
      std::copy(result.sense.begin(), result.sense.end(), reply.SenseArea);
      if (result.status == SS_COMP) SetResidualCount(reply, result.data.size());
      const std::uint8_t* data = result.data.empty() ? nullptr : result.data.data();
      Complete(srb, reply, result.status, buffer, data,
               static_cast<std::uint32_t>(result.data.size()));
    });
  }

  // The adapters are surveyed once, at first use: the program numbers them
  // once and keeps those numbers for the whole run.
  const std::vector<Adapter>& Adapters() {
    std::call_once(surveyed_, [this] { adapters_ = sg::ListAdapters(roots_.sysfs); });
    return adapters_;
  }

  const Adapter* AdapterOf(const SRB& srb) {
    const auto& adapters = Adapters();
    return srb.SRB_HaId < adapters.size() ? &adapters[srb.SRB_HaId] : nullptr;
  }

  sg::ScsiAddress AddressOf(const SRB& srb) {
    const Adapter& adapter = *AdapterOf(srb);
    return {.host = adapter.host, .channel = adapter.channel, .target = srb.SRB_Target, .lun = srb.SRB_Lun};
  }

  // Devices are looked up anew for every request: one may have gone. Its
  // state, read then, goes to `state`.
  std::optional<ScsiDevice> DeviceOf(const SRB& srb, std::string* state = nullptr) {
    return sg::FindDevice(roots_.sysfs, AddressOf(srb), state);
  }

  // Whether the device, or the host it is on, says beforehand that a
  // command would fail or wait (offline, blocked, in error recovery): the
  // request then fails at once, and the device is not even opened. Reading
  // sysfs attributes never waits for the error handler.
  std::optional<std::uint8_t> Refusal(const SRB& srb, const std::string& deviceState) {
    const auto host = roots_.sysfs / "class/scsi_host" /
                      ("host" + std::to_string(AdapterOf(srb)->host)) / "state";
    return sg::RefusalOfStates(deviceState, sg::ReadText(host).value_or(""));
  }

  const sg::Roots roots_;
  const std::shared_ptr<sg::DeviceIo> io_;
  const std::chrono::milliseconds diskInfoWait_;
  std::once_flag surveyed_;
  std::vector<Adapter> adapters_;
  sg::CommandSlots slots_{sg::CommandsPerDevice};
  // Last, so that running commands finish before anything else goes.
  sg::Workers workers_;
};

}  // namespace

std::unique_ptr<Backend> MakeSgBackend(sg::Roots roots, std::shared_ptr<sg::DeviceIo> io,
                                       std::chrono::milliseconds diskInfoWait) {
  return std::make_unique<SgBackend>(std::move(roots), std::move(io), diskInfoWait);
}

}  // namespace wnaspi32
