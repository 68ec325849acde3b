// The layer on Windows, through the storage calls every Windows since 7
// has (DeviceIoControl), behind the door in storage_calls.h.
//
// Host adapters: one per SCSI port and path ID, in port then path order,
// as \\.\ScsiN: lists them (IOCTL_SCSI_GET_INQUIRY_DATA); HA_SCSI_ID is
// the bus's initiator ID, HA_Identifier the port's driver (the Driver
// value under HKLM\HARDWARE\DEVICEMAP\Scsi\Scsi Port N), HA_Unique byte 3
// one more than the highest target ID listed, at least 8. Disk, CD-ROM and
// tape device objects (\\.\PhysicalDriveN, CdRomN, TapeN) are placed by
// their SCSI address; one that no port lists joins its port and path (an
// adapter of its own when the port listed none), and one with no SCSI
// address is a target 0 on an adapter of its own after the ports, named
// after its device object.
//
// Commands: a unit a class driver owns goes through its device object, an
// unowned one through its port (IOCTL_SCSI_PASS_THROUGH, double-buffered,
// TimeOutValue 8 s). A UNIT ATTENTION goes once more; CHECK CONDITION with
// RECOVERED ERROR is a good answer with its sense. A Windows error becomes
// SRB_HaStat by one table (call_status.cpp): a device that went away
// (ERROR_FILE_NOT_FOUND, ERROR_DEV_NOT_EXIST, ERROR_NO_SUCH_DEVICE,
// ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_REMOVED) is a selection
// time-out (11h); ERROR_SEM_TIMEOUT, ERROR_TIMEOUT and a cancelled call a
// command time-out (0Bh); ERROR_BUSY 09h; ERROR_BUS_RESET 0Eh; ERROR_CRC
// 0Fh; ERROR_IO_DEVICE and ERROR_GEN_FAILURE 14h; any other error SS_ERR
// with HaStat 0. Every request waits on Windows ten seconds at most in
// all; a call still under way then is cancelled (CancelIoEx) and the
// request is left pending, as the program has given up on it by then; a
// device that hangs holds up its own requests only (four at most each).
//
// An ordinary user: Windows opens device objects and ports for reading and
// writing, which pass-through needs, to administrators only. Refused that
// (ERROR_ACCESS_DENIED), the layer answers from what Windows tells anyone,
// through a handle with no access rights: INQUIRY from the port's copy of
// the unit's INQUIRY data, else from the storage device descriptor (type,
// removable, vendor, product, revision); page 00h, 80h from the
// descriptor's serial number, 83h from the device's identifiers
// (StorageDeviceIdProperty); READ CAPACITY (10) and (16) from the disk's
// geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX); REPORT LUNS from the port's
// list. Everything else is CHECK CONDITION, ILLEGAL REQUEST (invalid
// operation code, or invalid field in CDB for a page or field those cannot
// answer); a drive with no medium is NOT READY, MEDIUM NOT PRESENT. The
// same answers serve where Windows carries no pass-through (a unit that
// Windows lists as claimed but has no device object we reach) and where
// an NVMe drive's translation refuses a command. So an ordinary user sees
// every adapter and device, their INQUIRY data, capacities and disk
// information; only an administrator's commands reach the devices.
//
// Disk information (INT 13h): a fixed disk (geometry media type
// FixedMedia) gets drive flags 1 and drive number 80h + its order among
// the fixed PhysicalDrive objects, by their numbers; a removable disk or
// optical memory device geometry only (drive flags 3, drive 0); heads and
// sectors from its geometry (TracksPerCylinder cut to 255,
// SectorsPerTrack to 63). CD-ROMs, tapes and every other kind, units
// without a PhysicalDrive object and drives with no medium get drive
// flags 0 and no geometry, as on Linux.
#include "wnaspi32/windows/windows_backend.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "scsi/commands.h"
#include "scsi/replies.h"
#include "wnaspi32/front/adapter_fields.h"
#include "wnaspi32/windows/command_job.h"
#include "wnaspi32/windows/property_answers.h"
#include "wnaspi32/windows/storage_structures.h"

namespace wnaspi32 {
namespace {

using windows::Adapter;
using windows::Unit;

constexpr char ManagerName[] = "ASPI for WIN32";
constexpr int CommandsPerDevice = 4;
constexpr std::uint8_t DriveNotInt13 = 0, DriveInt13ManagedByOs = 1, DriveGeometryOnly = 3;
constexpr std::uint8_t MostInt13Heads = 255, MostInt13Sectors = 63;
constexpr std::uint32_t GeometryRoom = 256;

// Commands under way per device: one that never answers holds a thread
// per command, so it gets no more than a few.
class CommandSlots {
 public:
  bool Take(const std::string& device) {
    const std::lock_guard lock(mutex_);
    if (taken_[device] >= CommandsPerDevice) return false;
    ++taken_[device];
    return true;
  }
  void Give(const std::string& device) {
    const std::lock_guard lock(mutex_);
    if (--taken_[device] <= 0) taken_.erase(device);
  }

