// The one door between the Windows backend and Windows: open a device
// object, start a DeviceIoControl on it, wait for it with a time-out,
// cancel it, close the device. The shipped layer goes through kernel32;
// the tests put a fake storage stack behind it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wnaspi32::windows {

// How a device object is opened: with no access rights (what Windows gives
// anyone: the property and geometry queries) or for reading and writing
// (what SCSI pass-through needs, in practice administrators only).
enum class Access { None, ReadWrite };

// What a finished control call gave: ERROR_SUCCESS (0) or the Windows
// error it failed with, and the bytes it wrote into its output buffer.
struct ControlResult {
  std::uint32_t error = 0;
  std::vector<std::uint8_t> output;
};

// A control call under way. It owns its input and output buffers: Windows
// may write into them until the call has ended, so they live until then
// even when the backend has given up on it and dropped its reference.
class PendingControl {
 public:
  virtual ~PendingControl() = default;
  // Waits up to `timeout` for the call to end; true once it has.
  virtual bool Wait(std::chrono::milliseconds timeout) = 0;
  // Asks Windows to end the call (CancelIoEx); it may still take a while.
  virtual void Cancel() = 0;
  // The call's result; only once Wait() returned true.
  virtual ControlResult Result() const = 0;
};

// An open device object. Closing it (dropping the last reference) waits
// for nothing: a call still under way keeps what it needs alive itself.
class Device {
 public:
  virtual ~Device() = default;
  // Starts DeviceIoControl(`code`) with a copy of `input` and an output
  // buffer of `outputLength` bytes.
  virtual std::shared_ptr<PendingControl> Control(std::uint32_t code,
                                                  std::vector<std::uint8_t> input,
                                                  std::uint32_t outputLength) = 0;
};

struct Opened {
  std::shared_ptr<Device> device;  // null when the open failed
  std::uint32_t error = 0;         // ERROR_* when it did
};

class StorageCalls {
 public:
  virtual ~StorageCalls() = default;
  // Opens `path` ("\\.\Scsi0:", "\\.\PhysicalDrive0", "\\.\CdRom0", ...).
  virtual Opened Open(const std::string& path, Access access) = 0;
  // A text value under HKEY_LOCAL_MACHINE, read only (key
  // "HARDWARE\DEVICEMAP\Scsi\Scsi Port 0", value "Driver"); nothing when
  // it is not there.
  virtual std::optional<std::string> RegistryText(const std::string& key,
                                                  const std::string& value) = 0;
};

}  // namespace wnaspi32::windows
