// The modeless about box: shown by the about command, hidden by OK or its
// close box, centred only the first time.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QToolButton>

#include "ui_fixture.h"

namespace {

using namespace uitest;

class AboutBoxTest : public WindowsOnBus {
 protected:
  void ShowByCommand() {
    Click(Form1->SpeedButton1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(AboutBox));
  }
};

TEST_F(AboutBoxTest, FirstShowingIsCentredAndCarriesItsTexts) {
  StartShownOn("one-adapter.json");
  ASSERT_FALSE(AboutBox->isVisible());
  ShowByCommand();
  EXPECT_TRUE(AboutBox->isVisible());
  EXPECT_FALSE(AboutBox->isModal());
  EXPECT_EQ(AboutBox->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  EXPECT_EQ(AboutBox->size(), QSize(256, 188));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(AboutBox->pos(), QPoint((screen.width() - AboutBox->frameGeometry().width()) / 2,
                                    (screen.height() - AboutBox->frameGeometry().height()) / 2));
  EXPECT_EQ(AboutBox->ProductName->text(), QStringLiteral("BUSVIEW.EXE"));
  EXPECT_EQ(AboutBox->Version->text(), QStringLiteral("Version 1.02"));
  EXPECT_EQ(AboutBox->OKButton->text(), QStringLiteral("OK"));
  EXPECT_TRUE(AboutBox->OKButton->isDefault());
  EXPECT_EQ(AboutBox->ProgramIcon->pixmap().size(), QSize(32, 32));
  EXPECT_EQ(AboutBox->findChild<QLabel*>(QStringLiteral("Copyright")), AboutBox->Copyright);
  EXPECT_EQ(QApplication::focusWidget(), AboutBox->OKButton);
}

TEST_F(AboutBoxTest, ReappearsWhereTheUserMovedIt) {
  StartShownOn("one-adapter.json");
  ShowByCommand();
  const QPoint moved(40, 30);
  AboutBox->move(moved);
  QCoreApplication::processEvents();
  Click(AboutBox->OKButton);
  EXPECT_FALSE(AboutBox->isVisible());
  ShowByCommand();
  EXPECT_EQ(AboutBox->pos(), moved);
}

TEST_F(AboutBoxTest, SecondAboutCommandOnlyRaisesIt) {
  StartShownOn("one-adapter.json");
  ShowByCommand();
  const QPoint place = AboutBox->pos();
  TAboutBox* const box = AboutBox;
  Click(Form1->SpeedButton1);
  EXPECT_EQ(AboutBox, box);
  EXPECT_TRUE(AboutBox->isVisible());
  EXPECT_EQ(AboutBox->pos(), place);
  int boxes = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == QStringLiteral("AboutBox")) ++boxes;
  }
  EXPECT_EQ(boxes, 1);
}

TEST_F(AboutBoxTest, CloseBoxHidesItAndTheProgramGoesOn) {
  StartShownOn("one-adapter.json");
  ShowByCommand();
  // The main window works while the box is open.
  Click(Form1->Button1);
  EXPECT_NE(Form1->Memo1->toPlainText(), QString());
  EXPECT_TRUE(AboutBox->close());
  EXPECT_FALSE(AboutBox->isVisible());
  EXPECT_FALSE(EndRequestPending());
  EXPECT_TRUE(Form1->isVisible());
  ShowByCommand();
  EXPECT_TRUE(AboutBox->isVisible());
}

TEST_F(AboutBoxTest, EnterPressesOk) {
  StartShownOn("one-adapter.json");
  ShowByCommand();
  QTest::keyClick(AboutBox->OKButton, Qt::Key_Return);
  EXPECT_FALSE(AboutBox->isVisible());
}

}  // namespace
