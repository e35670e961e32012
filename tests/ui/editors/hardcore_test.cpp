#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cctype>
#include <map>

#include "core/rules/hardcore_table.h"
#include "core/translate.h"
#include "editor_fixture.h"
#include "tests/ui/support/caption_fit.h"
#include "tests/ui/support/widget_steps.h"
#include "ui/editors/hardcorewindow.h"

namespace glossmith::ui::testing {
namespace {

const QString kRestored = QStringLiteral("Defaults have been restored.");

const ExpectedBox kNoLetter{QMessageBox::Warning, QStringLiteral("Error"),
                            QStringLiteral("You must choose a letter!"), QMessageBox::Ok,
                            QMessageBox::Ok};
ExpectedBox noValue(const QString& letter) {
  return {QMessageBox::Warning, QStringLiteral("Error"),
          QStringLiteral("You must choose a string to replace ") + letter + QStringLiteral(" with!"),
          QMessageBox::Ok, QMessageBox::Ok};
}
const ExpectedBox kRestoreDone{QMessageBox::NoIcon, QStringLiteral("Done."),
                               QStringLiteral("Defaults restored."),
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};

// The writes that fill the table with the built-in alphabet, in order.
std::vector<WriteCall> defaultWrites() {
  std::vector<WriteCall> writes;
  for (const auto& [letter, value] : kHardcoreDefaults)
    writes.push_back({"hardcore", std::string(1, letter), std::string(value)});
  return writes;
}

class HardcoreTest : public EditorTest {
 protected:
  void openEditor() {
    window_ = open<HardcoreWindow>();
    lettersbox_ = control<QComboBox>(window_, "lettersbox");
    customletter_ = control<QLineEdit>(window_, "customletter");
    infolabel_ = control<QLabel>(window_, "infolabel");
  }
  void closeEditor() {
    window_->close();
    settle();
  }
  void click(const char* button) { control<QPushButton>(window_, button)->click(); }
  void typeLetter(const QString& text) { typeInto(lettersbox_->lineEdit(), text); }
  void chooseLetter(char letter) { clickListItem(lettersbox_, letter - 'A'); }

  // Every value a letter-box key must leave alone.
  std::map<std::string, std::string> otherValues() const {
    std::map<std::string, std::string> values;
    for (char c = 'A'; c <= 'Z'; ++c) values["hardcore/" + std::string(1, c)] = stored(kSectionHardcore, std::string(1, c));
    values["hardcore/custom"] = stored(kSectionHardcore, kKeyCustom);
    values["change/search"] = stored(kSectionChange, kKeySearch);
    values["change/replace"] = stored(kSectionChange, kKeyReplace);
    values["general/usehard"] = stored(kSectionGeneral, kKeyUseHard);
    return values;
  }

