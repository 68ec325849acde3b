// The layer's two exported calls: check the request, hand it to the backend.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <span>
#include <vector>

#include "win32_stand_ins/buffer_handles.h"
#include "win32_stand_ins/never_destroyed.h"
#include "win32_stand_ins/win32_events.h"
#include "wnaspi32/front/backend.h"
#include "wnaspi32/front/data_direction.h"

namespace wnaspi32 {
namespace {

void StoreStatus(SRB& srb, std::uint8_t status) {
  std::atomic_ref<std::uint8_t>(srb.SRB_Status).store(status, std::memory_order_release);
}

// Whether the command would carry data to the device: refused before any
// backend sees it. The device's type is asked only for the few commands
// whose direction it settles.
bool CarriesDataOut(Backend& backend, const SRB& srb) {
  const std::span<const std::uint8_t> cdb(srb.CDBByte, srb.SRB_CDBLen);
  if (const auto out = MovesDataToAnyDevice(cdb)) return *out;
  const auto type = backend.DeviceTypeOf(srb.SRB_HaId, srb);
  // Where no unit is, nothing reaches a device: the backend says so.
  return type && MovesDataToDevice(cdb, *type);
}

std::uint8_t Dispatch(Backend& backend, SRB& srb) {
  switch (srb.SRB_Cmd) {
    case SC_HA_INQUIRY:
    case SC_GET_DEV_TYPE:
    case SC_GET_DISK_INFO:
    case SC_EXEC_SCSI_CMD:
      break;
    default:
      return SS_INVALID_CMD;
  }
  if (srb.SRB_HaId >= backend.AdapterCount()) return SS_INVALID_HA;
  switch (srb.SRB_Cmd) {
    case SC_HA_INQUIRY:
      return backend.HostAdapterInquiry(srb.SRB_HaId, srb);
    case SC_GET_DEV_TYPE:
      return backend.GetDeviceType(srb.SRB_HaId, srb);
    case SC_GET_DISK_INFO:
      return backend.GetDiskInfo(srb.SRB_HaId, srb);
    default:
      break;
  }
  // A SCSI command: this layer only reads from devices, through a whole
  // CDB, into the buffer the program registered.
  if (srb.SRB_Flags & SRB_DIR_OUT) return SS_ERR;
  if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte) return SS_ERR;
  std::uint32_t registered = 0;
  auto* buffer = static_cast<std::uint8_t*>(LookupDataBuffer(srb.SRB_BufPointer, &registered));
  if (srb.SRB_BufLen != 0 && buffer == nullptr) return SS_ERR;
  if (CarriesDataOut(backend, srb)) return SS_ERR;
  return backend.ExecScsiCommand(srb.SRB_HaId, srb, buffer,
                                 buffer == nullptr ? 0 : std::min(srb.SRB_BufLen, registered));
}

// Every backend ever made, the active one last. Late completions may still
// be under way on any of them when the program ends, so none is ever
// destroyed.
struct Backends {
  std::mutex mutex;
  std::vector<std::unique_ptr<Backend>> made;
  std::atomic<Backend*> active{nullptr};

  Backends() {
    const char* bus = std::getenv("WNASPI32_BUS");
    made.push_back(bus != nullptr && *bus != '\0' ? MakeSimBackend(bus) : MakePlatformBackend());
    active.store(made.back().get(), std::memory_order_release);
  }
};

Backends& AllBackends() {
  static NeverDestroyed<Backends> backends;
  return *backends;
}

}  // namespace

void Complete(SRB& srb, const SRB& reply, std::uint8_t status, std::uint8_t* buffer,
              const std::uint8_t* data, std::uint32_t dataLength) {
  // Everything needed after the status is read before it: the program may
  // release the block as soon as it sees a final status.
  const bool notify = srb.SRB_Cmd == SC_EXEC_SCSI_CMD && (srb.SRB_Flags & SRB_EVENT_NOTIFY);
  const SrbPointer event = notify ? srb.SRB_PostProc : 0;
  // The program may read an abandoned block at any time, so the reply is
  // published a byte at a time through atomic stores.
  auto* to = reinterpret_cast<std::uint8_t*>(&srb);
  const auto* from = reinterpret_cast<const std::uint8_t*>(&reply);
  for (std::size_t i = 0; i < sizeof(SRB); ++i) {
    if (i == offsetof(SRB, SRB_Status)) continue;
    std::atomic_ref<std::uint8_t>(to[i]).store(from[i], std::memory_order_relaxed);
  }
  if (buffer != nullptr && data != nullptr) std::memcpy(buffer, data, dataLength);
  StoreStatus(srb, status);
  if (event != 0) SetEvent(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(event)));
}

Backend& ActiveBackend() { return *AllBackends().active.load(std::memory_order_acquire); }

void ReplaceBackend(std::unique_ptr<Backend> backend) {
  Backends& backends = AllBackends();
  const std::lock_guard lock(backends.mutex);
  backends.made.push_back(std::move(backend));
  backends.active.store(backends.made.back().get(), std::memory_order_release);
}

}  // namespace wnaspi32

// Nothing may escape into the program: whatever a backend throws becomes
// SS_ERR.
extern "C" WNASPI32_API std::uint32_t GetASPI32SupportInfo(void) {
  try {
    return wnaspi32::ActiveBackend().SupportInfo();
  } catch (...) {
    return std::uint32_t{SS_ERR} << 8;
  }
}

extern "C" WNASPI32_API std::uint32_t SendASPI32Command(void* request) {
  if (request == nullptr) return SS_ERR;
  SRB& srb = *static_cast<SRB*>(request);
  // Pending first: a backend that answers from a thread of its own may
  // finish before Dispatch returns.
  wnaspi32::StoreStatus(srb, SS_PENDING);
  std::uint8_t status = SS_ERR;
  try {
    status = wnaspi32::Dispatch(wnaspi32::ActiveBackend(), srb);
  } catch (...) {
  }
  if (status != SS_PENDING) wnaspi32::StoreStatus(srb, status);
  return status;
}
