#include "ui/qt/drop_down_list.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "ui/layout/window_texts.h"
#include "ui/qt/cp932_text.h"

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  // Typing starts nothing: Enter neither adds an entry nor picks one, and
  // no completion fills in entry texts.
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  setDuplicatesEnabled(true);
  setMaxVisibleItems(MaxVisibleEntries);
  lineEdit()->setValidator(new Cp932LengthValidator(MaxTypedBytes, this));
  // When editing ends (Enter, Tab, the focus leaving), Qt makes an entry
  // whose text matches the typed text current and reports it as chosen:
  // typing would start the adapter selection.
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
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

void DropDownList::showPopup() {
  // Qt opens no list without entries. An empty one gets a blank entry that
  // cannot be chosen, removed again when the list closes.
  if (count() == 0) {
    AppendEntry("");
    auto* entries = qobject_cast<QStandardItemModel*>(model());
    if (entries != nullptr) entries->item(0)->setFlags(Qt::NoItemFlags);
    placeholder_ = true;
  }
  // Whole entries: the open list grows to the widest one; the field keeps
  // its size.
  QAbstractItemView* entries = view();
  int width = entries->sizeHintForColumn(0) + 2 * entries->frameWidth();
  if (count() > maxVisibleItems()) width += entries->verticalScrollBar()->sizeHint().width();
  entries->setMinimumWidth(width);
  QComboBox::showPopup();
  // The list's window closes by hidePopup or by Qt closing popups (another
  // window activated); either way it hides.
  QWidget* popup = entries->window();
  if (popup != window()) popup->installEventFilter(this);
  if (!popup->isVisible()) RemovePlaceholder();
}

bool DropDownList::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide && watched == view()->window()) RemovePlaceholder();
  return QComboBox::eventFilter(watched, event);
}

void DropDownList::RemovePlaceholder() {
  if (!placeholder_) return;
  placeholder_ = false;
  RemoveEntriesKeepText();
}