  HardcoreWindow* window_ = nullptr;
  QComboBox* lettersbox_ = nullptr;
  QLineEdit* customletter_ = nullptr;
  QLabel* infolabel_ = nullptr;
};

TEST_F(HardcoreTest, FirstOpeningFillsTheTableOnce) {
  struct Case {
    const char* name;
    std::string marker;  // stored before opening
    bool fills;
  };
  const Case cases[] = {
      {"FreshStore", "", true},
      {"MarkerSet", "yes", false},
      {"MarkerWithOtherValue", "no", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seed(kSectionHardcore, kKeyCustom, c.marker);
    seed(kSectionHardcore, "A", "^");
    settings_.clearWrites();
    openEditor();

    if (c.fills) {
      std::vector<WriteCall> expected{{"hardcore", "custom", "yes"}};
      for (const WriteCall& w : defaultWrites()) expected.push_back(w);
      EXPECT_EQ(settings_.writes(), expected);
      EXPECT_EQ(ReadLetterTable(settings_), DefaultLetterTable());
      EXPECT_EQ(stored(kSectionHardcore, kKeyCustom), "yes");
    } else {
      EXPECT_TRUE(settings_.writes().empty());
      EXPECT_EQ(stored(kSectionHardcore, "A"), "^");
      EXPECT_EQ(stored(kSectionHardcore, kKeyCustom), c.marker);
    }
    // Nothing is chosen, even though the table now has values.
    EXPECT_EQ(lettersbox_->currentText(), QString());
    EXPECT_EQ(lettersbox_->currentIndex(), -1);
    EXPECT_EQ(customletter_->text(), QString());
    EXPECT_EQ(infolabel_->text(), kHardcoreStartText);
    EXPECT_EQ(window_->focusWidget(), lettersbox_);
    EXPECT_FALSE(mainWindow_.isEnabled());
    closeEditor();
  }
}

TEST_F(HardcoreTest, SecondOpeningKeepsTheUsersLetters) {
  openEditor();
  chooseLetter('A');
  typeInto(customletter_, QStringLiteral("/-\\"));
  click("update");
  closeEditor();
  settings_.clearWrites();

  openEditor();
  EXPECT_TRUE(settings_.writes().empty());
  chooseLetter('A');
  EXPECT_EQ(customletter_->text(), QStringLiteral("/-\\"));
}

TEST_F(HardcoreTest, WindowShowsItsCaptionsInFull) {
  openEditor();
  EXPECT_EQ(window_->objectName(), QStringLiteral("hardcore"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Edit Hardcore L33T"));
  QStringList letters;
  for (int i = 0; i < lettersbox_->count(); ++i) letters << lettersbox_->itemText(i);
  EXPECT_EQ(letters, QStringLiteral("A B C D E F G H I J K L M N O P Q R S T U V W X Y Z")
                         .split(QLatin1Char(' ')));

  EXPECT_EQ(captionsThatDoNotFit(window_), QStringList());
  for (const QString& status : {QStringLiteral("The letter W has been updated."), kRestored}) {
    infolabel_->setText(status);
    EXPECT_EQ(captionsThatDoNotFit(window_), QStringList()) << status.toStdString();
  }
}

TEST_F(HardcoreTest, TabVisitsTheControlsInOrder) {
  openEditor();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  EXPECT_EQ(tabWalk(5), (QStringList{"lettersbox", "customletter", "update", "restore", "Finished",
                                  "lettersbox"}));
}

TEST_F(HardcoreTest, ChoosingALetterShowsItsValue) {
  struct Case {
    const char* name;
    char letter;
    QString shown;
  };
  const Case cases[] = {
      {"M", 'M', "|\\/|"},
      {"Z", 'Z', "2"},  // last in the list, below the first screenful
      {"EditedLetter", 'B', "b33"},  // written by another program while the editor is open
  };
  openEditor();
  seed(kSectionHardcore, "B", "b33");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    customletter_->setText(QStringLiteral("typed before"));
    chooseLetter(c.letter);
    EXPECT_EQ(lettersbox_->currentText(), QString(QLatin1Char(c.letter)));
    EXPECT_EQ(customletter_->text(), c.shown);
  }
  EXPECT_EQ(infolabel_->text(), kHardcoreStartText);
}

TEST_F(HardcoreTest, ALetterWithNothingStoredShowsAnEmptyBox) {
  seed(kSectionHardcore, kKeyCustom, "yes");  // marked, but the table was never filled
  openEditor();
  customletter_->setText(QStringLiteral("typed before"));
  chooseLetter('K');
  EXPECT_EQ(customletter_->text(), QString());
  EXPECT_TRUE(prompts_.messages().isEmpty());
}

TEST_F(HardcoreTest, ArrowKeysChooseLetters) {
  openEditor();
  lettersbox_->setFocus();
  QTest::keyClick(lettersbox_, Qt::Key_Down);
  EXPECT_EQ(lettersbox_->currentText(), QStringLiteral("A"));
  EXPECT_EQ(customletter_->text(), QStringLiteral("4"));
  QTest::keyClick(lettersbox_, Qt::Key_Down);
  EXPECT_EQ(customletter_->text(), QStringLiteral("8"));
  QTest::keyClick(lettersbox_, Qt::Key_Up);
  EXPECT_EQ(customletter_->text(), QStringLiteral("4"));
}

TEST_F(HardcoreTest, TypingInTheLetterBoxIsNoChoice) {
  struct Case {
    const char* name;
    QString typed;
    Qt::Key then;
  };
  const Case cases[] = {
      {"CapitalThenEnter", "M", Qt::Key_Return},
      {"CapitalThenTab", "M", Qt::Key_Tab},
      {"LowerCaseThenEnter", "m", Qt::Key_Return},
      {"WordThenTab", "Mo", Qt::Key_Tab},
  };
  openEditor();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    customletter_->setText(QStringLiteral("keep"));
    typeLetter(c.typed);
    QTest::keyClick(lettersbox_->lineEdit(), c.then);
    EXPECT_EQ(lettersbox_->currentText(), c.typed);
    EXPECT_EQ(lettersbox_->count(), 26);
    EXPECT_EQ(customletter_->text(), QStringLiteral("keep"));
  }
  EXPECT_TRUE(prompts_.messages().isEmpty());
}

TEST_F(HardcoreTest, Update) {
  struct Case {
    const char* name;
    char chosen;      // 0: nothing chosen from the list
    QString typedLetter;  // typed into the letter box after the choice, if not empty
    QString value;
    std::vector<ExpectedBox> boxes;
    std::string key;  // the key written, with the value; empty when nothing is written
  };
  const Case cases[] = {
      {"NoLetter", 0, "", "x", {kNoLetter}, ""},
      {"NoLetterNoValue", 0, "", "", {kNoLetter}, ""},
      {"ChosenLetterClearedValue", 'Q', "", "", {noValue("Q")}, ""},
      {"TypedLetterNoValue", 0, "z", "", {noValue("z")}, ""},
      {"ChosenLetter", 'M', "", "/\\/\\", {}, "M"},
      {"TypedLowerCase", 0, "a", "^", {}, "a"},
      {"OnlySpaces", 'E', "", "   ", {}, "E"},
      {"ValueWithSpacesKept", 'O', "", " () ", {}, "O"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    openEditor();
    prompts_.clear();
    settings_.clearWrites();
    if (c.chosen) chooseLetter(c.chosen);
    if (!c.typedLetter.isEmpty()) typeLetter(c.typedLetter);
    typeInto(customletter_, c.value);
    const QString letterText = lettersbox_->currentText();
    click("update");

    expectBoxes(c.boxes, window_);
    EXPECT_EQ(lettersbox_->currentText(), letterText);
    if (c.key.empty()) {
      EXPECT_TRUE(settings_.writes().empty());
      EXPECT_EQ(customletter_->text(), c.value);
      EXPECT_EQ(infolabel_->text(), kHardcoreStartText);
    } else {
      EXPECT_EQ(settings_.writes(),
                (std::vector<WriteCall>{{"hardcore", c.key, c.value.toStdString()}}));
      // Store names ignore case: "a" is letter A.
      const std::string letter(1, static_cast<char>(std::toupper(c.key[0])));
      EXPECT_EQ(stored(kSectionHardcore, letter), c.value.toStdString());
      EXPECT_EQ(customletter_->text(), QString());
      EXPECT_EQ(infolabel_->text(),
                QStringLiteral("The letter ") + letterText + QStringLiteral(" has been updated."));
    }
    closeEditor();
  }
}

TEST_F(HardcoreTest, AnUpdatedLetterTranslatesAtOnce) {
  openEditor();
  chooseLetter('H');
  typeInto(customletter_, QStringLiteral("#"));
  click("update");
  EXPECT_EQ(EnglishToL33t("hi", true, settings_), "# ! ");
  EXPECT_EQ(L33tToEnglish("# ! ", true, settings_), "hi");
}

TEST_F(HardcoreTest, AnyTypedTextIsAKeyOfItsOwn) {
  struct Case {
    const char* name;
    QString key;
  };
  const Case cases[] = {
      {"Slash", "a/b"},
      {"SectionName", "[general]"},
      {"Backslash", "a\\b"},
      {"EqualsSign", "k=v"},
      {"Semicolon", ";x"},
      {"Quote", "\"q\""},
      {"LongText", QString(500, QLatin1Char('k'))},
      {"NonAscii", QStringLiteral("\u00e4\u00df\u4e2d")},
      {"SpacesAround", " x "},
  };
  seed(kSectionChange, kKeySearch, "dude\r\n");
  seed(kSectionChange, kKeyReplace, "d00d\r\n");
  seed(kSectionGeneral, kKeyUseHard, "yes");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    openEditor();
    const auto before = otherValues();
    typeLetter(c.key);
    typeInto(customletter_, QStringLiteral("v4lue"));
    click("update");
    EXPECT_TRUE(prompts_.messages().isEmpty());
    EXPECT_EQ(stored(kSectionHardcore, c.key.toStdString()), "v4lue");
    EXPECT_EQ(otherValues(), before);
    closeEditor();
  }
}

TEST_F(HardcoreTest, TypedCustomOverwritesOnlyTheMarker) {
  seed(kSectionGeneral, kKeyUseHard, "yes");
  openEditor();
  auto expected = otherValues();
  typeLetter(QStringLiteral("custom"));
  typeInto(customletter_, QStringLiteral("v"));
  click("update");
  expected["hardcore/custom"] = "v";
  EXPECT_EQ(otherValues(), expected);
  closeEditor();

  // The marker is still not empty, so the next opening leaves the table alone.
  settings_.clearWrites();
  openEditor();
  EXPECT_TRUE(settings_.writes().empty());
}

TEST_F(HardcoreTest, RestoreDefaults) {
  for (const Confirmation& c : kConfirmations) {
    SCOPED_TRACE(c.name);
    openEditor();
    chooseLetter('A');
    typeInto(customletter_, QStringLiteral("^"));
    click("update");
    chooseLetter('C');
    typeInto(customletter_, QStringLiteral("typed"));
    const QString status = infolabel_->text();
    prompts_.clear();
    settings_.clearWrites();
    for (auto answer : c.answers) prompts_.setNextAnswer(answer);
    click("restore");

    if (c.confirmed) {
      expectBoxes({kRestoreQuestion, kRestoreDone}, window_);
      EXPECT_EQ(settings_.writes(), defaultWrites());
      EXPECT_EQ(ReadLetterTable(settings_), DefaultLetterTable());
      EXPECT_EQ(lettersbox_->currentText(), QStringLiteral("A"));
      EXPECT_EQ(customletter_->text(), QString());
      EXPECT_EQ(infolabel_->text(), kRestored);
    } else {
      expectBoxes({kRestoreQuestion}, window_);
      EXPECT_TRUE(settings_.writes().empty());
      EXPECT_EQ(stored(kSectionHardcore, "A"), "^");
      EXPECT_EQ(lettersbox_->currentText(), QStringLiteral("C"));
      EXPECT_EQ(customletter_->text(), QStringLiteral("typed"));
      EXPECT_EQ(infolabel_->text(), status);
    }
    EXPECT_EQ(stored(kSectionHardcore, kKeyCustom), "yes");
    closeEditor();
  }
}

TEST_F(HardcoreTest, AfterRestoreTheArrowKeysMoveOnFromA) {
  openEditor();
  chooseLetter('K');
  prompts_.setNextAnswer(QMessageBox::Yes);
  click("restore");
  lettersbox_->setFocus();
  QTest::keyClick(lettersbox_, Qt::Key_Down);
  EXPECT_EQ(lettersbox_->currentText(), QStringLiteral("B"));
  EXPECT_EQ(customletter_->text(), QStringLiteral("8"));
}

}  // namespace
}  // namespace glossmith::ui::testing
