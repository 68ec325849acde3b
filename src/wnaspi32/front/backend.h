// What the layer's front asks of a way of reaching devices.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "wnaspi32.h"

namespace wnaspi32 {

// A backend answers the four request kinds for its own host adapters,
// numbered 0 to AdapterCount() - 1. Each request names one of them in
// `adapter`: the program's SRB_HaId, or where several backends are laid end
// to end, the number among the backend's own; SRB_HaId itself stays as the
// program wrote it. The front has already checked SRB_Cmd and the adapter,
// and of a SCSI command its direction (data in or none), its CDB length (1
// to 16) and its buffer: every backend gets the same checks, once.
//
// Each request method fills the reply fields of `srb` and returns the final
// status, or returns SS_PENDING and later (from a thread of its own) calls
// Complete() exactly once. A backend that completes later must not touch the
// caller's block or buffer after Complete(): it prepares its reply in a copy
// and lets Complete() publish it.
class Backend {
 public:
  virtual ~Backend() = default;

  // The word GetASPI32SupportInfo returns; by default SS_COMP and the
  // count, or SS_NO_ADAPTERS.
  virtual std::uint32_t SupportInfo();
  virtual int AdapterCount() = 0;

  virtual std::uint8_t HostAdapterInquiry(int adapter, SRB& srb) = 0;
  // By default the type DeviceTypeOf() gives, or SS_NO_DEVICE.
  virtual std::uint8_t GetDeviceType(int adapter, SRB& srb);
  virtual std::uint8_t GetDiskInfo(int adapter, SRB& srb) = 0;
  // `buffer` is the data-in buffer behind SRB_BufPointer, `bufferLength`
  // bytes long (already limited to what the program registered), or null
  // with a length of 0.
  virtual std::uint8_t ExecScsiCommand(int adapter, SRB& srb, std::uint8_t* buffer,
                                       std::uint32_t bufferLength) = 0;

  // The peripheral device type of the logical unit at SRB_Target and
  // SRB_Lun of `adapter`, nothing when none is there. The front asks it of
  // a SCSI command whose direction depends on the kind of device.
  virtual std::optional<std::uint8_t> DeviceTypeOf(int adapter, const SRB& srb) = 0;
};

// Publishes a late reply: copies every byte of `reply` but SRB_Status into
// `srb`, then `data` (if any) into `buffer`, then writes `status` with release
// ordering, and last signals the completion event when the request asked for
// one. Touches neither `srb` nor `buffer` after the status.
void Complete(SRB& srb, const SRB& reply, std::uint8_t status,
              std::uint8_t* buffer = nullptr, const std::uint8_t* data = nullptr,
              std::uint32_t dataLength = 0);

// The backend the layer runs on: `sim` when WNASPI32_BUS names a bus file,
// otherwise the platform's (on Linux the SCSI hosts, then the NVMe
// controllers). Made on first use.
Backend& ActiveBackend();

// Puts `backend` in place of the active one (tests run several buses in one
// process). The one replaced is kept alive: its late completions may still
// be under way.
void ReplaceBackend(std::unique_ptr<Backend> backend);

// Backends, one per way of reaching devices. The platform's is made by the
// platform's own folder of the layer.
std::unique_ptr<Backend> MakeNoAdaptersBackend();
std::unique_ptr<Backend> MakeSimBackend(const char* busFile);
std::unique_ptr<Backend> MakePlatformBackend();

}  // namespace wnaspi32
