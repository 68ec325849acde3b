// The real door: open(2), ioctl(SG_IO), ioctl(HDIO_GETGEO), pread(2).
#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "sg/device_io.h"

namespace wnaspi32::sg {
namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

class LinuxDeviceIo final : public DeviceIo {
 public:
  ScsiOutcome Run(const std::string& sgNode, const ScsiCommand& command) override {
    // O_NONBLOCK: do not wait for a holder of an exclusive open; read-only
    // is all a data-in command needs, and all a user in `disk` may have.
    Descriptor fd(::open(sgNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return {.error = errno};

    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction = command.data.empty() ? SG_DXFER_NONE : SG_DXFER_FROM_DEV;
    header.cmd_len = static_cast<unsigned char>(command.cdb.size());
    header.cmdp = const_cast<unsigned char*>(command.cdb.data());
    header.dxfer_len = static_cast<unsigned>(command.data.size());
    header.dxferp = command.data.empty() ? nullptr : command.data.data();
    header.mx_sb_len = static_cast<unsigned char>(command.sense.size());
    header.sbp = command.sense.data();
    header.timeout = command.timeoutMs;
    if (::ioctl(fd.get(), SG_IO, &header) < 0) return {.error = errno};

    return {.error = 0,
            .status = header.status,
            .hostStatus = header.host_status,
            .driverStatus = header.driver_status,
            .residual = header.resid,
            .senseLength = header.sb_len_wr};
  }

  std::optional<DiskGeometry> Geometry(const std::string& blockNode) override {
    Descriptor fd(::open(blockNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    hd_geometry geometry{};
    if (::ioctl(fd.get(), HDIO_GETGEO, &geometry) < 0) return std::nullopt;
    return DiskGeometry{geometry.heads, geometry.sectors};
  }

  std::optional<std::uint32_t> MbrSignature(const std::string& blockNode) override {
    Descriptor fd(::open(blockNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    unsigned char bytes[4];
    if (::pread(fd.get(), bytes, sizeof bytes, 440) != static_cast<ssize_t>(sizeof bytes))
      return std::nullopt;
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
           std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
  }
};

}  // namespace

std::unique_ptr<DeviceIo> MakeLinuxDeviceIo() { return std::make_unique<LinuxDeviceIo>(); }

}  // namespace wnaspi32::sg
