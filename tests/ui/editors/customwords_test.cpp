#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/rules/custom_list.h"
#include "core/translate.h"
#include "editor_fixture.h"
#include "tests/ui/support/caption_fit.h"
#include "tests/ui/support/widget_steps.h"
#include "ui/editors/customwordswindow.h"

namespace glossmith::ui::testing {
namespace {

const QString kAdded = QStringLiteral("Your new replacement string has been added!");
const QString kUpdated = QStringLiteral("Your existing replacement string has been updated!");
const QString kErased = QStringLiteral("Your replacement string has been erased!");

const QString kNothingChosenText = QStringLiteral("You must choose a string to replace!");
const ExpectedBox kNothingChosen{QMessageBox::Warning, QStringLiteral("Error"), kNothingChosenText,
                                 QMessageBox::Ok, QMessageBox::Ok};
// Why a list edited by hand cannot be changed: the editor's own texts.
const QString kSearchNotInForm = RefusalText(ListRefusal::kSearchNotInForm);
const QString kReplaceNotPaired = RefusalText(ListRefusal::kReplaceNotPaired);
const QString kNotListed = RefusalText(ListRefusal::kNotListed);

ExpectedBox errorBox(const QString& text) {
  return {QMessageBox::Warning, QStringLiteral("Error"), text, QMessageBox::Ok, QMessageBox::Ok};
}
const ExpectedBox kEraseAllDone{QMessageBox::NoIcon, QStringLiteral("Done."),
                                QStringLiteral("All Custom Replacement Strings have been erased."),
                                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};

class CustomWordsTest : public EditorTest {
 protected:
  void seedLists(std::string_view search, std::string_view replace) {
    seed(kSectionChange, kKeySearch, search);
    seed(kSectionChange, kKeyReplace, replace);
  }
  std::string storedSearch() const { return stored(kSectionChange, kKeySearch); }
  std::string storedReplace() const { return stored(kSectionChange, kKeyReplace); }

  void openEditor() {
    window_ = open<CustomWordsWindow>();
    addstring_ = control<QLineEdit>(window_, "addstring");
    addreplace_ = control<QLineEdit>(window_, "addreplace");
    replacebox_ = control<QComboBox>(window_, "replacebox");
    editreplace_ = control<QLineEdit>(window_, "editreplace");
    messagelabel_ = control<QLabel>(window_, "messagelabel");
  }
  void closeEditor() {
    window_->close();
    settle();
  }
  void click(const char* button) { control<QPushButton>(window_, button)->click(); }

  // What an operation leaves: done, the `writes` and `success` in the status
  // line; refused, no write, one Error box saying `error`, the status line as
  // it was.
  void expectOutcome(bool done, const std::vector<WriteCall>& writes, const QString& success,
                     const QString& error) {
    if (done) {
      EXPECT_EQ(settings_.writes(), writes);
      expectBoxes({}, window_);
      EXPECT_EQ(messagelabel_->text(), success);
    } else {
      EXPECT_TRUE(settings_.writes().empty());
      expectBoxes({errorBox(error)}, window_);
      EXPECT_EQ(messagelabel_->text(), kCustomStartText);
    }
  }

  QStringList items() const {
    QStringList texts;
    for (int i = 0; i < replacebox_->count(); ++i) texts << replacebox_->itemText(i);
    return texts;
  }
  void pick(int index) {
    if (index >= 0) clickListItem(replacebox_, index);
  }

