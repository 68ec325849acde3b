// A drop-down list with an editable text field, as the main window's
// adapter and target lists use it.
#pragma once

#include <QComboBox>

#include <string_view>

class DropDownList : public QComboBox {
 public:
  explicit DropDownList(QWidget* parent);

  // Removes every entry; the text field keeps its text and cursor.
  void RemoveEntriesKeepText();
  // Appends an entry of code page 932 bytes, shown up to its first NUL
  // byte. The text field and the chosen entry stay as they were.
  void AppendEntry(std::string_view cp932Entry);
  // Entry 0, or the empty text when there is none.
  QString Entry0() const;

  // Opens the list, with room for one entry when it has none, and as wide
  // as its widest entry where that is wider than the field.
  void showPopup() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RemovePlaceholder();

  // The blank entry an empty list shows while it is open.
  bool placeholder_ = false;
};
