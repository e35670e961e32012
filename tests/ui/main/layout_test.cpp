// What the user sees of the main window: controls, captions, places, menus,
// focus order and frame.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "main_window_fixture.h"
#include "tests/ui/support/caption_fit.h"
#include "tests/ui/support/widget_steps.h"
#include "ui/common/twips.h"
#include "ui/common/wrappingbutton.h"

namespace glossmith::ui::testing {
namespace {

using LayoutTest = MainWindowTest;

TEST_F(LayoutTest, TitleAndFixedFrame) {
  EXPECT_EQ(window->objectName(), "l33t");
  EXPECT_EQ(window->windowTitle(), "Glossmith");
  EXPECT_EQ(window->centralWidget()->size(), twipSize(5910, 3870));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(window->size(), window->minimumSize());
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(LayoutTest, ControlsCaptionsAndPlaces) {
  struct Row {
    const char* name;
    const char* caption;  // nullptr for the panes
    QRect twips;
  };
  const Row rows[] = {
      {"engcapt", "English Text:", {120, 120, 975, 255}},
      {"english", nullptr, {1440, 120, 4335, 1455}},
      {"copyenglish", "Copy English to Clipboard", {260, 360, 1060, 495}},
      {"pasteenglish", "Paste to English from Clipboard", {260, 960, 1060, 615}},
      {"reset", "Clear L33T/English Text Boxes", {2400, 1800, 2415, 255}},
      {"l33tcapt", "L33T Text:", {120, 2280, 855, 255}},
      {"l33t", nullptr, {1440, 2280, 4335, 1455}},
      {"copyl33t", "Copy L33T to Clipboard", {260, 2520, 1060, 495}},
      {"pastel33t", "Paste to L33T from Clipboard", {260, 3120, 1060, 615}},
  };
  for (const Row& row : rows) {
    QWidget* control = window->centralWidget()->findChild<QWidget*>(QLatin1String(row.name));
    ASSERT_NE(control, nullptr) << row.name;
    const QRect& t = row.twips;
    EXPECT_EQ(control->geometry(), twipRect(t.x(), t.y(), t.width(), t.height())) << row.name;
    if (!row.caption) {
      auto* pane = qobject_cast<QPlainTextEdit*>(control);
      ASSERT_NE(pane, nullptr) << row.name;
      EXPECT_TRUE(pane->toPlainText().isEmpty()) << row.name;
      EXPECT_EQ(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn) << row.name;
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_EQ(label->text(), row.caption) << row.name;
    } else {
      auto* button = qobject_cast<QPushButton*>(control);
      ASSERT_NE(button, nullptr) << row.name;
      EXPECT_EQ(button->text(), row.caption) << row.name;
    }
  }
}

TEST_F(LayoutTest, EveryCaptionFitsItsControl) {
  EXPECT_EQ(captionsThatDoNotFit(window.get()), QStringList());
  // The narrow copy and paste buttons only fit their captions by wrapping.
  for (const char* name : {"copyenglish", "pasteenglish", "copyl33t", "pastel33t"})
    EXPECT_NE(qobject_cast<WrappingButton*>(button(name)), nullptr) << name;
}

// The caption check itself must notice a caption that is cut.
TEST(CaptionFitTest, ReportsWrappedCaptionsThatDoNotFit) {
  struct Case {
    const char* name;
    const char* caption;
    QSize size;
    bool fits;
  };
  const Case cases[] = {
      {"TwoLines", "Copy English to Clipboard", {71, 33}, true},
      {"ThreeLines", "Paste to English from Clipboard", {71, 41}, true},
      {"TooManyLinesForHeight", "Paste to English from Clipboard", {71, 20}, false},
      {"WordWiderThanButton", "Antidisestablishmentarianism", {71, 41}, false},
  };
  for (const Case& c : cases) {
    QWidget holder;
    holder.resize(200, 100);
    auto* button = new WrappingButton(QString::fromUtf8(c.caption), &holder);
    button->setGeometry(QRect(QPoint(0, 0), c.size));
    EXPECT_EQ(captionsThatDoNotFit(&holder).isEmpty(), c.fits) << c.name;
  }
}

TEST_F(LayoutTest, FocusStartsInEnglishPaneAndTabFollowsOrder) {
  EXPECT_EQ(QApplication::focusWidget(), english());
  EXPECT_EQ(tabWalk(7), (QStringList{"english", "l33t", "copyenglish", "copyl33t", "pasteenglish",
                                      "pastel33t", "reset", "english"}));
}

TEST_F(LayoutTest, MenusItemsCaptionsAndShortcuts) {
  struct Item {
    const char* menu;
    const char* name;
    const char* caption;
    QKeySequence shortcut;
  };
  const Item items[] = {
      {"filemenu", "openemenu", "Open &English...", QKeySequence(Qt::CTRL | Qt::Key_O)},
      {"filemenu", "openlmenu", "Open &L33T...", QKeySequence(Qt::CTRL | Qt::Key_L)},
      {"filemenu", "saveemenu", "Save Englis&h As...", QKeySequence(Qt::CTRL | Qt::Key_S)},
      {"filemenu", "savelmenu", "Save L33&T As...", QKeySequence(Qt::CTRL | Qt::Key_T)},
      {"filemenu", "exitmenu", "&Exit", QKeySequence(Qt::CTRL | Qt::Key_X)},
      {"optionsmenu", "cpyemglishmenu", "Copy &English", QKeySequence(Qt::CTRL | Qt::Key_C)},
      {"optionsmenu", "cpyleetmenu", "Copy &L33T", QKeySequence(Qt::CTRL | Qt::Key_D)},
      {"optionsmenu", "pasteenglishmenu", "Paste Englis&h", QKeySequence(Qt::CTRL | Qt::Key_V)},
      {"optionsmenu", "pasteleetmenu", "Paste L33&T", QKeySequence(Qt::CTRL | Qt::Key_F)},
      {"optionsmenu", "hardcoremenu", "&Hardcore L33T", QKeySequence()},
      {"optionsmenu", "custommenu", "Custom String Edito&r...", QKeySequence(Qt::CTRL | Qt::Key_R)},
      {"hardcoremenu", "usehardcoremenu", "&Use Hardcore L33T", QKeySequence(Qt::CTRL | Qt::Key_U)},
      {"hardcoremenu", "edithardcoremenu", "E&dit Hardcore L33T...",
       QKeySequence(Qt::CTRL | Qt::Key_E)},
      {"helpmenu", "aboutmenu", "&About", QKeySequence(Qt::CTRL | Qt::Key_A)},
      {"helpmenu", "instructionsmenu", "&Instructions", QKeySequence(Qt::CTRL | Qt::Key_I)},
  };

  QStringList barMenus;
  for (QAction* a : window->menuBar()->actions()) barMenus << a->menu()->objectName() + ' ' + a->text();
  EXPECT_EQ(barMenus, QStringList({"filemenu &File", "optionsmenu &Options", "helpmenu &Help"}));

  QMap<QString, QStringList> expected, actual;
  for (const Item& item : items) {
    expected[item.menu] << QStringLiteral("%1 %2 %3").arg(item.name, item.caption,
                                                          item.shortcut.toString());
  }
  for (const QString& menuName : expected.keys()) {
    auto* menu = window->findChild<QMenu*>(menuName);
    ASSERT_NE(menu, nullptr) << menuName.toStdString();
    for (QAction* a : menu->actions()) {
      // A submenu is listed by its own name; separators would show up empty.
      const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
      actual[menuName] << QStringLiteral("%1 %2 %3").arg(name, a->text(), a->shortcut().toString());
    }
  }
  EXPECT_EQ(actual, expected);
  EXPECT_TRUE(action("usehardcoremenu")->isCheckable());
}

}  // namespace
}  // namespace glossmith::ui::testing