  CustomWordsWindow* window_ = nullptr;
  QLineEdit* addstring_ = nullptr;
  QLineEdit* addreplace_ = nullptr;
  QComboBox* replacebox_ = nullptr;
  QLineEdit* editreplace_ = nullptr;
  QLabel* messagelabel_ = nullptr;
};

TEST_F(CustomWordsTest, OpeningListsTheStoredSearchStrings) {
  struct Case {
    const char* name;
    std::string search;
    QStringList items;
  };
  const Case cases[] = {
      {"NothingStored", "", {}},
      {"TwoPairs", "dude\r\nrock\r\n", {"dude", "rock"}},
      {"StoredTwice", "a\r\na\r\n", {"a", "a"}},
      {"StopsAtEmptyEntry", "a\r\n\r\nb\r\n", {"a"}},
      {"NoFinalBreak", "a\r\nb", {"a", "b"}},
      {"LoneCarriageReturnInEntry", "a\rb\r\n", {"a\rb"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seedLists(c.search, "");
    openEditor();
    EXPECT_EQ(items(), c.items);
    EXPECT_EQ(replacebox_->currentIndex(), -1);
    EXPECT_EQ(replacebox_->currentText(), QString());
    EXPECT_FALSE(replacebox_->isEditable());
    EXPECT_EQ(addstring_->text(), QString());
    EXPECT_EQ(addreplace_->text(), QString());
    EXPECT_EQ(editreplace_->text(), QString());
    EXPECT_EQ(messagelabel_->text(), kCustomStartText);
    EXPECT_EQ(window_->focusWidget(), addstring_);
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_TRUE(settings_.writes().empty());
    closeEditor();
  }
}

TEST_F(CustomWordsTest, WindowShowsItsCaptionsInFull) {
  openEditor();
  EXPECT_EQ(window_->objectName(), QStringLiteral("customwords"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Custom String Editor"));
  EXPECT_EQ(captionsThatDoNotFit(window_), QStringList());
  for (const QString& status : {kAdded, kUpdated, kErased}) {
    messagelabel_->setText(status);
    EXPECT_EQ(captionsThatDoNotFit(window_), QStringList()) << status.toStdString();
  }
}

TEST_F(CustomWordsTest, TabVisitsTheControlsInOrder) {
  openEditor();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  EXPECT_EQ(tabWalk(9), (QStringList{"addstring", "addreplace", "addstringbutton", "replacebox",
                                  "editreplace", "updatestringbutton", "erasestring", "OKButton",
                                  "Eraseall", "addstring"}));
}

TEST_F(CustomWordsTest, Add) {
  struct Case {
    const char* name;
    std::string search, replace;  // stored before
    QString typedSearch, typedReplace;
    bool added;
    std::string expectedSearch, expectedReplace;
    QStringList expectedItems;
    QString error{};  // the text of the Error box when nothing was added
  };
  const Case cases[] = {
      {"DudeToEmptyList", "", "", "dude", "d00d", true, "dude\r\n", "d00d\r\n", {"dude"}},
      {"EmptyReplacement", "", "", "dude", "", true, "dude\r\n", "\r\n", {"dude"}},
      {"AppendedLast", "a\r\n", "1\r\n", "b", "2", true, "a\r\nb\r\n", "1\r\n2\r\n", {"a", "b"}},
      {"SameStringAgain", "a\r\n", "1\r\n", "a", "2", true, "a\r\na\r\n", "1\r\n2\r\n",
       {"a", "a"}},
      {"TakenAsTyped", "", "", " Dude ", " X ", true, " Dude \r\n", " X \r\n", {" Dude "}},
      {"EmptySearchWarns", "a\r\n", "1\r\n", "", "x", false, "a\r\n", "1\r\n", {"a"},
       kNothingChosenText},
      {"HandEditedSearchWithoutFinalBreak", "a\r\nb", "1\r\n2\r\n", "c", "3", false, "a\r\nb",
       "1\r\n2\r\n", {"a", "b"}, kSearchNotInForm},
      {"HandEditedReplaceTooShort", "a\r\nb\r\n", "1\r\n", "c", "3", false, "a\r\nb\r\n",
       "1\r\n", {"a", "b"}, kReplaceNotPaired},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seedLists(c.search, c.replace);
    openEditor();
    prompts_.clear();
    typeInto(addstring_, c.typedSearch);
    typeInto(addreplace_, c.typedReplace);
    click("addstringbutton");

    EXPECT_EQ(storedSearch(), c.expectedSearch);
    EXPECT_EQ(storedReplace(), c.expectedReplace);
    EXPECT_EQ(items(), c.expectedItems);
    EXPECT_EQ(replacebox_->currentIndex(), -1);
    expectOutcome(c.added,
                  {{"change", "search", c.expectedSearch},
                   {"change", "replace", c.expectedReplace}},
                  kAdded, c.error);
    EXPECT_EQ(addstring_->text(), c.added ? QString() : c.typedSearch);
    EXPECT_EQ(addreplace_->text(), c.added ? QString() : c.typedReplace);
    closeEditor();
    settings_.clearWrites();
  }
}

TEST_F(CustomWordsTest, AddKeepsThePickAndReopeningListsTheNewStringLast) {
  seedLists("a\r\nb\r\n", "1\r\n2\r\n");
  openEditor();
  pick(1);
  typeInto(addstring_, QStringLiteral("dude"));
  click("addstringbutton");
  EXPECT_EQ(replacebox_->currentIndex(), 1);
  EXPECT_EQ(replacebox_->currentText(), QStringLiteral("b"));
  closeEditor();

  openEditor();
  EXPECT_EQ(items(), (QStringList{"a", "b", "dude"}));
  EXPECT_EQ(replacebox_->currentIndex(), -1);
}

TEST_F(CustomWordsTest, PickingShowsTheStoredReplacement) {
  struct Case {
    const char* name;
    std::string search, replace;
    int pick;
    QString shown;
  };
  const Case cases[] = {
      {"SecondPair", "a\r\nb\r\n", "1\r\n2\r\n", 1, "2"},
      {"StoredTwiceShowsFirstPair", "a\r\na\r\n", "1\r\n2\r\n", 1, "1"},
      {"EmptyReplacement", "a\r\n", "\r\n", 0, ""},
      {"MissingReplacementKeepsText", "a\r\nb\r\n", "1", 1, "typed before"},
      {"HandEditedLineFeedNotShown", "a\r\n", "x\ny\r\n", 0, "xy"},
      {"HandEditedCarriageReturnInSearch", "a\rb\r\n", "1\r\n", 0, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seedLists(c.search, c.replace);
    openEditor();
    addstring_->setText(QStringLiteral("new"));
    addreplace_->setText(QStringLiteral("n3w"));
    editreplace_->setText(QStringLiteral("typed before"));
    pick(c.pick);
    EXPECT_EQ(editreplace_->text(), c.shown);
    EXPECT_EQ(replacebox_->currentIndex(), c.pick);
    EXPECT_EQ(addstring_->text(), QStringLiteral("new"));
    EXPECT_EQ(addreplace_->text(), QStringLiteral("n3w"));
    EXPECT_EQ(messagelabel_->text(), kCustomStartText);
    EXPECT_TRUE(settings_.writes().empty());
    closeEditor();
  }
}

TEST_F(CustomWordsTest, ShowReadsTheStoreAtEachPick) {
  seedLists("a\r\n", "1\r\n");
  openEditor();
  seed(kSectionChange, kKeyReplace, "9\r\n");
  pick(0);
  EXPECT_EQ(editreplace_->text(), QStringLiteral("9"));
}

TEST_F(CustomWordsTest, ArrowKeyPicksTheNextItem) {
  seedLists("a\r\nb\r\n", "1\r\n2\r\n");
  openEditor();
  replacebox_->setFocus();
  QTest::keyClick(replacebox_, Qt::Key_Down);
  EXPECT_EQ(replacebox_->currentText(), QStringLiteral("a"));
  EXPECT_EQ(editreplace_->text(), QStringLiteral("1"));
  QTest::keyClick(replacebox_, Qt::Key_Down);
  EXPECT_EQ(editreplace_->text(), QStringLiteral("2"));
}

TEST_F(CustomWordsTest, Update) {
  struct Case {
    const char* name;
    std::string search, replace;
    int pick;  // -1: nothing picked
    QString typed;
    bool written;
    std::string expectedReplace;
    QString error = kNothingChosenText;  // when nothing was written
  };
  const Case cases[] = {
      {"NothingStored", "", "", -1, "X", false, ""},
      {"NothingPicked", "a\r\n", "1\r\n", -1, "X", false, "1\r\n"},
      {"InPlace", "a\r\nb\r\nc\r\n", "1\r\n2\r\n3\r\n", 1, "X", true, "1\r\nX\r\n3\r\n"},
      {"EmptyReplacement", "a\r\nb\r\nc\r\n", "1\r\n2\r\n3\r\n", 1, "", true, "1\r\n\r\n3\r\n"},
      {"StoredTwicePickFirstChangesSecond", "a\r\na\r\n", "1\r\n2\r\n", 0, "X", true,
       "1\r\nX\r\n"},
      {"ExtraReplacementsDropped", "a\r\n", "1\r\n2\r\n", 0, "X", true, "X\r\n"},
      {"HandEditedReplaceTooShort", "a\r\nb\r\n", "1", 0, "X", false, "1", kReplaceNotPaired},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seedLists(c.search, c.replace);
    openEditor();
    prompts_.clear();
    pick(c.pick);
    typeInto(editreplace_, c.typed);
    click("updatestringbutton");

    EXPECT_EQ(storedSearch(), c.search);
    EXPECT_EQ(storedReplace(), c.expectedReplace);
    EXPECT_EQ(replacebox_->currentIndex(), c.pick);
    expectOutcome(c.written, {{"change", "replace", c.expectedReplace}}, kUpdated, c.error);
    EXPECT_EQ(editreplace_->text(), c.written ? QString() : c.typed);
    closeEditor();
    settings_.clearWrites();
  }
}

TEST_F(CustomWordsTest, SecondUpdateStoresAnEmptyReplacement) {
  seedLists("a\r\nb\r\n", "1\r\n2\r\n");
  openEditor();
  pick(0);
  typeInto(editreplace_, QStringLiteral("X"));
  click("updatestringbutton");
  EXPECT_EQ(storedReplace(), "X\r\n2\r\n");
  click("updatestringbutton");
  EXPECT_EQ(storedReplace(), "\r\n2\r\n");
  EXPECT_EQ(storedSearch(), "a\r\nb\r\n");
}

TEST_F(CustomWordsTest, Erase) {
  struct Case {
    const char* name;
    std::string search, replace;
    int pick;
    bool erased;
    std::string expectedSearch, expectedReplace;
    QStringList expectedItems;
    int expectedPick;
    QString error = kNothingChosenText;  // when nothing was erased
  };
  const Case cases[] = {
      {"NothingStored", "", "", -1, false, "", "", {}, -1},
      {"NothingPicked", "a\r\n", "1\r\n", -1, false, "a\r\n", "1\r\n", {"a"}, -1},
      {"MiddleOfThree", "a\r\nb\r\nc\r\n", "1\r\n2\r\n3\r\n", 1, true, "a\r\nc\r\n", "1\r\n3\r\n",
       {"a", "c"}, -1},
      {"LastRemainingPair", "a\r\n", "1\r\n", 0, true, "", "", {}, -1},
      {"StoredTwicePickFirstRemovesSecond", "a\r\nb\r\na\r\n", "1\r\n2\r\n3\r\n", 0, true,
       "a\r\nb\r\n", "1\r\n2\r\n", {"a", "b"}, 0},
      {"StoredTwicePickSecond", "a\r\nb\r\na\r\n", "1\r\n2\r\n3\r\n", 2, true, "a\r\nb\r\n",
       "1\r\n2\r\n", {"a", "b"}, -1},
      {"HandEditedReplaceTooShort", "a\r\nb\r\nc\r\n", "1", 0, false, "a\r\nb\r\nc\r\n", "1",
       {"a", "b", "c"}, 0, kReplaceNotPaired},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seedLists(c.search, c.replace);
    openEditor();
    prompts_.clear();
    pick(c.pick);
    editreplace_->setText(QStringLiteral("typed"));
    click("erasestring");

    EXPECT_EQ(storedSearch(), c.expectedSearch);
    EXPECT_EQ(storedReplace(), c.expectedReplace);
    EXPECT_EQ(items(), c.expectedItems);
    EXPECT_EQ(replacebox_->currentIndex(), c.expectedPick);
    expectOutcome(c.erased,
                  {{"change", "replace", c.expectedReplace},
                   {"change", "search", c.expectedSearch}},
                  kErased, c.error);
    EXPECT_EQ(editreplace_->text(), c.erased ? QString() : QStringLiteral("typed"));
    closeEditor();
    settings_.clearWrites();
  }
}

TEST_F(CustomWordsTest, EraseThenUpdateWithoutANewPickWarns) {
  seedLists("a\r\nb\r\n", "1\r\n2\r\n");
  openEditor();
  pick(0);
  click("erasestring");
  prompts_.clear();
  settings_.clearWrites();
  click("updatestringbutton");
  click("erasestring");
  expectBoxes({kNothingChosen, kNothingChosen}, window_);
  EXPECT_TRUE(settings_.writes().empty());
  EXPECT_EQ(storedSearch(), "b\r\n");
}

TEST_F(CustomWordsTest, EraseAll) {
  for (const Confirmation& c : kConfirmations) {
    SCOPED_TRACE(c.name);
    seedLists("zz\r\nqq\r\n", "ZZ\r\nQQ\r\n");
    const std::string withPairs = EnglishToL33t("zz qq", false, settings_);
    openEditor();
    prompts_.clear();
    pick(1);
    addstring_->setText(QStringLiteral("s"));
    addreplace_->setText(QStringLiteral("r"));
    editreplace_->setText(QStringLiteral("e"));
    for (auto answer : c.answers) prompts_.setNextAnswer(answer);
    click("Eraseall");

    EXPECT_EQ(addstring_->text(), QStringLiteral("s"));
    EXPECT_EQ(addreplace_->text(), QStringLiteral("r"));
    EXPECT_EQ(editreplace_->text(), QStringLiteral("e"));
    EXPECT_EQ(messagelabel_->text(), kCustomStartText);
    if (c.confirmed) {
      expectBoxes({kEraseAllQuestion, kEraseAllDone}, window_);
      EXPECT_EQ(settings_.writes(), (std::vector<WriteCall>{{"change", "search", ""},
                                                            {"change", "replace", ""}}));
      EXPECT_EQ(items(), QStringList());
      EXPECT_EQ(EnglishToL33t("zz qq", false, settings_),
                EnglishToL33t("zz qq", false, MemorySettings()));
    } else {
      expectBoxes({kEraseAllQuestion}, window_);
      EXPECT_TRUE(settings_.writes().empty());
      EXPECT_EQ(items(), (QStringList{"zz", "qq"}));
      EXPECT_EQ(replacebox_->currentIndex(), 1);
      EXPECT_EQ(EnglishToL33t("zz qq", false, settings_), withPairs);
    }
    closeEditor();
    settings_.clearWrites();
  }
}

// The list changed in the file after the editor listed it.
TEST_F(CustomWordsTest, PickedStringGoneFromTheStore) {
  for (const char* button : {"updatestringbutton", "erasestring"}) {
    SCOPED_TRACE(button);
    seedLists("a\r\nb\r\n", "1\r\n2\r\n");
    openEditor();
    prompts_.clear();
    pick(1);
    seedLists("a\r\n", "1\r\n");
    click(button);
    expectBoxes({errorBox(kNotListed)}, window_);
    EXPECT_TRUE(settings_.writes().empty());
    EXPECT_EQ(items(), (QStringList{"a", "b"}));
    EXPECT_EQ(messagelabel_->text(), kCustomStartText);
    closeEditor();
  }
}

// Pairs past the count that the translations apply are stored only when the
// user says so.
TEST_F(CustomWordsTest, AddingPastTheAppliedPairsAsksFirst) {
  const ExpectedBox question{
      QMessageBox::Warning, QStringLiteral("Are you sure?"),
      QStringLiteral("Your list already holds 32,768 replacement strings, the most that "
                     "Glossmith applies. A new one would be stored but never used. Add it anyway?"),
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
  struct Case {
    const char* name;
    std::size_t stored;
    std::vector<QMessageBox::StandardButton> answers;
    bool asked, added;
  };
  const Case cases[] = {
      {"LastAppliedPair", kMaxCustomPairs - 1, {}, false, true},
      {"AnsweredNo", kMaxCustomPairs, {QMessageBox::No}, true, false},
      {"AnsweredYes", kMaxCustomPairs, {QMessageBox::Yes}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string search = JoinList(std::vector<std::string>(c.stored, "p"));
    const std::string replace = JoinList(std::vector<std::string>(c.stored, "q"));
    seedLists(search, replace);
    openEditor();
    prompts_.clear();
    for (auto answer : c.answers) prompts_.setNextAnswer(answer);
    typeInto(addstring_, QStringLiteral("new"));
    click("addstringbutton");
    expectBoxes(c.asked ? std::vector<ExpectedBox>{question} : std::vector<ExpectedBox>{},
                window_);
    EXPECT_EQ(storedSearch(), c.added ? search + "new\r\n" : search);
    EXPECT_EQ(messagelabel_->text(), c.added ? kAdded : kCustomStartText);
    EXPECT_EQ(addstring_->text(), c.added ? QString() : QStringLiteral("new"));
    closeEditor();
  }
}

TEST_F(CustomWordsTest, AnAddedPairTranslatesAtOnce) {
  openEditor();
  typeInto(addstring_, QStringLiteral("zz"));
  typeInto(addreplace_, QStringLiteral("QQ"));
  click("addstringbutton");
  EXPECT_EQ(EnglishToL33t("zz", false, settings_), "QQ");
  EXPECT_EQ(L33tToEnglish("QQ", false, settings_), "zz");
}

}  // namespace
}  // namespace glossmith::ui::testing
