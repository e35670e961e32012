#pragma once

#include "ui/common/childwindow.h"

namespace glossmith::ui {

// The Instructions window `frmInstructions`: the program's help, three fixed
// paragraphs on how to use the main window. "OK" closes it; it is the only
// control that takes the keyboard focus.
class InstructionsWindow final : public ChildWindow {
  Q_OBJECT

 public:
  explicit InstructionsWindow(QWidget* mainWindow);

 private:
  // Lays out the heading and paragraphs; returns how many pixels the
  // paragraphs needed beyond their planned heights.
  int createLabels();
  void createButton();
};

}  // namespace glossmith::ui
