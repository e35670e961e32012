#include "ui/info/instructionswindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "info_window_fixture.h"
#include "tests/ui/support/caption_fit.h"
#include "tests/ui/support/layout_checks.h"
#include "ui/common/twips.h"

namespace glossmith::ui {
namespace {

using InstructionsWindowTest = InfoWindowTest<InstructionsWindow>;

TEST_F(InstructionsWindowTest, Caption) {
  EXPECT_EQ(window_->objectName(), QStringLiteral("frmInstructions"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Instructions"));
}

TEST_F(InstructionsWindowTest, Texts) {
  struct Case {
    const char* name;
    const char* text;
    bool bold;
  };
  const Case cases[] = {
      {"lblinstructions", "Instructions:", true},
      {"lblinst",
       "To translate regular English text to L33T, type normally into the top textbox. Your "
       "text is then converted to L33T in the bottom box. To copy this text to the clip board, "
       "press the button labeled \"Copy L33T to Clipboard\". Do just the opposite to translate "
       "L33T into English*.",
       false},
      {"lblinstruc",
       "You can also paste information from the clipboard into either text field by using their "
       "respective buttons.",
       false},
      {"lblinast",
       "* - Due to the nature of L33T and its use of numbers in the place of letters, when "
       "translating from L33T to english, the numbers 1, 3, 4, 5, 7 and 0 may appear as L, E, "
       "A, S, T, and O respectively.",
       false},
  };
  for (const Case& c : cases) {
    QLabel* l = label(c.name);
    ASSERT_NE(l, nullptr) << c.name;
    EXPECT_EQ(l->text(), QString::fromLatin1(c.text)) << c.name;
    EXPECT_EQ(l->font().bold(), c.bold) << c.name;
  }
  auto* ok = window_->findChild<QPushButton*>(QStringLiteral("OKButton"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
}

TEST_F(InstructionsWindowTest, ParagraphsWrapInFullTopToBottom) {
  EXPECT_EQ(testing::lines(testing::captionsThatDoNotFit(window_)), "");
  EXPECT_EQ(testing::lines(testing::layoutProblems(window_)), "");
  int previousTop = label("lblinstructions")->y();
  for (const char* name : {"lblinst", "lblinstruc", "lblinast"}) {
    QLabel* l = label(name);
    ASSERT_NE(l, nullptr) << name;
    EXPECT_TRUE(l->wordWrap()) << name;
    // Each paragraph keeps its planned width: the text wraps, it does not spread.
    EXPECT_EQ(l->width(), twipsToPixels(2295)) << name;
    EXPECT_GT(l->y(), previousTop) << name;
    previousTop = l->y();
  }
}

// In an 11-pixel font the paragraphs need more lines than their planned
// heights hold: they must grow downwards, with the window, and still show in
// full.
TEST(InstructionsWindowFontTest, ParagraphsGrowWhenTheFontNeedsMoreLines) {
  const QFont planned = QApplication::font();
  QFont larger(QStringLiteral("DejaVu Sans"));
  larger.setPixelSize(11);
  QApplication::setFont(larger);
  QWidget mainWindow;
  auto* window = new InstructionsWindow(&mainWindow);
  window->show();
  EXPECT_EQ(testing::lines(testing::captionsThatDoNotFit(window)), "");
  EXPECT_EQ(testing::lines(testing::layoutProblems(window)), "");
  EXPECT_GT(window->height(), twipsToPixels(4770));
  EXPECT_EQ(window->width(), twipsToPixels(4095));
  delete window;
  QApplication::setFont(planned);
}

TEST_F(InstructionsWindowTest, OkButtonIsTheOnlyFocusStop) {
  auto* ok = window_->findChild<QPushButton*>(QStringLiteral("OKButton"));
  ASSERT_NE(ok, nullptr);
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  EXPECT_EQ(QApplication::focusWidget(), ok);
  for (QWidget* w : window_->findChildren<QWidget*>()) {
    if (w != ok) {
      EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
    }
  }
  EXPECT_NE(ok->focusPolicy(), Qt::NoFocus);
}

TEST_F(InstructionsWindowTest, FixedClientArea) {
  EXPECT_EQ(window_->width(), twipsToPixels(4095));
  // Taller than planned only when the font needs more lines.
  EXPECT_GE(window_->height(), twipsToPixels(4770));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
}

}  // namespace
}  // namespace glossmith::ui
