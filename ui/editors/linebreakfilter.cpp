#include "linebreakfilter.h"

#include <QLineEdit>

namespace glossmith::ui {

QValidator::State LineBreakFilter::validate(QString& input, int& pos) const {
  qsizetype kept = 0;
  int cursor = pos;
  for (qsizetype i = 0; i < input.size(); ++i) {
    const QChar c = input.at(i);
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      if (i < pos) --cursor;
      continue;
    }
    input[kept++] = c;
  }
  input.truncate(kept);
  pos = cursor;
  return Acceptable;
}

void keepOnOneLine(QLineEdit* field) { field->setValidator(new LineBreakFilter(field)); }

QLineEdit* addField(QWidget* parent, const char* name, const QRect& geometry) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QLatin1String(name));
  keepOnOneLine(field);
  field->setGeometry(geometry);
  return field;
}

}  // namespace glossmith::ui
