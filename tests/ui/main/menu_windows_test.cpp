// The Options and Help items open their windows from anywhere in the main
// window, and a rule edited there is in force at the next change of a pane.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "core/rules/hardcore_table.h"
#include "main_window_fixture.h"
#include "tests/ui/support/widget_steps.h"

namespace glossmith::ui::testing {
namespace {

struct MenuWindowCase {
  const char* action;
  QKeyCombination shortcut;
  const char* window;
  const char* title;
};

const MenuWindowCase kMenuWindows[] = {
    {"custommenu", Qt::CTRL | Qt::Key_R, "customwords", "Custom String Editor"},
    {"edithardcoremenu", Qt::CTRL | Qt::Key_E, "hardcore", "Edit Hardcore L33T"},
    {"aboutmenu", Qt::CTRL | Qt::Key_A, "frmAbout", "About Glossmith"},
    {"instructionsmenu", Qt::CTRL | Qt::Key_I, "frmInstructions", "Instructions"},
};

QWidget* openWindowNamed(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String(name) && w->isVisible()) return w;
  return nullptr;
}

class MenuWindowsTest : public MainWindowTest {};

// Each window opens by its shortcut with the focus in either pane, takes the
// main window's input away and gives it back when closed from its title bar.
TEST_F(MenuWindowsTest, ShortcutOpensWindowFromEitherPane) {
  for (const MenuWindowCase& c : kMenuWindows) {
    for (const char* focus : {"english", "l33t"}) {
      SCOPED_TRACE(std::string(c.action) + " from " + focus);
      QPlainTextEdit* pane = this->pane(focus);
      typeInto(pane, "abc");
      pane->selectAll();
      const QString selected = pane->textCursor().selectedText();
      pane->moveCursor(QTextCursor::End);

      QTest::keyClick(pane, c.shortcut.key(), c.shortcut.keyboardModifiers());
      QPointer<QWidget> opened = openWindowNamed(c.window);
      ASSERT_NE(opened, nullptr);
      EXPECT_EQ(opened->windowTitle(), QLatin1String(c.title));
      EXPECT_FALSE(window->isEnabled());
      // The pane did not take the key for itself (Ctrl+A selects nothing).
      EXPECT_FALSE(pane->textCursor().hasSelection());
      EXPECT_EQ(selected, QStringLiteral("abc"));

      clickTitleBarClose(opened);
      flushDeletes();
      EXPECT_TRUE(opened.isNull()) << "closing destroys the window";
      EXPECT_TRUE(window->isEnabled());
      english()->clear();
    }
  }
}

TEST_F(MenuWindowsTest, MenuItemsHaveTheirCaptionsAndShortcuts) {
  const struct {
    const char* action;
    const char* caption;
  } captions[] = {{"custommenu", "Custom String Edito&r..."},
                  {"edithardcoremenu", "E&dit Hardcore L33T..."},
                  {"aboutmenu", "&About"},
                  {"instructionsmenu", "&Instructions"}};
  for (size_t i = 0; i < std::size(captions); ++i) {
    QAction* a = action(captions[i].action);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), QLatin1String(captions[i].caption));
    EXPECT_EQ(a->shortcut(), QKeySequence(kMenuWindows[i].shortcut));
  }
}

// While one window is open, the shortcuts of the others do nothing.
TEST_F(MenuWindowsTest, OnlyOneWindowAtATime) {
  action("aboutmenu")->trigger();
  QPointer<QWidget> about = openWindowNamed("frmAbout");
  ASSERT_NE(about, nullptr);
  QTest::keyClick(english(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(openWindowNamed("customwords"), nullptr);
  clickTitleBarClose(about);
  EXPECT_TRUE(window->isEnabled());
}

// A new user's first session: fill the Hardcore alphabet, add a custom
// string, switch Hardcore on and type.
TEST_F(MenuWindowsTest, EditedRulesApplyAtTheNextKeystroke) {
  QTest::keyClick(english(), Qt::Key_E, Qt::ControlModifier);
  QWidget* hardcore = openWindowNamed("hardcore");
  ASSERT_NE(hardcore, nullptr);
  auto* letters = hardcore->findChild<QComboBox*>("lettersbox");
  ASSERT_NE(letters, nullptr);
  letters->setFocus();
  for (int i = 0; i < 13; ++i) QTest::keyClick(letters, Qt::Key_Down);  // A .. M
  EXPECT_EQ(letters->currentText(), QStringLiteral("M"));
  EXPECT_EQ(hardcore->findChild<QLineEdit*>("customletter")->text(), QStringLiteral("|\\/|"));
  QTest::mouseClick(hardcore->findChild<QPushButton*>("Finished"), Qt::LeftButton);
  ASSERT_TRUE(window->isEnabled());

  QTest::keyClick(english(), Qt::Key_R, Qt::ControlModifier);
  QWidget* custom = openWindowNamed("customwords");
  ASSERT_NE(custom, nullptr);
  QTest::keyClicks(custom->findChild<QLineEdit*>("addstring"), "dude");
  QTest::keyClicks(custom->findChild<QLineEdit*>("addreplace"), "d00d");
  QTest::mouseClick(custom->findChild<QPushButton*>("addstringbutton"), Qt::LeftButton);
  QTest::mouseClick(custom->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
  ASSERT_TRUE(window->isEnabled());

  QTest::keyClick(english(), Qt::Key_U, Qt::ControlModifier);
  typeInto(english(), "hello dude");
  EXPECT_EQ(text(l33t()), "|-| 3 1 1 0  |) 00|) ");
}

}  // namespace
}  // namespace glossmith::ui::testing
