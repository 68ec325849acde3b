// The real door: the sg driver's write(2), poll(2) and read(2), and
// ioctl(HDIO_GETGEO) and pread(2) on block devices in a child process.
#include "wnaspi32/linux/linux_device_io.h"

#include <fcntl.h>
#include <sched.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
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

// What the child is to ask, and where it writes its answer.
struct ChildWork {
  const char* node;
  Question question;
  int answerFd;
};

// The child's whole life: bare system calls on a stack of its own. It
// shares this process's memory (see AskBlockDevice), so it calls nothing a
// sanitizer or a library hook could make keep something there, and is
// itself not instrumented.
__attribute__((no_sanitize("address", "thread", "undefined"))) int AskInChild(void* argument) {
  const auto& work = *static_cast<const ChildWork*>(argument);
  BlockAnswer answer;
  const long fd = ::syscall(SYS_openat, AT_FDCWD, work.node, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0 && work.question == Question::Geometry)
    answer.given = ::syscall(SYS_ioctl, fd, HDIO_GETGEO, &answer.geometry) == 0;
  if (fd >= 0 && work.question == Question::Signature)
    answer.given = ::syscall(SYS_pread64, fd, answer.signature, sizeof answer.signature, 440) ==
                   static_cast<long>(sizeof answer.signature);
  const long written = ::syscall(SYS_write, work.answerFd, &answer, sizeof answer);
  ::syscall(SYS_exit_group, written == static_cast<long>(sizeof answer) ? 0 : 1);
  return 1;
}

// Asks the block device `node` in a child process. Opening a disk waits,
// uninterruptibly, while its host's error handler runs, and a read that has
// not come back (HDIO_GETGEO reads the partition table) holds the device's
// last close until it does, also when the process is ending. A child stuck
// there keeps this process from nothing: the thread that asks waits for it
// in a way that ends with the process (CLONE_VFORK's wait for the child
// can be killed), and the child is left to init. The child borrows this
// process's memory, as posix_spawn's does, instead of a copy of it, which
// would cost every thread a copied page for each page it then writes
// (twice the time of a wide scan in the lab).
ChildReply AskBlockDevice(const std::string& node, Question question) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  Descriptor reader(ends[0]);
  ChildWork work{.node = node.c_str(), .question = question, .answerFd = ends[1]};
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // Sanitized builds ask through a copy. LeakSanitizer's check at the end
  // stops every thread, and one that waits for a child borrowing its memory
  // cannot stop before the child ends (a hung disk: the kernel's whole
  // error handling); ThreadSanitizer takes any new process for a copy of
  // this one and refuses new threads after it.
  const pid_t child = ::fork();
  if (child == 0) AskInChild(&work);
#else
  // This thread waits while the child runs: its stack may lend the child's.
  alignas(64) std::uint8_t stack[16 * 1024];
  const pid_t child = ::clone(AskInChild, stack + sizeof stack, CLONE_VM | CLONE_VFORK | SIGCHLD, &work);
#endif
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
