#include "ui/qt/dialog_units.h"

#include <QFontMetricsF>
#include <QString>
#include <algorithm>
#include <cmath>

namespace qtui {

DialogUnits DialogUnits::ForFont(const QFont& font) {
  static const QString letters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  QFontMetricsF metrics(font);
  double averageWidth = metrics.horizontalAdvance(letters) / letters.size();
  return {averageWidth / 4.0, metrics.height() / 8.0};
}

DialogUnits DialogUnits::FittedInto(QSize templateSize, QSize available) const {
  if (templateSize.isEmpty() || available.isEmpty())
    return *this;
  double scale = std::min({1.0, available.width() / (templateSize.width() * perX_),
                           available.height() / (templateSize.height() * perY_)});
  return {perX_ * scale, perY_ * scale};
}

int DialogUnits::X(int units) const {
  return static_cast<int>(std::lround(units * perX_));
}

int DialogUnits::Y(int units) const {
  return static_cast<int>(std::lround(units * perY_));
}

QRect DialogUnits::ToPixels(const framework::DialogRect& rect) const {
  // Both edges are converted, so that controls that touch in dialog units
  // touch in pixels too.
  int left = X(rect.x);
  int top = Y(rect.y);
  return {left, top, X(rect.x + rect.width) - left, Y(rect.y + rect.height) - top};
}

}  // namespace qtui
