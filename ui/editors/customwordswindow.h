#pragma once

#include <string>
#include <string_view>

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

// The Custom String Editor `customwords`: the user adds a pair of a search
// string and its replacement, changes the replacement of a stored pair,
// deletes one pair or deletes them all. Every change is written to the store
// at once; each operation reads both lists afresh, so the window holds no
// copy of them beyond what its controls show.
class CustomWordsWindow final : public ChildWindow {
  Q_OBJECT

 public:
  CustomWordsWindow(Settings& settings, Prompts& prompts, QWidget* mainWindow);

 private:
  void createControls();
  void chainTabOrder();
  void listStoredSearchStrings();

  // The operations, one per user action.
  void showReplacement();
  void addPair();
  void updateReplacement();
  void erasePair();
  void eraseAll();

  // The text of the picked item, or empty when nothing is picked.
  QString selectedSearchString() const;
  void warnNothingChosen();
  std::string read(std::string_view key) const;
  void write(std::string_view key, std::string_view value);

  Settings& settings_;
  Prompts& prompts_;

  QLineEdit* addstring_ = nullptr;
  QLineEdit* addreplace_ = nullptr;
  QPushButton* addstringbutton_ = nullptr;
  QComboBox* replacebox_ = nullptr;
  QLineEdit* editreplace_ = nullptr;
  QPushButton* updatestringbutton_ = nullptr;
  QPushButton* erasestring_ = nullptr;
  QPushButton* eraseall_ = nullptr;
  QLabel* messagelabel_ = nullptr;
  QPushButton* okbutton_ = nullptr;
};

}  // namespace glossmith::ui
