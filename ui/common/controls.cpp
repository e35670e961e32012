#include "controls.h"

#include <QLabel>

namespace glossmith::ui {

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(geometry);
  return label;
}

QLabel* addWrappedLabel(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
  QLabel* label = addLabel(parent, name, text, geometry);
  label->setWordWrap(true);
  return label;
}

QPushButton* addDefaultButton(QWidget* parent, const char* name, const QString& text,
                              const QRect& geometry) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setDefault(true);
  return button;
}

}  // namespace glossmith::ui
