#include "ui/pictures.h"

#include <QImage>

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

}  // namespace

QIcon TwoPictureIcon(const QString& bitmapResource) {
  const QImage bitmap = WithTransparentColour(QImage(bitmapResource));
  QIcon icon;
  if (bitmap.isNull()) return icon;
  const int side = bitmap.height();
  icon.addPixmap(QPixmap::fromImage(bitmap.copy(0, 0, side, side)), QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(bitmap.copy(side, 0, side, side)), QIcon::Disabled);
  return icon;
}

QIcon AboutButtonIcon() { return TwoPictureIcon(QStringLiteral(":/busview/speedbutton1.xpm")); }

QIcon ExitButtonIcon() { return TwoPictureIcon(QStringLiteral(":/busview/speedbutton2.xpm")); }

QPixmap ProgramIconPixmap() { return QPixmap(QStringLiteral(":/busview/mainicon.xpm")); }

QIcon ProgramIconSet() { return QIcon(ProgramIconPixmap()); }
