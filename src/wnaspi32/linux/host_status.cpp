#include "wnaspi32/linux/host_status.h"

#include <cerrno>

#include "wnaspi32.h"

namespace wnaspi32::linux_io {
namespace {

enum class Source { HostByte, DriverByte, Errno, DeviceState, HostState };

struct Mapping {
  Source source;
  int value;               // host byte, driver byte or errno
  std::string_view state;  // a sysfs `state`
  std::uint8_t haStat;
};

// Every way the kernel tells of a fault, and the host adapter status that
// says it to an ASPI program. Three rules:
//  - "the device is gone" is a selection time-out, the answer of an empty
//    target: an unplugged device must look the same whichever moment of its
//    removal a command met. An offline device gets it too, as the kernel
//    itself answers commands to one (DID_NO_CONNECT, or ENXIO from SG_IO).
//  - a command that never ran (a busy bus or host, a retry the driver asked
//    for, a device or host that holds its commands back) "timed out while
//    waiting to be processed": asked again later, it may well succeed.
//  - a command that ran and failed on its way is a command time-out, a bus
//    reset, a parity error, or else a phase error.
// SCSI statuses other than GOOD (CHECK CONDITION, BUSY, RESERVATION
// CONFLICT, TASK SET FULL...) come with HASTAT_OK: the adapter did its part,
// and SRB_TargStat carries the target's own answer.
constexpr Mapping Mappings[] = {
    {Source::HostByte, 0x01, {}, HASTAT_SEL_TO},             // DID_NO_CONNECT
    {Source::HostByte, 0x02, {}, HASTAT_TIMEOUT},            // DID_BUS_BUSY
    {Source::HostByte, 0x03, {}, HASTAT_COMMAND_TIMEOUT},    // DID_TIME_OUT
    {Source::HostByte, 0x04, {}, HASTAT_SEL_TO},             // DID_BAD_TARGET
    // The driver dropped the command: what virtio-scsi and usb-storage do
    // with commands in flight when their device leaves. A time-out that the
    // error handler aborts comes back as DID_TIME_OUT instead.
    {Source::HostByte, 0x05, {}, HASTAT_SEL_TO},             // DID_ABORT
    {Source::HostByte, 0x06, {}, HASTAT_PARITY_ERROR},       // DID_PARITY
    {Source::HostByte, 0x07, {}, HASTAT_PHASE_ERR},          // DID_ERROR
    {Source::HostByte, 0x08, {}, HASTAT_BUS_RESET},          // DID_RESET
    {Source::HostByte, 0x0B, {}, HASTAT_TIMEOUT},            // DID_SOFT_ERROR
    {Source::HostByte, 0x0C, {}, HASTAT_TIMEOUT},            // DID_IMM_RETRY
    {Source::HostByte, 0x0D, {}, HASTAT_TIMEOUT},            // DID_REQUEUE
    {Source::HostByte, 0x0E, {}, HASTAT_SEL_TO},             // DID_TRANSPORT_DISRUPTED
    {Source::HostByte, 0x0F, {}, HASTAT_SEL_TO},             // DID_TRANSPORT_FAILFAST
    {Source::HostByte, 0x14, {}, HASTAT_TIMEOUT},            // DID_TRANSPORT_MARGINAL
    // Kernels before 5.14 also report in the driver byte's low bits.
    {Source::DriverByte, 0x01, {}, HASTAT_TIMEOUT},          // DRIVER_BUSY
    {Source::DriverByte, 0x06, {}, HASTAT_COMMAND_TIMEOUT},  // DRIVER_TIMEOUT
    {Source::Errno, ENODEV, {}, HASTAT_SEL_TO},  // sg node of a removed device
    {Source::Errno, ENXIO, {}, HASTAT_SEL_TO},   // its driver has let go
    {Source::Errno, ENOENT, {}, HASTAT_SEL_TO},  // no sg node any more
    {Source::DeviceState, 0, "offline", HASTAT_SEL_TO},
    {Source::DeviceState, 0, "transport-offline", HASTAT_SEL_TO},
    {Source::DeviceState, 0, "cancel", HASTAT_SEL_TO},
    {Source::DeviceState, 0, "deleted", HASTAT_SEL_TO},
    {Source::DeviceState, 0, "blocked", HASTAT_TIMEOUT},  // the transport holds it
    {Source::DeviceState, 0, "created-blocked", HASTAT_TIMEOUT},
    {Source::DeviceState, 0, "created", HASTAT_TIMEOUT},  // still being set up
    {Source::DeviceState, 0, "quiesce", HASTAT_TIMEOUT},  // suspending
    {Source::HostState, 0, "recovery", HASTAT_BUS_RESET},  // the error handler resets it
    {Source::HostState, 0, "cancel/recovery", HASTAT_BUS_RESET},
    {Source::HostState, 0, "deleted/recovery", HASTAT_BUS_RESET},
    {Source::HostState, 0, "cancel", HASTAT_SEL_TO},
    {Source::HostState, 0, "deleted", HASTAT_SEL_TO},
    {Source::HostState, 0, "created", HASTAT_TIMEOUT},
};

const Mapping* Find(Source source, int value, std::string_view state = {}) {
  for (const Mapping& m : Mappings)
    if (m.source == source && m.value == value && m.state == state) return &m;
  return nullptr;
}

// The low three bits of the driver byte carry an error; 08h only says that
// sense data came along.
constexpr std::uint16_t DriverErrorMask = 0x07;

}  // namespace

std::uint8_t HostAdapterStatus(std::uint16_t hostByte, std::uint16_t driverByte) {
  const std::uint16_t driverError = driverByte & DriverErrorMask;
  if (hostByte == 0 && driverError == 0) return HASTAT_OK;
  const Mapping* found = hostByte != 0 ? Find(Source::HostByte, hostByte)
                                       : Find(Source::DriverByte, driverError);
  return found ? found->haStat : HASTAT_PHASE_ERR;
}

// Other errors (busy, refused, out of memory) say nothing about the bus.
std::uint8_t HostAdapterStatusOfError(int error) {
  const Mapping* found = Find(Source::Errno, error);
  return found ? found->haStat : HASTAT_OK;
}

std::optional<std::uint8_t> RefusalOfStates(std::string_view deviceState,
                                            std::string_view hostState) {
  const Mapping* found = Find(Source::DeviceState, 0, deviceState);
  if (found == nullptr) found = Find(Source::HostState, 0, hostState);
  if (found == nullptr) return std::nullopt;
  return found->haStat;
}

}  // namespace wnaspi32::linux_io
