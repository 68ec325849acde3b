// Choosing an adapter rebuilds the target list from the targets that
// answer on it.
#include "ui/commands/integer_conversions.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

QStringList Entries(const QComboBox* list) {
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  return entries;
}

class AdapterSelection : public WindowsOnBus {};

TEST_F(AdapterSelection, ListsTheAnsweringTargetsAndShowsTheLowest) {
  StartShownOn("selection.json");
  const QString memo2 = Form1->Memo2->toPlainText();
  ChooseAdapterEntry(0);
  EXPECT_EQ(Entries(Form1->ComboBox1), (QStringList{"2", "5"}));
  EXPECT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("2"));
  // Nothing goes to the panes.
  EXPECT_EQ(Form1->Memo1->toPlainText(), QString());
  EXPECT_EQ(Form1->Memo2->toPlainText(), memo2);

  ChooseAdapterEntry(1);
  EXPECT_EQ(Form1->ComboBox2->currentText(), QStringLiteral("1 : EMPTY"));
  EXPECT_EQ(Entries(Form1->ComboBox1), QStringList());
  EXPECT_EQ(Form1->ComboBox1->currentText(), QString());
}

TEST_F(AdapterSelection, ReplacesATypedTargetText) {
  StartShownOn("selection.json");
  ChooseAdapterEntry(0);
  TypeInto(Form1->ComboBox1, QStringLiteral("7"));
  ASSERT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("7"));
  // Typing into either list starts nothing.
  EXPECT_EQ(Entries(Form1->ComboBox1), (QStringList{"2", "5"}));
  ChooseAdapterEntry(1);
  ChooseAdapterEntry(0);
  EXPECT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("2"));
}

TEST_F(AdapterSelection, ChosenTargetEntryDoesNotSurviveTheNextSelection) {
  StartShownOn("selection.json");
  ChooseAdapterEntry(0);
  ChooseEntry(Form1->ComboBox1, 1);
  ASSERT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("5"));
  ChooseAdapterEntry(1);
  EXPECT_EQ(Form1->ComboBox1->count(), 0);
  EXPECT_EQ(Form1->ComboBox1->currentText(), QString());
}

TEST_F(AdapterSelection, ReachesAdaptersFromTenOn) {
  StartShownOn("thirteen-adapters.json");
  ChooseAdapterEntry(12);
  // Adapter n answers at target n % 8 alone: adapter 1 would give 1.
  EXPECT_EQ(Entries(Form1->ComboBox1), QStringList{"4"});
  ChooseAdapterEntry(10);
  EXPECT_EQ(Entries(Form1->ComboBox1), QStringList{"2"});
}

TEST_F(AdapterSelection, FailureLeavesTheTargetListEmptyWithItsText) {
  StartShownOn("selection.json");
  ChooseAdapterEntry(0);
  Form1->ComboBox2->setEditText(QStringLiteral("x1"));
  EXPECT_THROW(Form1->ComboBox2Click(Form1->ComboBox2), CommandFailure);
  EXPECT_EQ(Form1->ComboBox1->count(), 0);
  EXPECT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("2"));
}

// Removing every entry must not take the text field's text with it, even
// when an entry is current.
TEST(DropDownList, RemovingEntriesKeepsTextAndCursor) {
  DropDownList list(nullptr);
  list.AppendEntry("2");
  list.AppendEntry("5");
  EXPECT_EQ(list.currentIndex(), -1);
  EXPECT_EQ(list.currentText(), QString());
  list.setCurrentIndex(1);
  list.lineEdit()->setCursorPosition(0);
  list.RemoveEntriesKeepText();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.currentText(), QStringLiteral("5"));
  EXPECT_EQ(list.lineEdit()->cursorPosition(), 0);
  EXPECT_EQ(list.Entry0(), QString());
  list.AppendEntry(std::string("A\0B", 3));
  EXPECT_EQ(list.Entry0(), QStringLiteral("A"));
  EXPECT_EQ(list.currentText(), QStringLiteral("5"));
}

}  // namespace
