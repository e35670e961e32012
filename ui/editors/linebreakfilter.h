#pragma once

#include <QValidator>

class QRect;

class QLineEdit;

namespace glossmith::ui {

// Keeps a single-line field on one line. QLineEdit lets carriage returns and
// line feeds in when text is pasted or set, and one of them in a Custom
// string would split an entry of the stored list in two; the filter drops
// every CR and LF as the text arrives, typed, pasted or set.
class LineBreakFilter final : public QValidator {
  Q_OBJECT

 public:
  using QValidator::QValidator;

  State validate(QString& input, int& pos) const override;
};

// Gives `field` a LineBreakFilter of its own.
void keepOnOneLine(QLineEdit* field);

// A single-line field that never takes a line break, at a fixed position.
QLineEdit* addField(QWidget* parent, const char* name, const QRect& geometry);

}  // namespace glossmith::ui
