#pragma once

#include "ui/common/childwindow.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace glossmith {
class Settings;
}

namespace glossmith::ui {

class Prompts;

// The Hardcore L33T Editor `hardcore`: shows and changes the Hardcore letter
// table one letter at a time, or puts back the built-in alphabet. The first
// opening ever fills the table with that alphabet. Values live only in the
// store: choosing a letter reads it, Update and Restore Defaults write at once.
class HardcoreWindow final : public ChildWindow {
  Q_OBJECT

 public:
  HardcoreWindow(Settings& settings, Prompts& prompts, QWidget* mainWindow);

 private:
  void createControls();
  void chainTabOrder();
  void fillTableOnFirstOpening();

  // The operations, one per user action.
  void showChosenLetter();
  void updateLetter();
  void restoreDefaults();

  // What the letter box's edit field holds: a chosen letter or typed text.
  QString letterBoxText() const;
  void showError(const QString& text);

  Settings& settings_;
  Prompts& prompts_;

  QComboBox* letters_ = nullptr;
  QLineEdit* replacement_ = nullptr;
  QPushButton* update_ = nullptr;
  QPushButton* restore_ = nullptr;
  QPushButton* finished_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace glossmith::ui