 private:
  std::mutex mutex_;
  std::map<std::string, int> taken_;
};

class WindowsBackend final : public Backend {
 public:
  WindowsBackend(std::shared_ptr<windows::StorageCalls> calls, std::chrono::milliseconds bound)
      : calls_(std::move(calls)), bound_(bound) {}

  int AdapterCount() override { return adapters_.Count(); }

  std::uint8_t HostAdapterInquiry(int number, SRB& srb) override {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return SS_INVALID_HA;
    srb.HA_SCSI_ID = adapter->initiatorId;
    CopyAdapterName(srb.HA_ManagerId, ManagerName);
    CopyAdapterName(srb.HA_Identifier, adapter->identifier);
    unsigned highest = 0;
    for (const Unit& unit : adapter->units) highest = std::max<unsigned>(highest, unit.target);
    FillHaUnique(srb, TargetIdCount(highest));
    return SS_COMP;
  }

  std::optional<std::uint8_t> DeviceTypeOf(int number, const SRB& srb) override {
    const Unit* unit = UnitOf(number, srb);
    if (unit == nullptr) return std::nullopt;
    return unit->type;
  }

  std::uint8_t GetDiskInfo(int number, SRB& srb) override {
    const Unit* unit = UnitOf(number, srb);
    if (unit == nullptr) return adapters_.Find(number) ? SS_NO_DEVICE : SS_INVALID_HA;
    srb.SRB_DriveFlags = DriveNotInt13;
    srb.SRB_Int13HDriveInfo = 0;
    srb.SRB_Heads = 0;
    srb.SRB_Sectors = 0;
    const bool disk =
        unit->type == scsi::DirectAccessDevice || unit->type == scsi::OpticalMemoryDevice;
    if (!disk || !unit->object.starts_with("\\\\.\\PhysicalDrive")) return SS_COMP;
    const windows::Opened opened = calls_->Open(unit->object, windows::Access::None);
    if (!opened.device) return SS_ERR;
    const auto result = windows::CallUntil(*opened.device, windows::IoctlDiskGetDriveGeometryEx, {},
                                           GeometryRoom, windows::Clock::now() + bound_);
    if (!result || windows::DeviceIsGone(result->error)) return SS_ERR;
    const auto shape = result->error == windows::ErrorSuccess
                           ? windows::ParseGeometryEx(result->output)
                           : std::nullopt;
    if (!shape || shape->blocks == 0) return SS_COMP;  // no medium
    const bool fixed = unit->biosDrive && shape->mediaType == windows::MediaFixed;
    srb.SRB_DriveFlags = fixed ? DriveInt13ManagedByOs : DriveGeometryOnly;
    srb.SRB_Int13HDriveInfo = fixed ? *unit->biosDrive : std::uint8_t{0};
    srb.SRB_Heads = static_cast<std::uint8_t>(
        std::min<std::uint32_t>(shape->tracksPerCylinder, MostInt13Heads));
    srb.SRB_Sectors = static_cast<std::uint8_t>(
        std::min<std::uint32_t>(shape->sectorsPerTrack, MostInt13Sectors));
    return SS_COMP;
  }

  std::uint8_t ExecScsiCommand(int number, SRB& srb, std::uint8_t* buffer,
                               std::uint32_t bufferLength) override {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return SS_INVALID_HA;
    const Unit* unit = UnitOf(number, srb);
    const std::span<const std::uint8_t> cdb(srb.CDBByte, srb.SRB_CDBLen);
    if (unit == nullptr) return AnswerWithoutUnit(*adapter, srb, buffer, bufferLength);
    windows::CommandJob job{.calls = calls_,
                            .port = adapter->port,
                            .path = adapter->path,
                            .unit = *unit,
                            .luns = LunsAt(*adapter, unit->target),
                            .cdb = {cdb.begin(), cdb.end()},
                            .dataLength = bufferLength,
                            .bound = bound_};
    const std::string slot = SlotOf(*adapter, *unit);
    if (!slots_->Take(slot)) {
      srb.SRB_HaStat = HASTAT_TIMEOUT;
      return SS_ERR;
    }
    try {
      // The thread starts its work only once it is detached: MinGW's thread
      // library may give a thread that ends before detach() the next new
      // thread's record, which then starts without its work.
      std::promise<void> detached;
      std::thread([started = detached.get_future(), job = std::move(job), slots = slots_, slot,
                   reply = srb, block = &srb, buffer]() mutable {
        started.wait();
        Run(std::move(job), std::move(slots), std::move(slot), reply, block, buffer);
      }).detach();
      detached.set_value();
    } catch (...) {
      slots_->Give(slot);
      return SS_ERR;  // no thread to run it on
    }
    return SS_PENDING;
  }

