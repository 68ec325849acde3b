// The ASPI host adapter status (SRB_HaStat) of a command that failed, from
// what the kernel said about it or about the device beforehand.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wnaspi32::linux_io {

// For the kernel's host byte (DID_*) and driver byte (DRIVER_*) of a
// command that reached the driver; HASTAT_OK when neither tells of a fault.
std::uint8_t HostAdapterStatus(std::uint16_t hostByte, std::uint16_t driverByte);
// For the errno of open(2) on the sg node, or of writing or reading the
// command through it.
std::uint8_t HostAdapterStatusOfError(int error);

// The status to fail a command with at once, without sending it, when the
// device's or its host's sysfs `state` says that it cannot take one now;
// nothing when both are running (or say nothing this layer knows).
std::optional<std::uint8_t> RefusalOfStates(std::string_view deviceState,
                                            std::string_view hostState);

}  // namespace wnaspi32::linux_io
