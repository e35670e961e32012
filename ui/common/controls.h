#pragma once

#include <QPushButton>
#include <QRect>

class QLabel;
class QString;
class QWidget;

namespace glossmith::ui {

// Controls placed at fixed pixel positions (see twips.h), built the same way
// in every window. Each gets its object name, so tests find it by name.

// A plain-text caption, top-left aligned. Status texts include what the user
// typed; it is shown, never interpreted.
QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry);

// As addLabel, wrapped at word boundaries.
QLabel* addWrappedLabel(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry);

// A push button (or a subclass such as WrappingButton) that Enter does not
// press, for windows without a default button.
template <typename Button = QPushButton>
Button* addButton(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  auto* button = new Button(text, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

// The button that Enter presses.
QPushButton* addDefaultButton(QWidget* parent, const char* name, const QString& text,
                              const QRect& geometry);

}  // namespace glossmith::ui
