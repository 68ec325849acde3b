#include "files/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

#ifdef _WIN32
constexpr const char* Separators = "/\\";

// The command line's file names are in the ANSI code page, as MoveFileExA
// would take them.
std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
  return wide;
}

// rename() cannot replace a file on Windows.
int Replace(const std::string& from, const std::string& to) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  const DWORD error = GetLastError();
  errno = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES : EIO;
  return -1;
}

int MakeUnique(std::string& name) { return mkstemp(name.data()); }

int SyncToDisk(int descriptor, const std::string&) { return _commit(descriptor); }

void RemoveOnSignal(const std::string&) {}
void ForgetOnSignal() {}
#else
constexpr const char* Separators = "/";

int Replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()); }

// Not inherited by the layer's children, which may outlive the run.
int MakeUnique(std::string& name) { return mkostemp(name.data(), O_CLOEXEC); }

// mkostemp makes the file for its owner alone; the report gets the
// permissions of the file it replaces, or those of any new file of the user
// (the node exporter reads it as a user of its own), as the window's saved
// files do.
int SyncToDisk(int descriptor, const std::string& path) {
  struct stat existing {};
  mode_t mode = 0;
  if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(descriptor, mode) != 0) return -1;
  return fsync(descriptor);
}

// The new file of a run that a signal ends (Ctrl-C, systemd's stop) goes
// with it. A handler may only call what is async-signal-safe: the name
// waits in a fixed buffer.
char pendingName[4096];
volatile std::sig_atomic_t namePending = 0;

extern "C" void RemovePendingAndEnd(int signal) {
  if (namePending != 0) unlink(pendingName);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void RemoveOnSignal(const std::string& name) {
  if (name.size() >= sizeof pendingName) return;
  name.copy(pendingName, name.size());
  pendingName[name.size()] = '\0';
  namePending = 1;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    // Left alone when ignored, as under nohup.
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
    std::signal(signal, RemovePendingAndEnd);
  }
}

void ForgetOnSignal() { namePending = 0; }
#endif

}  // namespace

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() {
  if (descriptor_ >= 0) close(descriptor_);
  if (temporary_.empty()) return;
  std::remove(temporary_.c_str());
  if (removeOnSignal_) ForgetOnSignal();
}

bool ReplacingFile::Open(bool removeOnSignal) {
  const std::size_t slash = path_.find_last_of(Separators);
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  temporary_ = path_.substr(0, name) + "." + path_.substr(name) + ".XXXXXX";
  descriptor_ = MakeUnique(temporary_);
  if (descriptor_ < 0) {
    temporary_.clear();
    return Failed();
  }
  removeOnSignal_ = removeOnSignal;
  if (removeOnSignal_) RemoveOnSignal(temporary_);
  return true;
}

bool ReplacingFile::Write(std::string_view bytes) { return WriteAll(descriptor_, bytes) || Failed(); }

bool ReplacingFile::Commit() {
  if (SyncToDisk(descriptor_, path_) != 0) return Failed();
  if (close(std::exchange(descriptor_, -1)) != 0) return Failed();
  if (Replace(temporary_, path_) != 0) return Failed();
  if (removeOnSignal_) ForgetOnSignal();
  temporary_.clear();
  return true;
}

bool ReplacingFile::Failed() {
  error_ = errno;
  return false;
}
