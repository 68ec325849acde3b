#include "ui/qt/scaling.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <cmath>

namespace {

constexpr double LayoutDpi = 120.0;

// The layouts' family first, when this machine has it; then its twin.
// fontconfig would answer for any name (with DejaVu or Noto Sans Mono),
// so only families that are really installed are asked for.
QFont FontOf(const QString& family, const QString& twin, int pixels) {
  QFont font;
  QStringList families;
  if (QFontDatabase::families().contains(family)) families << family;
  families << twin;
  font.setFamilies(families);
  font.setPixelSize(ScaledFontPixels(pixels));
  font.setStyleHint(QFont::AnyStyle, QFont::PreferMatch);
  return font;
}

}  // namespace

double LayoutScale() {
  static const double scale = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / LayoutDpi : 96.0 / LayoutDpi;
  }();
  return scale;
}

int Scaled(int pixels) { return static_cast<int>(std::lround(pixels * LayoutScale())); }

QRect ScaledRect(const LayoutRect& rect) {
  return QRect(Scaled(rect.left), Scaled(rect.top), Scaled(rect.width), Scaled(rect.height));
}

int ScaledFontPixels(int pixels) {
  const long even = 2 * std::lround(pixels * LayoutScale() / 2.0);
  return static_cast<int>(even < 2 ? 2 : even);
}

QFont GothicFont(int pixels) {
  return FontOf(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"), pixels);
}

QFont FixedFont(int pixels) {
  QFont font = FontOf(QStringLiteral("FixedSys"), QStringLiteral("IPAGothic"), pixels);
  font.setFixedPitch(true);
  return font;
}
