#pragma once

#include <QDialog>
#include <QPointer>

class QCloseEvent;

namespace glossmith::ui {

// A window opened from the main window: the rule editors and the information
// windows. While it exists the main window takes no input at all (mouse,
// keys, menus, shortcuts): the constructor disables it, and closing this
// window in any way (its own button, the title-bar close, Esc) enables it
// again and destroys this window.
//
// The window is top-level without a QObject parent, since a child of the main
// window would be disabled together with it; the window system still keeps it
// above the main window (transient parent), and it is destroyed with the main
// window if that goes first.
class ChildWindow : public QDialog {
  Q_OBJECT

 public:
  explicit ChildWindow(QWidget* mainWindow);
  ~ChildWindow() override;

 protected:
  // Fixes the client area to this size in twips; the window cannot be resized.
  void setClientTwips(int width, int height);

  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void giveBackMainWindow();

  QPointer<QWidget> mainWindow_;
};

}  // namespace glossmith::ui
