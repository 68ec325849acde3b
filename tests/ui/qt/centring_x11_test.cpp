// The about box's first showing and every message box stand centred on the
// screen by their outer frame, on a real X server whose window manager
// adds the frames only once a window is on screen.
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include <functional>

#include "ui_fixture.h"

namespace {

using namespace uitest;

constexpr int PatienceMs = 5000;

bool Framed(const QWidget* window) {
  return window->windowHandle() && !window->windowHandle()->frameMargins().isNull();
}

bool CentredByItsFrame(const QWidget* window) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QRect frame = window->frameGeometry();
  return Framed(window) && frame.topLeft() == QPoint(std::max(0, (screen.width() - frame.width()) / 2),
                                                     std::max(0, (screen.height() - frame.height()) / 2));
}

// Waits for `window` to stand centred by its frame; the frame it has then.
QRect FrameOnceCentred(const QWidget* window) {
  (void)QTest::qWaitFor([window] { return CentredByItsFrame(window); }, PatienceMs);
  EXPECT_TRUE(Framed(window)) << "no window manager framed it";
  EXPECT_TRUE(CentredByItsFrame(window)) << "frame at " << window->frameGeometry().x() << ", "
                                         << window->frameGeometry().y();
  return window->frameGeometry();
}

class Centring : public WindowsOnBus {
 protected:
  void StartFramed() {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "run through with-openbox.sh";
    StartShownOn("one-adapter.json");
    ASSERT_TRUE(QTest::qWaitFor([] { return Framed(Form1); }, PatienceMs));
  }
};

TEST_F(Centring, AboutBoxFirstShowing) {
  StartFramed();
  Click(Form1->SpeedButton1);
  // The frame is larger than the box: its centre is not the client's.
  EXPECT_GT(FrameOnceCentred(AboutBox).height(), AboutBox->height());
}

TEST_F(Centring, EveryMessageBox) {
  StartFramed();
  Click(Form1->RadioButton2);
  // The plain box (no adapter chosen) and the failure box (an adapter text
  // that names no number).
  for (const QString& adapterText : {QString(), QStringLiteral("x1")}) {
    SCOPED_TRACE(adapterText.toStdString());
    Form1->ComboBox2->setEditText(adapterText);
    bool seen = false;
    // From the box's own loop.
    QTimer::singleShot(0, [&seen] {
      QMessageBox* box = nullptr;
      seen = QTest::qWaitFor([&box] {
        return (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) != nullptr;
      });
      if (!seen) return;
      FrameOnceCentred(box);
      box->defaultButton()->click();
    });
    Click(Form1->Button1);
    EXPECT_TRUE(seen);
  }
}

}  // namespace
