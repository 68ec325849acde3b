#include "sg/host_status.h"

#include <cerrno>

#include "wnaspi32.h"

namespace wnaspi32::sg {
namespace {

enum class Source { kHostByte, kErrno };

struct Mapping {
  Source source;
  int value;
  std::uint8_t haStat;
};

// Every way the kernel says "the device is gone" is a selection time-out,
// the answer of an empty target: an unplugged device must look the same
// whichever moment of its removal a command met.
constexpr Mapping kMappings[] = {
    {Source::kHostByte, 0x00, HASTAT_OK},              // DID_OK
    {Source::kHostByte, 0x01, HASTAT_SEL_TO},          // DID_NO_CONNECT
    {Source::kHostByte, 0x03, kHaStatCommandTimeout},  // DID_TIME_OUT
    {Source::kHostByte, 0x04, HASTAT_SEL_TO},          // DID_BAD_TARGET
    // The driver dropped the command: what virtio-scsi and usb-storage do
    // with commands in flight when their device leaves. A time-out that the
    // error handler aborts comes back as DID_TIME_OUT instead.
    {Source::kHostByte, 0x05, HASTAT_SEL_TO},          // DID_ABORT
    {Source::kHostByte, 0x06, kHaStatParityError},     // DID_PARITY
    {Source::kHostByte, 0x08, kHaStatBusReset},        // DID_RESET
    {Source::kHostByte, 0x0E, HASTAT_SEL_TO},          // DID_TRANSPORT_DISRUPTED
    {Source::kHostByte, 0x0F, HASTAT_SEL_TO},          // DID_TRANSPORT_FAILFAST
    {Source::kErrno, ENODEV, HASTAT_SEL_TO},           // sg node of a removed device
    {Source::kErrno, ENXIO, HASTAT_SEL_TO},            // its driver has let go
    {Source::kErrno, ENOENT, HASTAT_SEL_TO},           // no sg node any more
};

std::uint8_t Lookup(Source source, int value, std::uint8_t otherwise) {
  for (const Mapping& m : kMappings)
    if (m.source == source && m.value == value) return m.haStat;
  return otherwise;
}

}  // namespace

std::uint8_t HostAdapterStatus(std::uint16_t hostByte) {
  return Lookup(Source::kHostByte, hostByte, kHaStatPhaseError);
}

// Other errors (busy, refused, out of memory) say nothing about the bus.
std::uint8_t HostAdapterStatusOfError(int error) {
  return Lookup(Source::kErrno, error, HASTAT_OK);
}

}  // namespace wnaspi32::sg
