#pragma once

#include <QPlainTextEdit>

class QKeyEvent;

namespace glossmith::ui {

// One of the main window's two text panes: a plain text editor whose typed
// line breaks are all line breaks of the pane text.
//
// Keys: Shift+Return (whatever the platform binds to "insert line
// separator") starts a new line exactly as Return does. The editor's own
// handling would put U+2028 inside the line instead, which the pane text
// would carry on as a character. U+2028 that arrives as text (paste, drop,
// a file) stays a character.
class TextPane : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TextPane(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace glossmith::ui
