#pragma once

#include <QFont>
#include <QRect>

namespace ostrel {

// Dialog units scale with the dialog font: horizontally a quarter of the
// font's average character width, vertically an eighth of its height. The
// average width is measured on the 52 Latin letters and rounded the way the
// original platform rounds it, so templates keep their proportions.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int AverageCharacterWidth() const { return averageWidth_; }
  int CharacterHeight() const { return height_; }

  int HorizontalPixels(int units) const;
  int VerticalPixels(int units) const;
  QRect Pixels(int x, int y, int width, int height) const;

 private:
  int averageWidth_;
  int height_;
};

// The dialog font: the desktop's 8-point sans serif.
QFont DialogFont(int pointSize);

}  // namespace ostrel
