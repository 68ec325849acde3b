#include "ui/qt/save_file.h"

#include <cerrno>
#include <cstring>

#include "files/replacing_file.h"

int WriteFileWhole(const std::string& path, std::string_view bytes) {
  ReplacingFile file(path);
  if (file.Open() && file.Write(bytes) && file.Commit()) return 0;
  return file.error();
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
