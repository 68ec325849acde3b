// The window by keyboard: typing into a list's field starts nothing, Enter
// presses the focused push button, Escape leaves the about box alone, and
// the open lists show every entry whole.
#include <QAbstractItemView>
#include <QToolButton>

#include "ui/qt/scaling.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

struct Key {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};

const Key EndingKeys[] = {
    {"Return", Qt::Key_Return, Qt::NoModifier},
    {"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier},
    {"Tab", Qt::Key_Tab, Qt::NoModifier},
};

class Keyboard : public WindowsOnBus {
 protected:
  void StartActiveOn(const char* busFile) {
    StartShownOn(busFile);
    Form1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
  }
};

class KeyboardEnding : public Keyboard, public ::testing::WithParamInterface<Key> {};

// Qt picks the matching entry when editing a combo box's text ends; that
// must not pass for a choice of the user.
TEST_P(KeyboardEnding, TypingAnEntryTextStartsNoAdapterSelection) {
  StartActiveOn("selection.json");
  TypeInto(Form1->ComboBox1, QStringLiteral("7"));
  Form1->ComboBox2->setFocus();
  TypeInto(Form1->ComboBox2, QStringLiteral("0 : TWO-AND-FIVE"));
  QTest::keyClick(Form1->ComboBox2->lineEdit(), GetParam().key, GetParam().modifiers);
  EXPECT_EQ(Form1->ComboBox1->count(), 0);
  EXPECT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("7"));
  EXPECT_EQ(Form1->ComboBox2->currentText(), QStringLiteral("0 : TWO-AND-FIVE"));
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyboardEnding, ::testing::ValuesIn(EndingKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Keyboard, EnterPressesTheFocusedPushButton) {
  StartActiveOn("one-adapter.json");
  for (const Key& enter : {EndingKeys[0], EndingKeys[1]}) {
    SCOPED_TRACE(enter.name);
    Form1->Memo1->Clear();
    Form1->Button1->setFocus();
    QTest::keyClick(Form1->Button1, enter.key, enter.modifiers);
    EXPECT_NE(Form1->Memo1->toPlainText(), QString());

    Click(Form1->SpeedButton1);
    ASSERT_TRUE(QTest::qWaitForWindowActive(AboutBox));
    ASSERT_EQ(QApplication::focusWidget(), AboutBox->OKButton);
    QTest::keyClick(AboutBox->OKButton, enter.key, enter.modifiers);
    EXPECT_FALSE(AboutBox->isVisible());
    Form1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
  }
}

TEST_F(Keyboard, EscapeLeavesTheAboutBoxOpen) {
  StartShownOn("one-adapter.json");
  Click(Form1->SpeedButton1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(AboutBox));
  QTest::keyClick(AboutBox->OKButton, Qt::Key_Escape);
  QTest::keyClick(AboutBox, Qt::Key_Escape);
  EXPECT_TRUE(AboutBox->isVisible());
}

// Opens a list by keyboard and returns the open list's view.
QAbstractItemView* OpenByKeyboard(DropDownList* list) {
  list->setFocus();
  QTest::keyClick(list, Qt::Key_F4);
  return QApplication::activePopupWidget() ? list->view() : nullptr;
}

TEST_F(Keyboard, EmptyListOpensWithRoomForOneEntry) {
  StartShownOn("selection.json");
  QAbstractItemView* view = OpenByKeyboard(Form1->ComboBox1);
  ASSERT_NE(view, nullptr) << "the empty target list did not open";
  const QSize emptySize = QApplication::activePopupWidget()->size();
  QTest::keyClick(view, Qt::Key_Escape);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(Form1->ComboBox1->count(), 0);
  EXPECT_EQ(Form1->ComboBox1->currentText(), QString());

  // As tall as the list with one entry.
  Form1->ComboBox1->AppendEntry("2");
  view = OpenByKeyboard(Form1->ComboBox1);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(QApplication::activePopupWidget()->size(), emptySize);
  QTest::keyClick(view, Qt::Key_Escape);
}

TEST_F(Keyboard, OpenListShowsItsLongestEntryWhole) {
  StartShownOn("odd-texts.json");
  const QSize closed = Form1->ComboBox2->size();
  QAbstractItemView* view = OpenByKeyboard(Form1->ComboBox2);
  ASSERT_NE(view, nullptr);
  ASSERT_GT(view->sizeHintForColumn(0), closed.width()) << "the bus's names are too short";
  EXPECT_GE(view->viewport()->width(), view->sizeHintForColumn(0));
  EXPECT_EQ(Form1->ComboBox2->size(), closed);
  // Choosing from the open list still selects the adapter.
  QTest::keyClick(view, Qt::Key_Home);
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(Form1->ComboBox2->currentText(), QStringLiteral("0 : ABCDEFGHIJKLMNOP"));
  EXPECT_EQ(Form1->ComboBox1->currentText(), QStringLiteral("0"));
}

}  // namespace
