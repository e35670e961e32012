#pragma once

#include "ui/common/childwindow.h"

class QFrame;
class QLabel;

namespace glossmith::ui {

// The About window `frmAbout`: the product title and version from the build,
// the release date, credits and contact. "OK" (also Enter and Esc) closes it;
// it reads and writes no setting.
class AboutWindow final : public ChildWindow {
  Q_OBJECT

 public:
  explicit AboutWindow(QWidget* mainWindow);

 private:
  void createLabels();
  void createLines();
  void createButton();

  QLabel* addLabel(const char* name, const QString& text, const QRect& geometry,
                   bool bold = false);
  QFrame* addLine(const char* name, const QRect& geometry, QPalette::ColorRole colour);
};

}  // namespace glossmith::ui
