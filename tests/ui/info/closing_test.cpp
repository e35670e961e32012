// Both information windows hold the main window's input while open and give
// it back however they are closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <ostream>
#include <tuple>

#include "tests/ui/support/widget_steps.h"
#include "ui/info/aboutwindow.h"
#include "ui/info/instructionswindow.h"

namespace glossmith::ui {
namespace {

using testing::flushDeletes;

struct Kind {
  const char* name;
  ChildWindow* (*open)(QWidget* mainWindow);
  const char* button;
};

const Kind kKinds[] = {
    {"About", [](QWidget* main) -> ChildWindow* { return new AboutWindow(main); }, "cmdOK"},
    {"Instructions", [](QWidget* main) -> ChildWindow* { return new InstructionsWindow(main); },
     "OKButton"},
};

enum class CloseBy { Button, ReturnKey, EnterKey, EscapeKey, TitleBar };

struct Closing {
  const char* name;
  CloseBy how;
};

const Closing kClosings[] = {
    {"OK", CloseBy::Button},         {"Return", CloseBy::ReturnKey},
    {"KeypadEnter", CloseBy::EnterKey}, {"Esc", CloseBy::EscapeKey},
    {"TitleBar", CloseBy::TitleBar},
};

// Readable test names in ctest and in failure messages.
void PrintTo(const Kind& kind, std::ostream* os) { *os << kind.name; }
void PrintTo(const Closing& closing, std::ostream* os) { *os << closing.name; }

class InfoWindowClosingTest : public ::testing::TestWithParam<std::tuple<Kind, Closing>> {};

void closeWindow(ChildWindow* window, const char* button, CloseBy how) {
  switch (how) {
    case CloseBy::Button:
      QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(button)),
                        Qt::LeftButton);
      break;
    case CloseBy::ReturnKey:
      QTest::keyClick(window, Qt::Key_Return);
      break;
    case CloseBy::EnterKey:
      QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
      break;
    case CloseBy::EscapeKey:
      QTest::keyClick(window, Qt::Key_Escape);
      break;
    case CloseBy::TitleBar:
      window->close();
      break;
  }
}

TEST_P(InfoWindowClosingTest, MainWindowDisabledWhileOpenAndEnabledAfter) {
  const auto& [kind, closing] = GetParam();
  QWidget mainWindow;
  mainWindow.show();
  ASSERT_TRUE(mainWindow.isEnabled());

  QPointer<ChildWindow> window = kind.open(&mainWindow);
  window->show();
  EXPECT_FALSE(mainWindow.isEnabled());
  EXPECT_TRUE(window->isEnabled()) << "the open window itself must take input";
  ASSERT_NE(window->findChild<QPushButton*>(QString::fromLatin1(kind.button)), nullptr);

  closeWindow(window, kind.button, closing.how);
  EXPECT_FALSE(window && window->isVisible());

  // Once the event loop has turned, the window is gone (the next opening
  // builds a fresh one) and the main window takes input again.
  flushDeletes();
  EXPECT_TRUE(window.isNull());
  EXPECT_TRUE(mainWindow.isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    AllWays, InfoWindowClosingTest,
    ::testing::Combine(::testing::ValuesIn(kKinds), ::testing::ValuesIn(kClosings)),
    [](const ::testing::TestParamInfo<InfoWindowClosingTest::ParamType>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

TEST(InfoWindowKeysTest, OtherKeysLeaveWindowOpen) {
  for (const Kind& kind : kKinds) {
    QWidget mainWindow;
    QPointer<ChildWindow> window = kind.open(&mainWindow);
    window->show();
    for (Qt::Key key : {Qt::Key_A, Qt::Key_Tab, Qt::Key_F1, Qt::Key_Backspace})
      QTest::keyClick(window, key);
    flushDeletes();
    ASSERT_FALSE(window.isNull()) << kind.name;
    EXPECT_TRUE(window->isVisible()) << kind.name;
    EXPECT_FALSE(mainWindow.isEnabled()) << kind.name;
    delete window;
  }
}

}  // namespace
}  // namespace glossmith::ui
