// Centring on the screen: a window the screen cannot hold stays on it, at
// its left or top edge, instead of hanging off both sides.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include "ui/qt/centring.h"

namespace {

TEST(CentreOnScreenTest, WindowsTooLargeForTheScreenStartAtItsEdge) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int middleX = screen.x() + (screen.width() - 200) / 2;
  const int middleY = screen.y() + (screen.height() - 100) / 2;
  struct Case {
    QSize size;
    QPoint topLeft;
  };
  const Case cases[] = {
      {{200, 100}, {middleX, middleY}},
      {{screen.width() + 300, 100}, {screen.x(), middleY}},
      {{200, screen.height() + 300}, {middleX, screen.y()}},
      {screen.size() + QSize(1, 1), screen.topLeft()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size.width() << "x" << c.size.height());
    QWidget window;
    window.resize(c.size);
    CentreOnScreen(window);
    EXPECT_EQ(window.x(), c.topLeft.x());
    EXPECT_EQ(window.y(), c.topLeft.y());
  }
}

}  // namespace
