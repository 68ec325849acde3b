// The pictures at the device pixel ratios a screen may have: each button's
// two pictures drawn twice as large for a ratio of 2, the program's picture
// at every size of the icon theme.
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <ostream>
#include <utility>

#include "ui/qt/pictures.h"

namespace {

// Compared premultiplied, as a pixmap holds it.
QImage Comparable(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32_Premultiplied); }

// The side x side picture at `index` (0 enabled, 1 disabled) of a button
// bitmap, its background colour transparent.
QImage ButtonPicture(const QString& resource, int index) {
  QImage bitmap = QImage(resource).convertToFormat(QImage::Format_ARGB32);
  const QRgb background = bitmap.pixel(0, bitmap.height() - 1);
  const int side = bitmap.height();
  QImage picture = bitmap.copy(index * side, 0, side, side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      if (picture.pixel(x, y) == background) picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
  }
  return Comparable(picture);
}

QImage Shown(const QIcon& icon, int side, qreal ratio, QIcon::Mode mode) {
  return Comparable(icon.pixmap(QSize(side, side), ratio, mode).toImage());
}

struct ButtonCase {
  QIcon (*icon)();
  const char* bitmap;
};

void PrintTo(const ButtonCase& c, std::ostream* out) { *out << c.bitmap; }

class ButtonPictures : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(ButtonPictures, AreDrawnForTheDevicePixelRatio) {
  const QIcon icon = GetParam().icon();
  const QString small = QStringLiteral(":/busview/%1.xpm").arg(QLatin1String(GetParam().bitmap));
  const QString doubled = QStringLiteral(":/busview/%1@2x.xpm").arg(QLatin1String(GetParam().bitmap));
  for (const auto& [mode, index] : {std::pair{QIcon::Normal, 0}, std::pair{QIcon::Disabled, 1}}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Shown(icon, 16, 1.0, mode), ButtonPicture(small, index));
    const QImage sharp = Shown(icon, 16, 2.0, mode);
    EXPECT_EQ(sharp.size(), QSize(32, 32));
    EXPECT_EQ(sharp, ButtonPicture(doubled, index));
  }
}

INSTANTIATE_TEST_SUITE_P(Buttons, ButtonPictures,
                         ::testing::Values(ButtonCase{AboutButtonIcon, "speedbutton1"},
                                           ButtonCase{ExitButtonIcon, "speedbutton2"}));

TEST(ProgramIcon, HoldsEveryThemeSizeAndServesTheDoubleSizeAtRatioTwo) {
  const QIcon icon = ProgramIconSet();
  const QList<int> sides{16, 24, 32, 48, 64, 128, 256};
  QList<QSize> sizes;
  for (const int side : sides) sizes << QSize(side, side);
  EXPECT_EQ(icon.availableSizes(), sizes);
  for (const int side : sides) {
    SCOPED_TRACE(side);
    const QImage theme = Comparable(QImage(QStringLiteral(":/busview/icons/busview-%1.png").arg(side)));
    EXPECT_EQ(Shown(icon, side, 1.0, QIcon::Normal), theme);
    if (sides.contains(side * 2)) {
      const QImage doubled = Comparable(QImage(QStringLiteral(":/busview/icons/busview-%1.png").arg(side * 2)));
      EXPECT_EQ(Shown(icon, side, 2.0, QIcon::Normal), doubled);
    }
  }
}

}  // namespace
