#include "appearance.h"

#include <QApplication>
#include <QFont>

namespace glossmith::ui {

void applyAppearance(QApplication& app) {
  // The layouts are fixed in pixels, so the font is too: a pixel size does not
  // grow with the desktop's font settings and push captions out of their controls.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  app.setFont(font);
}

}  // namespace glossmith::ui
