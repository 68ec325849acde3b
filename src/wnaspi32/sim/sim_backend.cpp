// The simulated bus: answers every request from a bus file, as a real
// layer would, completing late ones from threads of its own.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "wnaspi32/front/adapter_fields.h"
#include "wnaspi32/front/backend.h"
#include "wnaspi32/sim/bus_file.h"
#include "wnaspi32/sim/scsi_device.h"

namespace wnaspi32 {
namespace {

using sim::Bus;
using sim::Outcome;

// Publishes `reply` and `data` with `status` after `delayMs`, or at once.
// A late answer runs on a detached thread that owns copies of everything it
// writes, so requests to different devices never wait for each other and a
// hung one holds nobody up.
std::uint8_t Finish(SRB& srb, const SRB& reply, std::uint8_t status, int delayMs,
                    std::uint8_t* buffer = nullptr, std::vector<std::uint8_t> data = {}) {
  if (delayMs < 0 || status == SS_PENDING) return SS_PENDING;  // never completes
  if (buffer == nullptr) data.clear();
  if (delayMs > 0) {
    try {
      // A copy: a thread that cannot be had leaves `data` for the answer now.
      std::thread([&srb, reply, status, delayMs, buffer, data] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        Complete(srb, reply, status, buffer, data.data(), static_cast<std::uint32_t>(data.size()));
      }).detach();
      return SS_PENDING;
    } catch (const std::system_error&) {
      // No thread to be had: answer now rather than never.
    }
  }
  const std::uint8_t pending = srb.SRB_Status;
  std::memcpy(&srb, &reply, sizeof srb);
  srb.SRB_Status = pending;  // the front writes the final status
  if (buffer != nullptr && !data.empty()) std::memcpy(buffer, data.data(), data.size());
  return status;
}

class SimBackend final : public Backend {
 public:
  explicit SimBackend(std::optional<Bus> bus) : usable_(bus.has_value()) {
    if (bus) bus_ = std::move(*bus);
  }

  std::uint32_t SupportInfo() override {
    return usable_ ? bus_.supportInfo : std::uint32_t{SS_FAILED_INIT} << 8;
  }
  int AdapterCount() override { return static_cast<int>(bus_.adapters.size()); }

  std::uint8_t HostAdapterInquiry(int number, SRB& srb) override {
    const sim::Adapter& adapter = bus_.adapters.at(static_cast<std::size_t>(number));
    SRB reply = srb;
    if (adapter.inquiry.status == SS_COMP) {
      reply.HA_Count = adapter.haCount;
      reply.HA_SCSI_ID = adapter.scsiId;
      std::memcpy(reply.HA_ManagerId, adapter.managerId.data(), sizeof reply.HA_ManagerId);
      std::memcpy(reply.HA_Identifier, adapter.identifier.data(), sizeof reply.HA_Identifier);
      unsigned highest = 0;
      for (const sim::Target& target : adapter.targets) highest = std::max<unsigned>(highest, target.id);
      FillHaUnique(reply, adapter.targetIds.value_or(TargetIdCount(highest)));
    }
    return Finish(srb, reply, adapter.inquiry.status, adapter.inquiry.delayMs);
  }

  std::uint8_t GetDeviceType(int adapter, SRB& srb) override {
    const sim::Target* target = FindUnit(adapter, srb);
    if (target == nullptr) return SS_NO_DEVICE;
    SRB reply = srb;
    if (target->devType.status == SS_COMP) reply.SRB_DeviceType = target->deviceType;
    return Finish(srb, reply, target->devType.status, target->devType.delayMs);
  }

  std::uint8_t GetDiskInfo(int adapter, SRB& srb) override {
    const sim::Target* target = FindUnit(adapter, srb);
    if (target == nullptr) return SS_NO_DEVICE;
    SRB reply = srb;
    if (target->diskInfo.status == SS_COMP) {
      reply.SRB_DriveFlags = target->disk.driveFlags;
      reply.SRB_Int13HDriveInfo = target->disk.int13Drive;
      reply.SRB_Heads = target->disk.heads;
      reply.SRB_Sectors = target->disk.sectors;
    }
    return Finish(srb, reply, target->diskInfo.status, target->diskInfo.delayMs);
  }

  std::uint8_t ExecScsiCommand(int number, SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    const sim::Adapter& adapter = bus_.adapters.at(static_cast<std::size_t>(number));
    const sim::ScsiAnswer answer = sim::AnswerScsiCommand(
        adapter, srb.SRB_Target, srb.SRB_Lun, srb.CDBByte, bufferLength);
    SRB reply = srb;
    if (answer.status == SS_COMP) SetResidualCount(reply, answer.data.size());
    if (answer.replies) {
      reply.SRB_HaStat = answer.haStat;
      reply.SRB_TargStat = answer.targStat;
      const std::size_t senseBytes =
          std::min<std::size_t>({answer.sense.size(), srb.SRB_SenseLen, sizeof srb.SenseArea});
      if (senseBytes > 0) std::memcpy(reply.SenseArea, answer.sense.data(), senseBytes);
    }
    return Finish(srb, reply, answer.status, answer.delayMs, buffer, answer.data);
  }

  std::optional<std::uint8_t> DeviceTypeOf(int adapter, const SRB& srb) override {
    const sim::Target* target = FindUnit(adapter, srb);
    if (target == nullptr) return std::nullopt;
    return target->deviceType;
  }

 private:
  // The logical unit the request names, or null.
  const sim::Target* FindUnit(int adapter, const SRB& srb) const {
    return sim::FindUnit(bus_.adapters.at(static_cast<std::size_t>(adapter)), srb.SRB_Target,
                         srb.SRB_Lun);
  }

  bool usable_;
  Bus bus_;
};

}  // namespace

std::unique_ptr<Backend> MakeSimBackend(const char* busFile) {
  std::string error;
  std::optional<Bus> bus = sim::LoadBusFile(busFile != nullptr ? busFile : "", error);
  if (!bus) std::fprintf(stderr, "wnaspi32: %s\n", error.c_str());
  return std::make_unique<SimBackend>(std::move(bus));
}

}  // namespace wnaspi32
