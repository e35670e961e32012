#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "core/editing/custom_edit.h"
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

// What the Custom String Editor says in its Error box when it refuses an edit.
QString RefusalText(ListRefusal refusal);

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
  // Says why the stored lists could not be edited.
  void explainRefusal(ListRefusal refusal);
  // Asks before adding a pair that the translations would never apply.
  bool confirmUnappliedPair();
  std::string read(std::string_view key) const;

  // One value of section "change" to write, with the value it replaces.
  struct ListWrite {
    std::string_view key;
    std::string_view value;
    std::string_view before;
  };
  // Writes the values in order. When one is not stored, those written before
  // it get their earlier values back, so that the two lists stay paired, and
  // the user is told `failure` with the reason. True when all were stored.
  bool writeLists(std::initializer_list<ListWrite> writes, const QString& failure);

  Settings& settings_;
  Prompts& prompts_;

  QLineEdit* newSearch_ = nullptr;
  QLineEdit* newReplacement_ = nullptr;
  QPushButton* addPair_ = nullptr;
  QComboBox* searchStrings_ = nullptr;
  QLineEdit* replacement_ = nullptr;
  QPushButton* updateReplacement_ = nullptr;
  QPushButton* erasePair_ = nullptr;
  QPushButton* eraseAll_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* finished_ = nullptr;
};

}  // namespace glossmith::ui
