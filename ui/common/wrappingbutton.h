#pragma once

#include <QPushButton>

namespace glossmith::ui {

// A push button whose caption wraps at word boundaries onto as many lines as
// its fixed size needs, centred. text() stays the whole caption, so the
// button reads and finds like any other.
class WrappingButton : public QPushButton {
  Q_OBJECT

 public:
  explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

  // The area the caption is wrapped into: the inside of the button's frame.
  QRect captionRect() const;

  static constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace glossmith::ui
