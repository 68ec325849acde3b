#include "ui/qt/pictures.h"

#include <QImage>
#include <QSize>

#include <utility>

namespace {

// Makes every pixel of the lower left pixel's colour transparent.
QImage WithTransparentColour(const QImage& bitmap) {
  QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
  if (image.isNull()) return image;
  const QRgb transparent = image.pixel(0, image.height() - 1);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (line[x] == transparent) line[x] = qRgba(0, 0, 0, 0);
    }
  }
  return image;
}

// Adds the bitmap's two pictures, drawn for the given device pixel ratio.
void AddTwoPictures(QIcon& icon, const QString& bitmapResource, qreal ratio) {
  const QImage bitmap = WithTransparentColour(QImage(bitmapResource));
  if (bitmap.isNull()) return;
  const int side = bitmap.height();
  for (const auto& [mode, left] : {std::pair{QIcon::Normal, 0}, std::pair{QIcon::Disabled, side}}) {
    QPixmap picture = QPixmap::fromImage(bitmap.copy(left, 0, side, side));
    picture.setDevicePixelRatio(ratio);
    icon.addPixmap(picture, mode);
  }
}

}  // namespace

QIcon TwoPictureIcon(const QString& bitmapResource) {
  QIcon icon;
  AddTwoPictures(icon, bitmapResource, 1.0);
  if (icon.isNull()) return icon;
  QString doubled = bitmapResource;
  doubled.insert(doubled.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
  AddTwoPictures(icon, doubled, 2.0);
  return icon;
}

QIcon AboutButtonIcon() { return TwoPictureIcon(QStringLiteral(":/busview/speedbutton1.xpm")); }

QIcon ExitButtonIcon() { return TwoPictureIcon(QStringLiteral(":/busview/speedbutton2.xpm")); }

QPixmap ProgramIconPixmap() { return QPixmap(QStringLiteral(":/busview/mainicon.xpm")); }

QIcon ProgramIconSet() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/busview/icons/busview-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}
