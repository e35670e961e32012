#pragma once

#include <QPlainTextEdit>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;

namespace glossmith::ui {

// One of the main window's two text panes: a plain text editor whose typed
// line breaks are all line breaks of the pane text, and that takes a dropped
// file as a file.
//
// Keys: Shift+Return (whatever the platform binds to "insert line
// separator") starts a new line exactly as Return does. The editor's own
// handling would put U+2028 inside the line instead, which the pane text
// would carry on as a character. U+2028 that arrives as text (paste, drop,
// a file) stays a character.
//
// Drops: a drag that carries exactly one local file (a folder counts) is not
// inserted; dropping it emits fileDropped() with the file's name and changes
// nothing by itself. A drag that carries several local files is refused. Any
// other drag, text and links to remote places included, is inserted as text
// where it is dropped, as the editor always does.
class TextPane : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TextPane(QWidget* parent = nullptr);

 signals:
  void fileDropped(const QString& fileName);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace glossmith::ui
