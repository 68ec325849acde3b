// The real door: the sg driver's write(2), poll(2) and read(2), and
// ioctl(HDIO_GETGEO) and pread(2) on block devices in a child process.
#include "wnaspi32/linux/linux_device_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace wnaspi32::linux_io {
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

// Waits for the command written to `fd` and reads its outcome back into
// `header`; false with errno set when that fails (ENODEV: the device left).
bool AwaitAnswer(int fd, sg_io_hdr_t& header) {
  while (true) {
    pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
    if (::poll(&ready, 1, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (::read(fd, &header, sizeof header) >= 0) return true;
    const bool hungUp = (ready.revents & (POLLHUP | POLLERR)) != 0;
    if ((errno != EAGAIN && errno != EINTR) || hungUp) return false;
  }
}

enum class Question { Geometry, Signature };

// The child's answer and how much of it arrived.
struct ChildReply {
  BlockAnswer answer;
  ssize_t got = -1;
};

// Only a whole answer of a child that got what it was asked counts: a child
// that could not open the device (no right to it, or it is gone) or died on
// the way gives nothing, never a zeroed answer.
bool Complete(const BlockAnswer& answer, ssize_t got) {
  return got == static_cast<ssize_t>(sizeof answer) && answer.given;
}

// Asks the block device `node` in a child process. Opening a disk waits,
// uninterruptibly, while its host's error handler runs, and a read that has
// not come back (HDIO_GETGEO reads the partition table) holds the device's
// last close until it does, also when the process is ending. A child stuck
// there keeps this process from nothing: the thread that asks waits for it
// in a way that ends with the process, and the child is left to init.
// vfork: the child borrows this process's memory instead of a copy of it,
// which would cost every thread a copied page for each page it then writes.
ChildReply AskBlockDevice(const std::string& node, Question question) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  Descriptor reader(ends[0]);
  const pid_t child = ::vfork();
  if (child == 0) {
    // On this thread's stack, while it waits: system calls only.
    BlockAnswer answer;
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && question == Question::Geometry)
      answer.given = ::ioctl(fd, HDIO_GETGEO, &answer.geometry) == 0;
    if (fd >= 0 && question == Question::Signature)
      answer.given = ::pread(fd, answer.signature, sizeof answer.signature, 440) ==
                     static_cast<ssize_t>(sizeof answer.signature);
    const ssize_t written = ::write(ends[1], &answer, sizeof answer);
    ::_exit(written == static_cast<ssize_t>(sizeof answer) ? 0 : 1);
  }
  ::close(ends[1]);
  if (child < 0) return {};
  ChildReply reply;
  do {
    reply.got = ::read(reader.get(), &reply.answer, sizeof reply.answer);
  } while (reply.got < 0 && errno == EINTR);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return reply;
}

class LinuxDeviceIo final : public DeviceIo {
 public:
  ScsiOutcome Run(const std::string& sgNode, const ScsiCommand& command) override {
    // Read-write, as the driver's write()/read() interface needs: a node
    // open to us for reading only counts as closed. O_NONBLOCK: neither
    // the open nor the write waits for a holder of an exclusive open or for
    // the host's error handler.
    Descriptor fd(::open(sgNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return {.error = errno};

    sg_io_hdr_t header = SgRequestHeader(command);
    if (::write(fd.get(), &header, sizeof header) < 0) return {.error = errno};
    // Not SG_IO: its thread sleeps uninterruptibly while the host's error
    // handler runs, and a process with such a thread cannot end until the
    // aborts and resets are over. A thread in poll() ends with the process.
    if (!AwaitAnswer(fd.get(), header)) return {.error = errno};

    return {.error = 0,
            .status = header.status,
            .hostStatus = header.host_status,
            .driverStatus = header.driver_status,
            .residual = header.resid,
            .senseLength = header.sb_len_wr};
  }

  std::optional<DiskGeometry> Geometry(const std::string& blockNode) override {
    const ChildReply reply = AskBlockDevice(blockNode, Question::Geometry);
    return GeometryIn(reply.answer, reply.got);
  }

  std::optional<std::uint32_t> MbrSignature(const std::string& blockNode) override {
    const ChildReply reply = AskBlockDevice(blockNode, Question::Signature);
    return SignatureIn(reply.answer, reply.got);
  }
};

}  // namespace

sg_io_hdr_t SgRequestHeader(const ScsiCommand& command) {
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
  return header;
}

std::optional<DiskGeometry> GeometryIn(const BlockAnswer& answer, ssize_t got) {
  if (!Complete(answer, got)) return std::nullopt;
  return DiskGeometry{answer.geometry.heads, answer.geometry.sectors};
}

std::optional<std::uint32_t> SignatureIn(const BlockAnswer& answer, ssize_t got) {
  if (!Complete(answer, got)) return std::nullopt;
  const unsigned char* bytes = answer.signature;
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

std::unique_ptr<DeviceIo> MakeLinuxDeviceIo() { return std::make_unique<LinuxDeviceIo>(); }

}  // namespace wnaspi32::linux_io
