#include "ui/report_pane.h"

#include <QTextCursor>

#include "ui/cp932_text.h"

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
