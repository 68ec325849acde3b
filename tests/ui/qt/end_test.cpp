// Ending the program: the quit command, the main window's close box, the
// unusable ASPI layer, and boxes that meet a pending request to end.
#include <QElapsedTimer>
#include <QRadioButton>
#include <QToolButton>

#include "ui/qt/message_boxes.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

class Ending : public WindowsOnBus {
 protected:
  // Runs the event loop with `step` armed to run once the main window is
  // on screen; a loop that does not end fails the test by its time limit.
  int RunWith(const std::function<void()>& step) {
    QTimer::singleShot(0, [step] {
      if (!QTest::qWaitForWindowExposed(Form1)) return;
      step();
    });
    return RunBusview();
  }
};

TEST_F(Ending, QuitCommandEndsTheLoopWithCodeZero) {
  StartOn("one-adapter.json");
  bool clicked = false;
  const int code = RunWith([&] {
    Click(Form1->SpeedButton1);
    clicked = AboutBox->isVisible();
    Click(Form1->SpeedButton2);
  });
  EXPECT_TRUE(clicked);
  EXPECT_EQ(code, 0);
}

TEST_F(Ending, ClosingTheMainWindowEndsTheLoop) {
  StartOn("one-adapter.json");
  const int code = RunWith([] { Form1->close(); });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(EndRequestPending());
}

TEST_F(Ending, QuitDoesNotStopTheCommandThatAsked) {
  StartOn("one-adapter.json");
  bool ranOn = false;
  const int code = RunWith([&] {
    Form1->SpeedButton2Click(nullptr);
    ranOn = true;
    Form1->Button1Click(nullptr);
  });
  EXPECT_TRUE(ranOn);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Lines(Form1->Memo1).value(0), QStringLiteral("HostNo 0,ID 0 の装置"));
}

TEST_F(Ending, UnusableLayerWaitsForOneBoxThenEnds) {
  BoxWatcher boxes;
  StartOn("unusable.json");
  // The survey's own error box (its first inquiry is aborted) closed by
  // itself: only the probe's box waited for the user.
  EXPECT_EQ(boxes.seen, OnlyBox(QStringLiteral("ｴﾗｰ"),
                                QStringLiteral("ASPI for WIN32が組み込まれていません"),
                                QMessageBox::Critical));
  EXPECT_TRUE(EndRequestPending());
  ASSERT_NE(AboutBox, nullptr);
  EXPECT_FALSE(Form1->isVisible());
  EXPECT_EQ(RunBusview(), 0);
  EXPECT_EQ(boxes.seen.size(), 1u);
}

TEST_F(Ending, BoxOpenedAfterTheRequestClosesByItself) {
  StartOn("one-adapter.json");
  BoxWatcher boxes(BoxWatcher::Mode::Watch, 2000);
  PostEndRequest();
  QElapsedTimer clock;
  clock.start();
  ShowPlainBox(QStringLiteral("ホストアダプタをセレクトしてください"));
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_EQ(boxes.leftOpen, 0);
  EXPECT_EQ(RunBusview(), 0);
}

TEST_F(Ending, OpenBoxClosesWhenTheRequestComes) {
  StartOn("one-adapter.json");
  BoxWatcher boxes(BoxWatcher::Mode::Watch, 3000);
  QTimer::singleShot(100, [] { PostEndRequest(); });
  ShowPlainBox(QStringLiteral("ホストアダプタをセレクトしてください"));
  EXPECT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.leftOpen, 0);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Ending, BoxOpenInTheRunningLoopClosesAndTheLoopEnds) {
  StartOn("one-adapter.json");
  BoxWatcher boxes(BoxWatcher::Mode::Watch, 3000);
  bool boxReturned = false;
  const int code = RunWith([&] {
    Click(Form1->RadioButton2);
    QTimer::singleShot(100, [] { PostEndRequest(); });
    Click(Form1->Button1);  // the plain box: no adapter chosen
    boxReturned = true;
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(boxReturned);
  EXPECT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.leftOpen, 0);
}

}  // namespace
