#include "ui/drop_down_list.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "ui/cp932_text.h"

namespace {

constexpr std::size_t MaxTypedBytes = 255;
constexpr int MaxVisibleEntries = 8;

}  // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // Typing starts nothing: Enter neither adds an entry nor picks one, and
  // no completion fills in entry texts.
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  setDuplicatesEnabled(true);
  setMaxVisibleItems(MaxVisibleEntries);
  lineEdit()->setValidator(new Cp932LengthValidator(MaxTypedBytes, this));
  // A chosen entry shows from its start, adapter number first, even where
  // the text field is narrower than the entry.
  connect(this, &QComboBox::activated, this, [this] { lineEdit()->home(false); });
}

void DropDownList::RemoveEntriesKeepText() {
  const QSignalBlocker blocker(this);
  const QString text = currentText();
  const int cursor = lineEdit()->cursorPosition();
  // clear() empties the text field unless no entry is current.
  setCurrentIndex(-1);
  clear();
  setCurrentIndex(-1);
  setEditText(text);
  lineEdit()->setCursorPosition(cursor);
}

void DropDownList::AppendEntry(std::string_view cp932Entry) {
  const QSignalBlocker blocker(this);
  const int index = currentIndex();
  const QString text = currentText();
  const int cursor = lineEdit()->cursorPosition();
  addItem(DisplayText(cp932Entry));
  // The first entry of an empty list would become current and fill the
  // text field.
  if (index == -1) {
    setCurrentIndex(-1);
    setEditText(text);
    lineEdit()->setCursorPosition(cursor);
  }
}

QString DropDownList::Entry0() const { return count() > 0 ? itemText(0) : QString(); }
