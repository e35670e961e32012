#include "controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "linebreakfilter.h"
#include "ui/common/twips.h"

namespace glossmith::ui::editors {

void place(QWidget* control, QRect twips) {
  control->setGeometry(twipRect(twips.x(), twips.y(), twips.width(), twips.height()));
}

QLabel* addLabel(QWidget* window, const char* name, const QString& text, QRect twips) {
  auto* label = new QLabel(text, window);
  label->setObjectName(QLatin1String(name));
  // Status texts include what the user typed; it is shown, never interpreted.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  place(label, twips);
  return label;
}

QLineEdit* addField(QWidget* window, const char* name, QRect twips) {
  auto* field = new QLineEdit(window);
  field->setObjectName(QLatin1String(name));
  keepOnOneLine(field);
  place(field, twips);
  return field;
}

QPushButton* addButton(QWidget* window, const char* name, const QString& text, QRect twips) {
  auto* button = new QPushButton(text, window);
  button->setObjectName(QLatin1String(name));
  button->setAutoDefault(false);
  place(button, twips);
  return button;
}

}  // namespace glossmith::ui::editors
