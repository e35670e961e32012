// The two linked panes, the Translation guard, the Hardcore switch, Clear and Exit.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <functional>

#include "core/rules/hardcore_table.h"
#include "core/translate.h"
#include "main_window_fixture.h"
#include "tests/support/rule_store.h"

namespace glossmith::ui::testing {
namespace {

using PanesTest = MainWindowTest;

std::string Utf8(const QString& s) { return s.toStdString(); }

TEST_F(PanesTest, NothingTranslatedOrWrittenAtStart) {
  EXPECT_TRUE(english()->toPlainText().isEmpty());
  EXPECT_TRUE(l33t()->toPlainText().isEmpty());
  EXPECT_EQ(settings.writeCount(), 0);
}

TEST_F(PanesTest, TypingInEnglishShowsL33tAtOnce) {
  typeInto(english(), "hack the planet");
  EXPECT_EQ(text(l33t()), "hax0r teh p14n37");
  EXPECT_EQ(text(english()), "hack the planet");
}

// After every keystroke the other pane holds the translation of the whole
// text so far, and the pane typed in holds exactly what was typed.
TEST(TypingTest, EveryKeystrokeTranslatesTheWholePane) {
  struct Case {
    const char* name;
    const char* source;
    QString keys;
  };
  const Case cases[] = {
      {"English", "english", "You rock, newbie!"},
      {"EnglishThatDoesNotTranslateBack", "english", "the cat"},
      {"L33t", "l33t", "j00 r0x0r 4 d00d"},
      {"L33tThatDoesNotTranslateBack", "l33t", "teh 7"},
  };
  for (const Case& c : cases) {
    MemorySettings settings;
    ScriptedPrompts prompts;
    MainWindow window(settings, prompts);
    window.show();
    const bool fromEnglish = std::string_view(c.source) == "english";
    auto* source = window.findChild<QPlainTextEdit*>(c.source);
    auto* target = window.findChild<QPlainTextEdit*>(fromEnglish ? "l33t" : "english");
    source->setFocus();
    QString typed;
    for (const QChar ch : c.keys) {
      QTest::keyClick(source, ch.toLatin1());
      typed += ch;
      const std::string expected = fromEnglish ? EnglishToL33t(Utf8(typed), false, settings)
                                               : L33tToEnglish(Utf8(typed), false, settings);
      ASSERT_EQ(paneText(*target), expected) << c.name << " after " << Utf8(typed);
      ASSERT_EQ(paneText(*source), Utf8(typed)) << c.name;
    }
  }
}

// Every key that starts a new line in a pane, Shift+Return included (a plain
// text editor puts U+2028 inside the line for it), is a CR LF of the pane
// text: in the translation, on the clipboard and in a saved file.
TEST_F(PanesTest, TypedLineBreakIsCrLfEverywhere) {
  struct Case {
    const char* name;
    const char* pane;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const Case cases[] = {
      {"EnglishReturn", "english", Qt::Key_Return, Qt::NoModifier},
      {"EnglishShiftReturn", "english", Qt::Key_Return, Qt::ShiftModifier},
      {"EnglishShiftEnter", "english", Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier},
      {"L33tReturn", "l33t", Qt::Key_Return, Qt::NoModifier},
      {"L33tShiftReturn", "l33t", Qt::Key_Return, Qt::ShiftModifier},
      {"L33tShiftEnter", "l33t", Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier},
  };
  QTemporaryDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QPlainTextEdit* source = pane(c.pane);
    const bool fromEnglish = source == english();
    replacePaneText(*source, std::string_view());
    typeInto(source, "the");
    QTest::keyClick(source, c.key, c.modifiers);
    QTest::keyClicks(source, "cat");

    ASSERT_EQ(text(source), "the\r\ncat");
    const std::string translation = fromEnglish ? EnglishToL33t("the\r\ncat", false, settings)
                                                : L33tToEnglish("the\r\ncat", false, settings);
    EXPECT_EQ(text(fromEnglish ? l33t() : english()), translation);
    action("cpyemglishmenu")->trigger();
    const QString englishCopied = clipboard()->text();
    action("cpyleetmenu")->trigger();
    const QString l33tCopied = clipboard()->text();
    EXPECT_EQ(fromEnglish ? englishCopied : l33tCopied, "the\ncat");
    EXPECT_EQ(fromEnglish ? l33tCopied : englishCopied,
              QString::fromStdString(translation).replace("\r\n", "\n"));
    prompts.setNextFileName(dir.filePath("typed.txt"));
    action(fromEnglish ? "saveemenu" : "savelmenu")->trigger();
    QFile saved(dir.filePath("typed.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "the\r\ncat\r\n");
  }
}

// The pane typed in is never written by the program: it changes once per
// keystroke, keeps its undo history, caret and selection.
TEST_F(PanesTest, SourcePaneIsNeverRewritten) {
  for (QPlainTextEdit* source : {english(), l33t()}) {
    replacePaneText(*source, std::string_view());
    typeInto(source, "abcd");
    QSignalSpy changes(source->document(), &QTextDocument::contentsChange);
    QTest::keyClick(source, Qt::Key_Left);
    QTest::keyClick(source, 'x');
    EXPECT_EQ(changes.count(), 1) << Utf8(source->objectName());
    EXPECT_EQ(text(source), "abcxd");
    EXPECT_EQ(source->textCursor().position(), 4);
    EXPECT_TRUE(source->document()->isUndoAvailable());

    QTest::keyClick(source, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(source, 'y');  // replaces the selection, as typing does
    EXPECT_EQ(text(source), "yd");
    QTest::keyClick(source, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(source->textCursor().selectedText(), "d");
  }
}

TEST_F(PanesTest, ClearEmptiesBothPanes) {
  typeInto(english(), "hello");
  typeInto(l33t(), "w00t");
  QTest::mouseClick(button("reset"), Qt::LeftButton);
  EXPECT_EQ(text(english()), "");
  EXPECT_EQ(text(l33t()), "");
  EXPECT_EQ(settings.writeCount(), 0);
}

TEST(HardcoreSwitchLoadTest, OnlyExactYesTurnsItOn) {
  struct Case {
    const char* name;
    const char* stored;  // nullptr: nothing stored
    bool on;
  };
  const Case cases[] = {
      {"Unset", nullptr, false},
      {"Yes", "yes", true},
      {"CapitalY", "Yes", false},
      {"No", "no", false},
      {"TrailingSpace", "yes ", false},
      {"LeadingSpace", " yes", false},
  };
  for (const Case& c : cases) {
    MemorySettings settings;
    if (c.stored) settings.Write(kApp, kSectionGeneral, kKeyUseHard, c.stored);
    const int writesBefore = settings.writeCount();
    ScriptedPrompts prompts;
    MainWindow window(settings, prompts);
    auto* useHardcore = window.findChild<QAction*>("usehardcoremenu");
    EXPECT_EQ(useHardcore->isChecked(), c.on) << c.name;
    EXPECT_EQ(settings.writeCount(), writesBefore) << c.name;
  }
}

TEST_F(PanesTest, ToggleWritesYesThenNo) {
  QAction* useHardcore = action("usehardcoremenu");
  const char* expected[] = {"yes", "no", "yes"};
  for (const char* value : expected) {
    useHardcore->trigger();
    EXPECT_EQ(useHardcore->isChecked(), std::string(value) == "yes");
    EXPECT_EQ(settings.Read(kApp, kSectionGeneral, kKeyUseHard), value);
  }
  EXPECT_EQ(settings.writeCount(), 3);
}

TEST_F(PanesTest, ToggleTranslatesNothingUntilNextChange) {
  WriteHardcoreDefaults(settings);
  for (QPlainTextEdit* source : {english(), l33t()}) {
    QPlainTextEdit* target = source == english() ? l33t() : english();
    const bool fromEnglish = source == english();
    replacePaneText(*source, std::string_view());
    typeInto(source, "hi");
    const std::string sourceBefore = text(source);
    const std::string targetBefore = text(target);

    const bool hardcore = !action("usehardcoremenu")->isChecked();
    action("usehardcoremenu")->trigger();
    EXPECT_EQ(text(source), sourceBefore);
    EXPECT_EQ(text(target), targetBefore);

    // A last key whose translation differs between the two modes.
    const char key = fromEnglish ? '!' : '4';
    QTest::keyClick(source, key);
    const std::string typed = std::string("hi") + key;
    const auto translate = [fromEnglish](const std::string& text, bool hard,
                                         const Settings& store) {
      return fromEnglish ? EnglishToL33t(text, hard, store) : L33tToEnglish(text, hard, store);
    };
    EXPECT_EQ(text(target), translate(typed, hardcore, settings));
    EXPECT_NE(text(target), translate(typed, !hardcore, settings));
  }
}

TEST_F(PanesTest, EditedRuleIsUsedByNextChange) {
  typeInto(english(), "hello");
  testing_support::WriteStoredList(settings, "hello\r\n", "howdy\r\n");
  QTest::keyClicks(english(), " dude");
  EXPECT_EQ(text(l33t()), "h0wdy d00d");
}

void pressCtrlXIn(QPlainTextEdit* pane) {
  pane->setFocus();
  pane->selectAll();
  QTest::keyClick(pane, Qt::Key_X, Qt::ControlModifier);
}

TEST_F(PanesTest, ExitClosesWindowAndWritesNothing) {
  struct Case {
    const char* name;
    std::function<void(MainWindowTest&)> exit;
  };
  const Case cases[] = {
      {"Menu", [](MainWindowTest& t) { t.action("exitmenu")->trigger(); }},
      {"CtrlXInEnglish", [](MainWindowTest& t) { pressCtrlXIn(t.english()); }},
      {"CtrlXInL33t", [](MainWindowTest& t) { pressCtrlXIn(t.l33t()); }},
      {"TitleBar", [](MainWindowTest& t) { t.clickTitleBarClose(t.window.get()); }},
  };
  for (const Case& c : cases) {
    settings = MemorySettings();
    start();
    typeInto(english(), "bye");
    action("usehardcoremenu")->trigger();
    const int writes = settings.writeCount();
    c.exit(*this);
    EXPECT_FALSE(window->isVisible()) << c.name;
    EXPECT_EQ(settings.writeCount(), writes) << c.name;
    // Ctrl+X is Exit, not the pane's Cut.
    EXPECT_EQ(text(english()), "bye") << c.name;
    EXPECT_EQ(text(l33t()), "by3") << c.name;
  }
}

}  // namespace
}  // namespace glossmith::ui::testing
