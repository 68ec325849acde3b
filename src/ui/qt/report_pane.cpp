#include "ui/qt/report_pane.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>

#include <memory>

#include "ui/qt/cp932_text.h"
#include "ui/qt/message_boxes.h"
#include "ui/qt/save_file.h"

ReportPane::ReportPane(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setUndoRedoEnabled(false);
}

void ReportPane::Clear() {
  clear();
  empty_ = true;
}

void ReportPane::AppendLine(std::string_view cp932Line) {
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  // An empty pane has one empty block, which takes the first line; every
  // later line gets a block of its own. DisplayText turns line breaks into
  // substitutes, so one call is one line.
  if (!empty_) end.insertBlock();
  end.insertText(DisplayText(cp932Line));
  empty_ = false;
}

QStringList ReportPane::Lines() const {
  QStringList lines;
  if (empty_) return lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    lines << block.text();
  }
  return lines;
}

void ReportPane::SetSaveName(const QString& fileName) { saveName_ = fileName; }

void ReportPane::SaveAs() {
  QFileDialog dialog(window(), QStringLiteral("名前を付けて保存"));
  // Qt's own dialog, in Japanese like the rest of the window.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("テキスト ファイル (*.txt)"),
                         QStringLiteral("すべてのファイル (*)")});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (!saveName_.isEmpty()) dialog.selectFile(saveName_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().constFirst();

  QString text;
  for (const QString& line : Lines()) text += line + QLatin1Char('\n');
  const int error = WriteFileWhole(QFile::encodeName(path).toStdString(), text.toUtf8().toStdString());
  if (error != 0) {
    ShowErrorBox(QStringLiteral("「%1」を保存できませんでした。\n%2").arg(path, FailureReason(error)));
  }
}

void ReportPane::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
  menu->addSeparator();
  const QAction* save = menu->addAction(QStringLiteral("名前を付けて保存..."));
  if (menu->exec(event->globalPos()) == save) SaveAs();
}
