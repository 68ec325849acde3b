#include "ui/qt/centring.h"

#include <QApplication>
#include <QMargins>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int WatchIntervalMs = 10;
// How long a window manager may take to frame a window; without one the
// frame never comes and the first placement stands.
constexpr int WatchLimitMs = 5000;
// How long the frame must stand still before the watch ends.
constexpr int SettledMs = 500;

QMargins KnownFrame(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle ? handle->frameMargins() : QMargins();
}

// The frame of a window that has one; window managers give our windows
// alike frames.
QMargins GuessedFrame(const QWidget& window) {
  const QMargins own = KnownFrame(window);
  if (!own.isNull()) return own;
  for (const QWidget* other : QApplication::topLevelWidgets()) {
    if (other == &window || !other->isVisible()) continue;
    const QMargins frame = KnownFrame(*other);
    if (!frame.isNull()) return frame;
  }
  return {};
}

// Puts the client area where the outer frame, `frame` around it, is centred.
void Place(QWidget& window, const QMargins& frame) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect();
  const QSize outer = window.size().grownBy(frame);
  const QPoint frameTopLeft(area.x() + std::max(0, (area.width() - outer.width()) / 2),
                            area.y() + std::max(0, (area.height() - outer.height()) / 2));
  window.setGeometry(QRect(frameTopLeft + QPoint(frame.left(), frame.top()), window.size()));
}

// Waits for the window manager's frame around a window placed by a guess
// and places the window again by the real frame, also when the frame
// reported changes while the window manager settles it; goes away once the
// frame has stood still for a while.
class FrameWatch : public QObject {
 public:
  FrameWatch(QWidget& window, const QMargins& guessed)
      : QObject(&window), window_(window), placedWith_(guessed) {
    timer_ = startTimer(WatchIntervalMs);
  }

 protected:
  void timerEvent(QTimerEvent* event) override {
    if (event->timerId() != timer_) return QObject::timerEvent(event);
    waitedMs_ += WatchIntervalMs;
    const QMargins frame = KnownFrame(window_);
    if (!frame.isNull() && frame != placedWith_ && window_.isVisible()) {
      Place(window_, frame);
      placedWith_ = frame;
      stillMs_ = 0;
    } else if (!frame.isNull()) {
      stillMs_ += WatchIntervalMs;
    }
    if (stillMs_ >= SettledMs || waitedMs_ >= WatchLimitMs) {
      killTimer(timer_);
      deleteLater();
    }
  }

 private:
  QWidget& window_;
  QMargins placedWith_;
  int timer_ = 0;
  int waitedMs_ = 0;
  int stillMs_ = 0;
};

}  // namespace

void CentreOnScreen(QWidget& window) {
  const QMargins guessed = GuessedFrame(window);
  Place(window, guessed);
  if (KnownFrame(window).isNull()) new FrameWatch(window, guessed);
}
