#include "ui/qt/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Permissions of the file being replaced, or those of a new file.
mode_t ModeFor(const std::string& path) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    return existing.st_mode & 07777;
  }
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

}  // namespace

int WriteFileWhole(const std::string& path, std::string_view bytes) {
  // The new file in the same folder, so the rename never crosses file
  // systems.
  const std::size_t slash = path.rfind('/');
  std::string temporary =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
      ".busview-save-XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int error = fchmod(fd, ModeFor(path)) == 0 ? 0 : errno;
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
}

QString FailureReason(int error) {
  switch (error) {
    case ENOENT: return QStringLiteral("フォルダが見つかりません");
    case ENOTDIR: return QStringLiteral("パスの途中にフォルダでないものがあります");
    case EACCES:
    case EPERM: return QStringLiteral("書き込む権限がありません");
    case EROFS: return QStringLiteral("読み取り専用のファイルシステムです");
    case ENOSPC: return QStringLiteral("ディスクに空きがありません");
    case EDQUOT: return QStringLiteral("ディスクの使用量の上限を超えます");
    case EISDIR: return QStringLiteral("同じ名前のフォルダがあります");
    case ENAMETOOLONG: return QStringLiteral("名前が長すぎます");
    case EIO: return QStringLiteral("入出力エラーが起きました");
    default:
      return QStringLiteral("エラー番号 %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
  }
}
