// The Linux backends' one door to the kernel: a SCSI command through the sg
// driver, the translated geometry of a disk, and its MBR signature. Tests
// put a scripted door here; the program uses the real one.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace wnaspi32::linux_io {

// The kernel's time-out for every command the layer sends. The program
// waits 10 s for a request; a command still running after 8 s is aborted
// by the kernel while the program still waits, so the program learns of
// the time-out (and of a device that stayed BUSY or TASK SET FULL through
// the midlayer's retries, which end with the time-out), and the kernel holds
// no command the program gave up on. INQUIRY, READ CAPACITY and a one-block
// READ take milliseconds on a healthy device.
constexpr unsigned ScsiTimeoutMs = 8000;

// The most sense data the kernel keeps for a command.
constexpr std::size_t SenseRoom = 96;

// One data-in (or no-data) command for a device's sg node.
struct ScsiCommand {
  std::span<const std::uint8_t> cdb;
  std::span<std::uint8_t> data;   // empty: no data phase
  std::span<std::uint8_t> sense;  // room for sense data
  unsigned timeoutMs = 0;
};

// What the sg driver reported. `error` is the errno of the open, or of
// handing the command over or taking it back (0 when the command reached
// the device); the rest is valid only then.
struct ScsiOutcome {
  int error = 0;
  std::uint8_t status = 0;        // SCSI status byte
  std::uint16_t hostStatus = 0;   // the kernel's host byte (DID_*)
  std::uint16_t driverStatus = 0; // the kernel's driver byte (DRIVER_*)
  std::int32_t residual = 0;      // bytes of `data` not transferred
  std::uint8_t senseLength = 0;   // bytes written into `sense`
};

// Errors that say this process cannot use the sg node (no right to it, or
// none there), and nothing about the device.
inline bool NodeClosedToUs(int error) {
  return error == EACCES || error == EPERM || error == ENOENT;
}

// The OS's translated geometry of a disk.
struct DiskGeometry {
  std::uint8_t heads = 0;
  std::uint8_t sectors = 0;
};

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  // Opens `sgNode`, runs `command` to its end, closes it. Called from
  // several threads at once. A thread waiting here can always be ended
  // with the process: closing the node leaves a command still under way to
  // the driver, which drops it when it completes.
  virtual ScsiOutcome Run(const std::string& sgNode, const ScsiCommand& command) = 0;
  // HDIO_GETGEO on the block device; nothing when it cannot be opened or
  // does not answer.
  virtual std::optional<DiskGeometry> Geometry(const std::string& blockNode) = 0;
  // The 32-bit little-endian disk signature at byte 440 of the MBR.
  virtual std::optional<std::uint32_t> MbrSignature(const std::string& blockNode) = 0;
};

std::unique_ptr<DeviceIo> MakeLinuxDeviceIo();

}  // namespace wnaspi32::linux_io