 private:
  // On a thread of its own, which holds what it needs: the backend may be
  // gone before a hung call ends. The caller's block is touched again only
  // by Complete(), and never after the bound.
  static void Run(windows::CommandJob job, std::shared_ptr<CommandSlots> slots, std::string slot,
                  SRB reply, SRB* srb, std::uint8_t* buffer) {
    std::optional<windows::CommandOutcome> outcome;
    try {
      outcome = windows::RunCommand(job);
    } catch (...) {
      outcome = windows::CommandOutcome{
          .status = SS_ERR, .haStat = HASTAT_OK, .targStat = 0, .sense = {}, .data = {}};
    }
    slots->Give(slot);
    if (!outcome) return;  // the program has given up on it
    reply.SRB_HaStat = outcome->haStat;
    reply.SRB_TargStat = outcome->targStat;
    const std::size_t senseRoom = std::min<std::size_t>(reply.SRB_SenseLen, sizeof reply.SenseArea);
    std::copy_n(outcome->sense.begin(), std::min(senseRoom, outcome->sense.size()),
                reply.SenseArea);
    outcome->data.resize(std::min<std::size_t>(outcome->data.size(), job.dataLength));
    if (outcome->status == SS_COMP) SetResidualCount(reply, outcome->data.size());
    Complete(*srb, reply, outcome->status, buffer,
             outcome->data.empty() ? nullptr : outcome->data.data(),
             static_cast<std::uint32_t>(outcome->data.size()));
  }

  // Nobody at the LUN: an empty target, but for REPORT LUNS, which any LUN
  // of a target answers, here from the port's list.
  static std::uint8_t AnswerWithoutUnit(const Adapter& adapter, SRB& srb, std::uint8_t* buffer,
                                        std::uint32_t bufferLength) {
    srb.SRB_HaStat = HASTAT_SEL_TO;
    const auto luns = LunsAt(adapter, srb.SRB_Target);
    if (srb.CDBByte[0] != scsi::ReportLuns || luns.empty()) return SS_ERR;
    const auto answer = scsi::ReportLunsReply(std::span(srb.CDBByte, srb.SRB_CDBLen), luns);
    if (!answer) return SS_ERR;
    srb.SRB_HaStat = HASTAT_OK;
    srb.SRB_TargStat = STATUS_GOOD;
    const std::size_t sent = std::min<std::size_t>(answer->size(), bufferLength);
    if (sent > 0) std::memcpy(buffer, answer->data(), sent);
    SetResidualCount(srb, sent);
    return SS_COMP;
  }

  static std::vector<std::uint64_t> LunsAt(const Adapter& adapter, std::uint8_t target) {
    std::vector<std::uint64_t> luns;
    for (const Unit& unit : adapter.units)
      if (unit.target == target) luns.push_back(unit.lun);
    std::sort(luns.begin(), luns.end());
    return luns;
  }

  static std::string SlotOf(const Adapter& adapter, const Unit& unit) {
    if (!unit.object.empty()) return unit.object;
    return windows::PortPath(adapter.port.value_or(0)) + std::to_string(adapter.path) + ":" +
           std::to_string(unit.target) + ":" + std::to_string(unit.lun);
  }

  const Unit* UnitOf(int number, const SRB& srb) {
    const Adapter* adapter = adapters_.Find(number);
    if (adapter == nullptr) return nullptr;
    for (const Unit& unit : adapter->units)
      if (unit.target == srb.SRB_Target && unit.lun == srb.SRB_Lun) return &unit;
    return nullptr;
  }

  const std::shared_ptr<windows::StorageCalls> calls_;
  const std::chrono::milliseconds bound_;
  const std::shared_ptr<CommandSlots> slots_ = std::make_shared<CommandSlots>();
  AdapterList<Adapter> adapters_{[this] { return windows::SurveyAdapters(*calls_, bound_); }};
};

}  // namespace

std::unique_ptr<Backend> MakeWindowsBackend(std::shared_ptr<windows::StorageCalls> calls,
                                            std::chrono::milliseconds bound) {
  return std::make_unique<WindowsBackend>(std::move(calls), bound);
}

}  // namespace wnaspi32
