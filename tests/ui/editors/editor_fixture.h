#pragma once

// What the editor tests share: the INI store on a temporary file, a record of every
// write in order (tests/support), a dialog double, a stand-in main window, and helpers that
// act on the widgets as a user would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"
#include "tests/support/recording_settings.h"
#include "tests/ui/support/scripted_prompts.h"

// Readable failure messages for Qt strings.
void PrintTo(const QString& text, std::ostream* os);
void PrintTo(const QStringList& texts, std::ostream* os);

namespace glossmith::ui::testing {

using testing_support::RecordingSettings;
using testing_support::WriteCall;

// A message box as the tests expect it to be shown.
struct ExpectedBox {
  QMessageBox::Icon icon;
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
};

class EditorTest : public ::testing::Test {
 protected:
  EditorTest();
  ~EditorTest() override;

  // Writes straight to the file, as another program (or a hand edit) would.
  void seed(std::string_view section, std::string_view key, std::string_view value);
  // Reads back through a store of its own on the same file.
  std::string stored(std::string_view section, std::string_view key) const;

  // Opens an editor the way the main window does.
  template <typename Window>
  Window* open() {
    auto* window = new Window(settings_, prompts_, &mainWindow_);
    window->show();
    QApplication::processEvents();
    return window;
  }

  // Lets a closed window finish being destroyed.
  static void settle();

  void expectBoxes(const std::vector<ExpectedBox>& expected, QWidget* parent);

  // The user opens the drop-down list and clicks item `index`.
  static void clickListItem(QComboBox* box, int index);
  // The user replaces the field's text by typing `text`.
  static void typeInto(QLineEdit* field, const QString& text);
  // The user puts `text` on the clipboard and pastes it with Ctrl+V.
  static void pasteInto(QLineEdit* field, const QString& text);

  QTemporaryDir dir_;
  QString path_;
  std::unique_ptr<Settings> store_;
  RecordingSettings settings_;
  ScriptedPrompts prompts_;
  QMainWindow mainWindow_;
  QLineEdit* pane_ = nullptr;  // stands for a pane of the main window
};

// What the editors show that tests in more than one file expect.
inline const QString kCustomStartText = QStringLiteral(
    "Create a new replacement string, edit an existing replacement string, or erase an existing "
    "replacement! When you have finished editing your personal list, click on the \"Finished\" "
    "button to the left.");
inline const QString kHardcoreStartText = QStringLiteral(
    "Please select a letter to change its Hardcore L33T value, or, restore default values.");
inline const ExpectedBox kEraseAllQuestion{
    QMessageBox::Warning, QStringLiteral("Are you sure?"),
    QStringLiteral("Are you sure you want to delete ALL Custom Replacement Strings?"),
    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
inline const ExpectedBox kRestoreQuestion{
    QMessageBox::Warning, QStringLiteral("Are you sure?"),
    QStringLiteral(
        "Are you sure you want restore the default values for all Hardcore L33T letters?"),
    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};

// The user's answers to an "Are you sure?" box and to the "Done." box that
// follows a Yes: the rows of Erase all's and Restore defaults' tables.
struct Confirmation {
  const char* name;
  std::vector<QMessageBox::StandardButton> answers;
  bool confirmed;
};
inline const Confirmation kConfirmations[] = {
    {"AnsweredNo", {QMessageBox::No}, false},
    {"AnsweredYesDoneClosedWithOk", {QMessageBox::Yes, QMessageBox::Ok}, true},
    {"AnsweredYesDoneClosedWithCancel", {QMessageBox::Yes, QMessageBox::Cancel}, true},
};

// The control named `name` in `window`; fails the test when it is missing.
template <typename T>
T* control(QWidget* window, const char* name) {
  T* found = window->findChild<T*>(QLatin1String(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

}  // namespace glossmith::ui::testing
