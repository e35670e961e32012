#pragma once

#include <QRect>
#include <QSize>

namespace glossmith::ui {

// Window layouts are given in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
constexpr int twipsToPixels(int twips) { return (twips + 7) / 15; }

inline QRect twipRect(int left, int top, int width, int height) {
  return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
               twipsToPixels(height));
}

inline QSize twipSize(int width, int height) {
  return QSize(twipsToPixels(width), twipsToPixels(height));
}

}  // namespace glossmith::ui
