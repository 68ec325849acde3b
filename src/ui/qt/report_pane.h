// A read-only text pane with a vertical scroll bar that takes lines of
// code page 932 bytes.
#pragma once

#include <QPlainTextEdit>

#include <string_view>

class ReportPane : public QPlainTextEdit {
 public:
  explicit ReportPane(QWidget* parent);

  void Clear();
  // Shows the line up to its first NUL byte; the next line starts on a
  // line of its own all the same. The view stays where it is, so a report
  // is read from its top.
  void AppendLine(std::string_view cp932Line);

  // The lines as shown, each cut at its first NUL byte; none when empty.
  QStringList Lines() const;
  // The name the save dialog proposes.
  void SetSaveName(const QString& fileName);
  // 「名前を付けて保存...」: asks for a file and writes the lines to it as
  // UTF-8 text, one line each; a failure shows the error box.
  void SaveAs();

 protected:
  // Qt's menu with 「名前を付けて保存...」 below it.
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  bool empty_ = true;
  QString saveName_;
};
