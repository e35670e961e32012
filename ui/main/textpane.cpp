#include "textpane.h"

#include <QKeyEvent>

namespace glossmith::ui {

TextPane::TextPane(QWidget* parent) : QPlainTextEdit(parent) {}

void TextPane::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::InsertLineSeparator)) {
    // Handled as the Return key itself, so the editor does all it does for
    // a new line (undo step, caret kept in view).
    QKeyEvent newLine(event->type(), Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"),
                      event->isAutoRepeat(), static_cast<quint16>(event->count()));
    QPlainTextEdit::keyPressEvent(&newLine);
    event->setAccepted(newLine.isAccepted());
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace glossmith::ui
