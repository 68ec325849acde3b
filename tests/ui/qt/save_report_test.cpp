// The right-click menus in Japanese, and 「名前を付けて保存...」 of the two
// panes: the pane's lines as UTF-8 text, written whole or not at all.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "ui/qt/save_file.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

// Right-clicks `control`; from the loop the menu runs, notes the menu's
// entries (without their shortcuts) and hands the menu to `then`.
QStringList RightClick(QWidget* control, const std::function<void(QMenu*)>& then) {
  QStringList entries;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !entries.isEmpty()) return;
    for (const QAction* action : menu->actions()) {
      if (!action->isSeparator()) entries << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    then(menu);
  });
  poll.start();
  // Through the window, which makes the press a context menu request.
  QWidget* window = control->window();
  QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                    control->mapTo(window, QPoint(5, 5)));
  // A text field's menu does not wait for the user.
  (void)QTest::qWaitFor([&] { return !entries.isEmpty(); }, 2000);
  return entries;
}

void Close(QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); }

// The last entry, 「名前を付けて保存...」, by keyboard.
void ChooseSave(QMenu* menu) {
  QTest::keyClick(menu, Qt::Key_Up);
  QTest::keyClick(menu, Qt::Key_Return);
}

// Answers Qt's save dialog, once it is up, with `name` in `folder`. (Typed
// keys lose their way in its completer, and its 保存 button ignores
// synthetic clicks offscreen.)
class SaveDialogAnswer {
 public:
  SaveDialogAnswer(const QString& folder, const QString& name) {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this, folder, name] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || answered) return;
      title = dialog->windowTitle();
      if (dialog->directory() != QDir(folder)) dialog->setDirectory(folder);
      // selectFile leaves the name field alone once it has the focus.
      if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        field->setText(name);
      else
        dialog->selectFile(name);
      // Answer once the dialog names the file asked for.
      if (dialog->selectedFiles() != QStringList{QDir(folder).filePath(name)}) {
        if (++tries_ == 500) dialog->reject();  // not answered: the test fails
        return;
      }
      answered = true;
      QMetaObject::invokeMethod(dialog, "accept");
    });
    poll_.start();
  }

  bool answered = false;
  QString title;

 private:
  QTimer poll_;
  int tries_ = 0;
};

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

class SaveReport : public WindowsOnBus {};

TEST_F(SaveReport, RightClickMenusAreJapanese) {
  StartShownOn("one-adapter.json");
  Click(Form1->Button1);
  const QStringList pane{"コピー(&C)", "すべてを選択", "名前を付けて保存..."};
  EXPECT_EQ(RightClick(Form1->Memo1->viewport(), Close), pane);
  EXPECT_EQ(RightClick(Form1->Memo2->viewport(), Close), pane);
  const QStringList field{"元に戻す(&U)", "やり直す(&R)", "切り取り(&T)", "コピー(&C)",
                          "貼り付け(&P)", "削除", "すべてを選択"};
  EXPECT_EQ(RightClick(Form1->ComboBox2->lineEdit(), Close), field);
}

TEST_F(SaveReport, SavesEachPaneAsUtf8Lines) {
  StartShownOn("odd-texts.json");
  Click(Form1->Button1);
  QTemporaryDir folder;
  for (ReportPane* pane : {Form1->Memo1, Form1->Memo2}) {
    SCOPED_TRACE(pane->objectName().toStdString());
    const QString name = pane->objectName() + QStringLiteral(".txt");
    const QString path = folder.filePath(name);
    SaveDialogAnswer answer(folder.path(), name);
    RightClick(pane->viewport(), ChooseSave);
    ASSERT_TRUE(answer.answered);
    EXPECT_EQ(answer.title, QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(Contents(path), (pane->Lines().join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  }
}

TEST_F(SaveReport, FailureShowsTheFileAndTheReasonAndLeavesNothing) {
  StartShownOn("one-adapter.json");
  QTemporaryDir folder;
  QFile plain(folder.filePath(QStringLiteral("plain")));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  struct Case {
    QString name;
    QString reason;
  };
  for (const Case& c : {Case{"missing/report.txt", "フォルダが見つかりません"},
                        Case{"plain/report.txt", "パスの途中にフォルダでないものがあります"}}) {
    SCOPED_TRACE(c.name.toStdString());
    BoxWatcher boxes;
    SaveDialogAnswer answer(folder.path(), c.name);
    RightClick(Form1->Memo2->viewport(), ChooseSave);
    EXPECT_EQ(boxes.seen, OnlyBox(QStringLiteral("ｴﾗｰ"),
                                  QStringLiteral("「%1」を保存できませんでした。\n%2")
                                      .arg(folder.filePath(c.name), c.reason),
                                  QMessageBox::Critical));
  }
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"plain"});
}

// Whole or not at all: a replaced file keeps its permissions; a rename
// that fails leaves neither half a file nor the new one behind.
TEST(WriteFileWhole, ReplacesWholeOrLeavesAllAsItWas) {
  QTemporaryDir folder;
  const std::string old = folder.filePath(QStringLiteral("old.txt")).toStdString();
  const std::string dir = folder.filePath(QStringLiteral("dir")).toStdString();
  QFile file(QString::fromStdString(old));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("a much longer old text\n");
  file.close();
  ASSERT_EQ(chmod(old.c_str(), 0640), 0);
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("dir")));

  EXPECT_EQ(WriteFileWhole(old, "new\n"), 0);
  EXPECT_EQ(Contents(QString::fromStdString(old)), QByteArray("new\n"));
  struct stat status {};
  ASSERT_EQ(stat(old.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);

  EXPECT_EQ(WriteFileWhole(dir, "text\n"), EISDIR);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"dir", "old.txt"}));
  EXPECT_EQ(FailureReason(EISDIR), QStringLiteral("同じ名前のフォルダがあります"));
}

// A new file gets read and write for everyone, less what the umask takes.
TEST(WriteFileWhole, NewFileTakesTheUmask) {
  QTemporaryDir folder;
  for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
    SCOPED_TRACE(testing::Message() << "umask " << std::oct << mask);
    const std::string path = folder.filePath(QString::number(mask)).toStdString();
    const mode_t before = umask(mask);
    EXPECT_EQ(WriteFileWhole(path, "text\n"), 0);
    umask(before);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
  }
}

// The new file is made beside the target, so a folder the user may write
// is enough even where the folder above it is read-only. The save runs as
// an ordinary user: root, whom no mode bits stop, gives way to nobody.
TEST(WriteFileWhole, NeedsOnlyTheTargetsFolderWritable) {
  QTemporaryDir base;
  const std::string parent = base.path().toStdString() + "/parent";
  const std::string target = parent + "/folder/report.txt";
  ASSERT_EQ(mkdir(parent.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((parent + "/folder").c_str(), 0755), 0);
  ASSERT_EQ(chmod((parent + "/folder").c_str(), 0777), 0);
  ASSERT_EQ(chmod(base.path().toStdString().c_str(), 0755), 0);
  ASSERT_EQ(chmod(parent.c_str(), 0555), 0);
  const pid_t child = fork();
  if (child == 0) {
    constexpr uid_t Nobody = 65534;
    if (geteuid() == 0 && (setgid(Nobody) != 0 || setuid(Nobody) != 0)) _exit(255);
    _exit(WriteFileWhole(target, "text\n"));
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  chmod(parent.c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << std::strerror(WEXITSTATUS(status));
  EXPECT_EQ(Contents(QString::fromStdString(target)), QByteArray("text\n"));
}

}  // namespace
