#include "app/DialogUnits.h"

#include <QFontMetrics>

namespace ostrel {
namespace {

// a * b / c rounded to the nearest integer, halves away from zero, as the
// platform's MulDiv rounds when it maps dialog units.
int MultiplyDivide(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  averageWidth_ = (letters / 26 + 1) / 2;
  height_ = metrics.height();
}

int DialogUnits::HorizontalPixels(int units) const { return MultiplyDivide(units, averageWidth_, 4); }

int DialogUnits::VerticalPixels(int units) const { return MultiplyDivide(units, height_, 8); }

QRect DialogUnits::Pixels(int x, int y, int width, int height) const {
  return QRect(HorizontalPixels(x), VerticalPixels(y), HorizontalPixels(width), VerticalPixels(height));
}

QFont DialogFont(int pointSize) { return QFont(QStringLiteral("Sans Serif"), pointSize); }

}  // namespace ostrel
