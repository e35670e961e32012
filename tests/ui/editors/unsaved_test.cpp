// Both editors over a settings file that cannot be written: every action that
// writes tells the user once, with the file and the reason, and shows no
// success.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "core/rules/hardcore_table.h"
#include "editor_fixture.h"
#include "store/inisettings.h"
#include "tests/support/unwritable_store.h"
#include "ui/editors/customwordswindow.h"
#include "ui/editors/hardcorewindow.h"

namespace glossmith::ui::testing {
namespace {

using namespace glossmith::testing;  // the unwritable store

class UnsavedTest : public EditorTest, public ::testing::WithParamInterface<StoreFault> {
 protected:
  UnsavedTest() : unwritable_(GetParam()), store_(unwritable_.filePath()) {}

  bool canSeed() const { return unwritable_.seedable(); }
  void seedStore(std::string_view section, std::string_view key, std::string_view value) {
    ASSERT_TRUE(store_.Write(kApp, section, key, value).stored);
  }

  ExpectedBox notSaved(const QString& what) const {
    return {QMessageBox::Warning, QStringLiteral("Error"),
            what + QStringLiteral("\n\nThe settings file \"") +
                QDir::toNativeSeparators(unwritable_.filePath()) +
                QStringLiteral("\" could not be written: ") +
                QString::fromStdString(unwritable_.reason()) + QLatin1Char('.'),
            QMessageBox::Ok, QMessageBox::Ok};
  }

  template <typename Window>
  Window* openOnStore() {
    auto* window = new Window(store_, prompts_, &mainWindow_);
    window->show();
    QApplication::processEvents();
    return window;
  }

  UnwritableStore unwritable_;
  IniSettings store_;
};



TEST_P(UnsavedTest, CustomStringEditor) {
  // Each action: pick the first stored pair or not, type into a field or
  // not, click a button.
  struct Case {
    const char* name;
    bool needsStoredPairs;  // a store below a regular file holds none
    bool pickFirst;
    const char* field;  // nullptr: nothing is typed
    QString typed;
    const char* button;
    const ExpectedBox* question;  // asked before writing, answered Yes
    QString what;
  };
  const Case cases[] = {
      {"Add", false, false, "addstring", "new", "addstringbutton", nullptr,
       "Your new replacement string could not be added!"},
      {"Update", true, true, "editreplace", "X", "updatestringbutton", nullptr,
       "Your existing replacement string could not be updated!"},
      {"Erase", true, true, nullptr, {}, "erasestring", nullptr,
       "Your replacement string could not be erased!"},
      {"EraseAll", true, false, nullptr, {}, "Eraseall", &kEraseAllQuestion,
       "Your Custom Replacement Strings could not be erased!"},
  };
  if (canSeed()) {
    seedStore(kSectionChange, kKeySearch, "dude\r\n");
    seedStore(kSectionChange, kKeyReplace, "d00d\r\n");
  }
  unwritable_.lock();
  for (const Case& c : cases) {
    if (c.needsStoredPairs && !canSeed()) continue;
    SCOPED_TRACE(c.name);
    auto* window = openOnStore<CustomWordsWindow>();
    const QStringList before = {control<QComboBox>(window, "replacebox")->itemText(0)};
    prompts_.clear();
    if (c.pickFirst) clickListItem(control<QComboBox>(window, "replacebox"), 0);
    if (c.field) typeInto(control<QLineEdit>(window, c.field), c.typed);
    if (c.question) prompts_.setNextAnswer(QMessageBox::Yes);
    control<QPushButton>(window, c.button)->click();
    std::vector<ExpectedBox> boxes;
    if (c.question) boxes.push_back(*c.question);
    boxes.push_back(notSaved(c.what));
    expectBoxes(boxes, window);
    EXPECT_EQ(control<QLabel>(window, "messagelabel")->text(), kCustomStartText);
    EXPECT_EQ(control<QComboBox>(window, "replacebox")->itemText(0), before.front());
    EXPECT_EQ(store_.Read(kApp, kSectionChange, kKeySearch), canSeed() ? "dude\r\n" : "");
    EXPECT_EQ(store_.Read(kApp, kSectionChange, kKeyReplace), canSeed() ? "d00d\r\n" : "");
    window->close();
    settle();
  }
}

const QString kNoDefaults = QStringLiteral(
    "The default Hardcore L33T letters could not be stored! Until they are, Hardcore L33T has "
    "no letters to write.");

TEST_P(UnsavedTest, HardcoreEditor) {
  struct Case {
    const char* name;
    std::function<void(QWidget*)> act;  // after opening; none for the opening itself
    const ExpectedBox* question;          // asked before writing, answered Yes
    QString what;
  };
  const Case cases[] = {
      {"Opening", nullptr, nullptr, kNoDefaults},
      {"Update",
       [&](QWidget* w) {
         typeInto(control<QComboBox>(w, "lettersbox")->lineEdit(), QStringLiteral("A"));
         typeInto(control<QLineEdit>(w, "customletter"), QStringLiteral("x"));
         control<QPushButton>(w, "update")->click();
       },
       nullptr, QStringLiteral("The letter A could not be updated!")},
      {"RestoreDefaults",
       [&](QWidget* w) {
         prompts_.setNextAnswer(QMessageBox::Yes);
         control<QPushButton>(w, "restore")->click();
       },
       &kRestoreQuestion, QStringLiteral("The default values could not be restored!")},
  };
  // Letters the user changed, which a failed restore must leave alone.
  if (canSeed()) seedStore(kSectionHardcore, "A", "@");
  unwritable_.lock();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompts_.clear();
    auto* window = openOnStore<HardcoreWindow>();
    if (c.act) {
      prompts_.clear();
      c.act(window);
    }
    std::vector<ExpectedBox> boxes;
    if (c.question) boxes.push_back(*c.question);
    boxes.push_back(notSaved(c.what));
    expectBoxes(boxes, window);
    EXPECT_EQ(control<QLabel>(window, "infolabel")->text(), kHardcoreStartText);
    EXPECT_EQ(store_.Read(kApp, kSectionHardcore, kKeyCustom), "");
    EXPECT_EQ(store_.Read(kApp, kSectionHardcore, "A"), canSeed() ? "@" : "");
    window->close();
    settle();
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, UnsavedTest, ::testing::ValuesIn(kStoreFaults),
                         faultCaseName);

}  // namespace
}  // namespace glossmith::ui::testing
