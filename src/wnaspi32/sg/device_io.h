// The Linux backend's one door to the kernel: a SCSI command through SG_IO,
// the translated geometry of a disk, and its MBR signature. Tests put a
// scripted door here; the program uses the real one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace wnaspi32::sg {

// One data-in (or no-data) command for a device's sg node.
struct ScsiCommand {
  std::span<const std::uint8_t> cdb;
  std::span<std::uint8_t> data;   // empty: no data phase
  std::span<std::uint8_t> sense;  // room for sense data
  unsigned timeoutMs = 0;
};

// What SG_IO reported. `error` is the errno of the open or of the ioctl
// (0 when the command reached the device); the rest is valid only then.
struct ScsiOutcome {
  int error = 0;
  std::uint8_t status = 0;        // SCSI status byte
  std::uint16_t hostStatus = 0;   // the kernel's host byte (DID_*)
  std::uint16_t driverStatus = 0; // the kernel's driver byte (DRIVER_*)
  std::int32_t residual = 0;      // bytes of `data` not transferred
  std::uint8_t senseLength = 0;   // bytes written into `sense`
};

// The OS's translated geometry of a disk.
struct DiskGeometry {
  std::uint8_t heads = 0;
  std::uint8_t sectors = 0;
};

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  // Opens `sgNode` read-only and non-blocking, runs `command`, closes it.
  // Called from several threads at once.
  virtual ScsiOutcome Run(const std::string& sgNode, const ScsiCommand& command) = 0;
  // HDIO_GETGEO on the block device; nothing when it cannot be opened or
  // does not answer.
  virtual std::optional<DiskGeometry> Geometry(const std::string& blockNode) = 0;
  // The 32-bit little-endian disk signature at byte 440 of the MBR.
  virtual std::optional<std::uint32_t> MbrSignature(const std::string& blockNode) = 0;
};

std::unique_ptr<DeviceIo> MakeLinuxDeviceIo();

}  // namespace wnaspi32::sg
