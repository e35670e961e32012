#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <memory>
#include <string>

#include "core/settings.h"
#include "tests/ui/support/scripted_prompts.h"
#include "ui/main/mainwindow.h"
#include "ui/main/panetext.h"

namespace glossmith::ui::testing {

// A shown and active main window over an in-memory store, with scripted dialogs.
class MainWindowTest : public ::testing::Test {
 public:
  void SetUp() override { start(); }

  void start() {
    window = std::make_unique<MainWindow>(settings, prompts);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  QPlainTextEdit* english() const { return pane("english"); }
  QPlainTextEdit* l33t() const { return pane("l33t"); }

  QPlainTextEdit* pane(const char* name) const {
    auto* found = window->findChild<QPlainTextEdit*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QAction* action(const char* name) const {
    auto* found = window->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QPushButton* button(const char* name) const {
    auto* found = window->findChild<QPushButton*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  // Pane text in the program's form: UTF-8, CR LF line breaks.
  static std::string text(const QPlainTextEdit* pane) { return paneText(*pane); }

  // Puts the focus into `pane` and types `keys` there.
  static void typeInto(QPlainTextEdit* pane, const QString& keys) {
    pane->setFocus();
    QTest::keyClicks(pane, keys);
  }

  static QClipboard* clipboard() { return QApplication::clipboard(); }

  // Drags `data` from another program onto the middle of `target` and drops
  // it there, as the window system delivers it to the window. Returns the
  // action the drop was taken with, Qt::IgnoreAction when it was refused.
  static Qt::DropAction drop(QWidget* target, const QMimeData& data) {
    QWindow* window = target->window()->windowHandle();
    const QPoint at = target->mapTo(target->window(), target->rect().center());
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    if (enter.isAccepted()) QCoreApplication::sendEvent(window, &move);
    if (!enter.isAccepted() || !move.isAccepted()) {
      QDragLeaveEvent leave;
      QCoreApplication::sendEvent(window, &leave);
      return Qt::IgnoreAction;
    }
    QDropEvent dropped(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
    return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
  }

  // What the window system sends when the close button of a title bar is clicked.
  static void clickTitleBarClose(QWidget* window) {
    QCloseEvent close;
    QCoreApplication::sendEvent(window->windowHandle(), &close);
  }

  MemorySettings settings;
  ScriptedPrompts prompts;
  std::unique_ptr<MainWindow> window;
};

}  // namespace glossmith::ui::testing
