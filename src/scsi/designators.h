// The designation descriptors of the device identification page (83h):
// a four-byte header (code set; association and designator type; length)
// before each designator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scsi {

constexpr std::size_t DesignatorHeaderLength = 4;

// Code sets (low four bits of byte 0).
constexpr std::uint8_t CodeSetBinary = 0x1;
constexpr std::uint8_t CodeSetAscii = 0x2;
constexpr std::uint8_t CodeSetUtf8 = 0x3;

// What a designator designates (bits 4-5 of byte 1).
constexpr std::uint8_t AssociationLogicalUnit = 0x0;
constexpr std::uint8_t AssociationTargetPort = 0x1;
constexpr std::uint8_t AssociationTargetDevice = 0x2;
constexpr unsigned AssociationShift = 4;

// Designator types (low four bits of byte 1).
namespace DesignatorType {
constexpr std::uint8_t VendorSpecific = 0x0;
constexpr std::uint8_t T10VendorId = 0x1;
constexpr std::uint8_t Eui64 = 0x2;
constexpr std::uint8_t Naa = 0x3;
constexpr std::uint8_t ScsiNameString = 0x8;
constexpr std::uint8_t Uuid = 0xA;
}  // namespace DesignatorType

}  // namespace scsi
