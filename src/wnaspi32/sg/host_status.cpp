#include "sg/host_status.h"

#include <cerrno>

#include "wnaspi32.h"

namespace wnaspi32::sg {
namespace {

enum class Source { HostByte, Errno };

struct Mapping {
  Source source;
  int value;
  std::uint8_t haStat;
};

// Every way the kernel says "the device is gone" is a selection time-out,
// the answer of an empty target: an unplugged device must look the same
// whichever moment of its removal a command met.
constexpr Mapping Mappings[] = {
    {Source::HostByte, 0x00, HASTAT_OK},             // DID_OK
    {Source::HostByte, 0x01, HASTAT_SEL_TO},         // DID_NO_CONNECT
    {Source::HostByte, 0x03, HaStatCommandTimeout},  // DID_TIME_OUT
    {Source::HostByte, 0x04, HASTAT_SEL_TO},         // DID_BAD_TARGET
    // The driver dropped the command: what virtio-scsi and usb-storage do
    // with commands in flight when their device leaves. A time-out that the
    // error handler aborts comes back as DID_TIME_OUT instead.
    {Source::HostByte, 0x05, HASTAT_SEL_TO},      // DID_ABORT
    {Source::HostByte, 0x06, HaStatParityError},  // DID_PARITY
    {Source::HostByte, 0x08, HaStatBusReset},     // DID_RESET
    {Source::HostByte, 0x0E, HASTAT_SEL_TO},      // DID_TRANSPORT_DISRUPTED
    {Source::HostByte, 0x0F, HASTAT_SEL_TO},      // DID_TRANSPORT_FAILFAST
    {Source::Errno, ENODEV, HASTAT_SEL_TO},       // sg node of a removed device
    {Source::Errno, ENXIO, HASTAT_SEL_TO},        // its driver has let go
    {Source::Errno, ENOENT, HASTAT_SEL_TO},       // no sg node any more
};

std::uint8_t Lookup(Source source, int value, std::uint8_t otherwise) {
  for (const Mapping& m : Mappings)
    if (m.source == source && m.value == value) return m.haStat;
  return otherwise;
}

}  // namespace

std::uint8_t HostAdapterStatus(std::uint16_t hostByte) {
  return Lookup(Source::HostByte, hostByte, HaStatPhaseError);
}

// Other errors (busy, refused, out of memory) say nothing about the bus.
std::uint8_t HostAdapterStatusOfError(int error) { return Lookup(Source::Errno, error, HASTAT_OK); }

}  // namespace wnaspi32::sg
