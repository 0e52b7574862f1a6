#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "framework/dialog_template.h"

namespace qtui {

// Converts dialog units to pixels for one font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth
// of its height.
class DialogUnits {
 public:
  DialogUnits(double pixelsPerX, double pixelsPerY) : perX_(pixelsPerX), perY_(pixelsPerY) {}

  // The units of `font`. The average width is taken over the Latin letters,
  // as a line of ordinary text would use them.
  static DialogUnits ForFont(const QFont& font);
  // The same units made smaller, if need be, so that a window of
  // `templateSize` dialog units fits into `available` pixels.
  DialogUnits FittedInto(QSize templateSize, QSize available) const;

  int X(int units) const;
  int Y(int units) const;
  QRect ToPixels(const framework::DialogRect& rect) const;
  QSize ToPixels(int width, int height) const { return {X(width), Y(height)}; }

  double PixelsPerX() const { return perX_; }
  double PixelsPerY() const { return perY_; }

 private:
  double perX_;
  double perY_;
};

}  // namespace qtui
