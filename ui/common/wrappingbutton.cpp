#include "wrappingbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace glossmith::ui {

WrappingButton::WrappingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

QRect WrappingButton::captionRect() const {
  QStyleOptionButton option;
  initStyleOption(&option);
  // Two pixels clear of the frame at the sides, so that a line never touches it.
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
  return rect().adjusted(frame + 2, frame, -(frame + 2), -frame);
}

void WrappingButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  // The style draws frame and focus; the caption is drawn here, wrapped,
  // since the style would put it on one line.
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  painter.drawItemText(captionRect(), kCaptionFlags, palette(), isEnabled(), text(),
                       QPalette::ButtonText);
}

}  // namespace glossmith::ui
