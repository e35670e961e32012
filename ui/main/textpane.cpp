#include "textpane.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

namespace glossmith::ui {

namespace {

// Takes a drag that carries local files: one file is accepted as a copy
// (never a move, so the file manager keeps the file) and its name stored in
// `fileName`; several are refused. Returns false, touching nothing, for a
// drag without local files.
bool takeFileDrag(QDropEvent* event, QString* fileName = nullptr) {
  const QList<QUrl> urls = event->mimeData()->urls();
  const bool files =
      std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
  if (!files) return false;
  if (urls.size() == 1 && event->possibleActions().testFlag(Qt::CopyAction)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (fileName) *fileName = urls.front().toLocalFile();
  } else {
    event->ignore();
  }
  return true;
}

}  // namespace

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

void TextPane::dragEnterEvent(QDragEnterEvent* event) {
  if (!takeFileDrag(event)) QPlainTextEdit::dragEnterEvent(event);
}

void TextPane::dragMoveEvent(QDragMoveEvent* event) {
  if (!takeFileDrag(event)) QPlainTextEdit::dragMoveEvent(event);
}

void TextPane::dropEvent(QDropEvent* event) {
  QString fileName;
  if (!takeFileDrag(event, &fileName)) {
    QPlainTextEdit::dropEvent(event);
    return;
  }
  if (event->isAccepted()) emit fileDropped(fileName);
}

}  // namespace glossmith::ui
