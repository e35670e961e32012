#include "childwindow.h"

#include <QCloseEvent>
#include <QWindow>

#include "twips.h"

namespace glossmith::ui {

ChildWindow::ChildWindow(QWidget* mainWindow) : QDialog(nullptr), mainWindow_(mainWindow) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  if (mainWindow_) {
    mainWindow_->setEnabled(false);
    // The main window outlives its child windows; if it goes first, so do they.
    connect(mainWindow_, &QObject::destroyed, this, [this] { delete this; });
    winId();  // creates the native window so that it can be tied to the main one
    if (QWindow* main = mainWindow_->window()->windowHandle())
      windowHandle()->setTransientParent(main);
  }
}

ChildWindow::~ChildWindow() { giveBackMainWindow(); }

void ChildWindow::setClientTwips(int width, int height) { setFixedSize(twipSize(width, height)); }

void ChildWindow::closeEvent(QCloseEvent* event) {
  giveBackMainWindow();
  QDialog::closeEvent(event);
}

void ChildWindow::done(int result) {
  // QDialog::done() hides the window without a close event and deletes it
  // only later, so the main window is given back here, at once.
  QDialog::done(result);
  giveBackMainWindow();
  close();
}

void ChildWindow::giveBackMainWindow() {
  if (mainWindow_) mainWindow_->setEnabled(true);
}

}  // namespace glossmith::ui
