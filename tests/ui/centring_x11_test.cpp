// The about box's first showing and every message box stand centred on the
// screen by their outer frame, on a real X server whose window manager
// adds the frames only once a window is on screen.
#include <QElapsedTimer>
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

QPoint CentredFrameTopLeft(QSize frame) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  return {std::max(0, (screen.width() - frame.width()) / 2),
          std::max(0, (screen.height() - frame.height()) / 2)};
}

bool Framed(const QWidget* window) {
  return window->windowHandle() && !window->windowHandle()->frameMargins().isNull();
}

bool CentredByItsFrame(const QWidget* window) {
  return Framed(window) &&
         window->frameGeometry().topLeft() == CentredFrameTopLeft(window->frameGeometry().size());
}

class Centring : public WindowsOnBus {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
        << "run through with-openbox.sh";
  }
};

TEST_F(Centring, AboutBoxFirstShowing) {
  StartShownOn("one-adapter.json");
  ASSERT_TRUE(QTest::qWaitFor([] { return Framed(Form1); }, PatienceMs))
      << "no window manager frames the windows";
  Click(Form1->SpeedButton1);
  (void)QTest::qWaitFor([] { return CentredByItsFrame(AboutBox); }, PatienceMs);
  ASSERT_TRUE(Framed(AboutBox));
  EXPECT_EQ(AboutBox->frameGeometry().topLeft(),
            CentredFrameTopLeft(AboutBox->frameGeometry().size()));
  // The frame is larger than the box: the centre is not the client's.
  EXPECT_GT(AboutBox->frameGeometry().height(), AboutBox->height());
}

// Where a message box stood once framed (or when patience ran out); the
// watcher then closes it with its button.
struct BoxPlace {
  bool framed = false;
  QRect frame;
};

BoxPlace PlaceOfTheBoxOpenedBy(const std::function<void()>& open) {
  BoxPlace seen;
  bool opened = false;
  QElapsedTimer clock;
  QTimer watcher;
  watcher.setInterval(20);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    if (!opened) clock.start();
    opened = true;
    seen = {Framed(box), box->frameGeometry()};
    if (CentredByItsFrame(box) || clock.elapsed() > PatienceMs) box->defaultButton()->click();
  });
  watcher.start();
  open();
  EXPECT_TRUE(opened) << "no box opened";
  return seen;
}

TEST_F(Centring, EveryMessageBox) {
  StartShownOn("one-adapter.json");
  ASSERT_TRUE(QTest::qWaitFor([] { return Framed(Form1); }, PatienceMs));
  Click(Form1->RadioButton2);
  struct Case {
    const char* box;
    QString adapterText;
  };
  // The plain box (no adapter chosen) and the failure box (an adapter text
  // that names no number).
  for (const Case& c : {Case{"plain", QString()}, Case{"failure", QStringLiteral("x1")}}) {
    SCOPED_TRACE(c.box);
    Form1->ComboBox2->setEditText(c.adapterText);
    const BoxPlace place = PlaceOfTheBoxOpenedBy([] { Click(Form1->Button1); });
    EXPECT_TRUE(place.framed);
    EXPECT_EQ(place.frame.topLeft(), CentredFrameTopLeft(place.frame.size()));
  }
}

}  // namespace
