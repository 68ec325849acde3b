// The ASPI host adapter status (SRB_HaStat) of a command that failed,
// from what the kernel said about it.
#pragma once

#include <cstdint>

namespace wnaspi32::sg {

// ASPI host adapter statuses besides HASTAT_OK and HASTAT_SEL_TO.
constexpr std::uint8_t HaStatWaitTimeout = 0x09;  // given up before it ran
constexpr std::uint8_t HaStatCommandTimeout = 0x0B;
constexpr std::uint8_t HaStatBusReset = 0x0E;
constexpr std::uint8_t HaStatParityError = 0x0F;
constexpr std::uint8_t HaStatPhaseError = 0x14;

// For the kernel's host byte (DID_*) of a command that reached the driver.
std::uint8_t HostAdapterStatus(std::uint16_t hostByte);
// For the errno of open(2) on the sg node or of ioctl(SG_IO).
std::uint8_t HostAdapterStatusOfError(int error);

}  // namespace wnaspi32::sg
