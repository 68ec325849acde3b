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

 private:
  bool empty_ = true;
};
