#include "appearance.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace glossmith::ui {

void applyAppearance(QApplication& app) {
  // One style everywhere, whatever the desktop prefers: frame widths and
  // margins decide how much room a caption gets.
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  // The layouts are fixed in pixels, so the font is too: a pixel size does not
  // grow with the desktop's font settings and push captions out of their
  // controls. At 10 pixels the main window's two-word lines still fit its
  // 71-pixel buttons.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(10);
  app.setFont(font);
}

}  // namespace glossmith::ui
