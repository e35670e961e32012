// A window opened from the main window takes all input away from it until it
// is closed, however it is closed.
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryFile>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <functional>

#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/support/widget_steps.h"
#include "ui/common/childwindow.h"

namespace glossmith::ui::testing {
namespace {

// The smallest real child window: one button that closes it.
class ProbeWindow : public ChildWindow {
 public:
  explicit ProbeWindow(QWidget* mainWindow) : ChildWindow(mainWindow) {
    setWindowTitle(QStringLiteral("Probe"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setClientTwips(1500, 600);
  }
};

class ChildWindowTest : public MainWindowTest {
 public:
  ProbeWindow* openProbe() {
    ProbeWindow* probe = window->openChildWindow<ProbeWindow>();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(probe));
    return probe;
  }
};

TEST_F(ChildWindowTest, OpeningDisablesMainWindowAndReturnsAtOnce) {
  typeInto(english(), "hi");
  ProbeWindow* probe = openProbe();
  EXPECT_TRUE(probe->isVisible());
  EXPECT_FALSE(probe->isModal());
  EXPECT_FALSE(window->isEnabled());
  EXPECT_EQ(probe->windowHandle()->transientParent(), window->windowHandle());
  // The panes keep their text while the main window waits.
  EXPECT_EQ(text(english()), "hi");
  EXPECT_EQ(text(l33t()), "hi");
  delete probe;
}

// Even when the user brings the main window to the front, nothing in it
// reacts: keys, shortcuts, mouse, drops, the title-bar close.
TEST_F(ChildWindowTest, MainWindowTakesNoInputWhileChildIsOpen) {
  typeInto(english(), "one");
  clipboard()->setText("clip");
  QPointer<ProbeWindow> probe = openProbe();
  window->activateWindow();
  QCoreApplication::processEvents();

  const Qt::Key keys[] = {Qt::Key_C, Qt::Key_D, Qt::Key_V, Qt::Key_F, Qt::Key_U,
                          Qt::Key_O, Qt::Key_L, Qt::Key_S, Qt::Key_T, Qt::Key_X};
  for (const Qt::Key key : keys) {
    for (QWidget* target : {static_cast<QWidget*>(english()), static_cast<QWidget*>(l33t()),
                            static_cast<QWidget*>(window.get())})
      QTest::keyClick(target, key, Qt::ControlModifier);
  }
  QTest::keyClicks(english(), "typed");
  QTest::keyClicks(l33t(), "typed");
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  file.write("dropped");
  file.close();
  QMimeData fileData;
  fileData.setUrls({QUrl::fromLocalFile(file.fileName())});
  QMimeData textData;
  textData.setText("dropped");
  for (QPlainTextEdit* pane : {english(), l33t()})
    for (const QMimeData* data : {&fileData, &textData})
      EXPECT_EQ(drop(pane, *data), Qt::IgnoreAction) << pane->objectName().toStdString();
  for (const char* name : {"reset", "pasteenglish", "pastel33t"})
    QTest::mouseClick(button(name), Qt::LeftButton);
  QTest::keyClick(window->menuBar(), Qt::Key_F, Qt::AltModifier);
  clickTitleBarClose(window.get());

  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(text(english()), "one");
  EXPECT_EQ(text(l33t()), "0n3");
  EXPECT_EQ(clipboard()->text(), "clip");
  EXPECT_FALSE(action("usehardcoremenu")->isChecked());
  EXPECT_EQ(settings.writeCount(), 0);
  EXPECT_TRUE(prompts.fileDialogs().isEmpty());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  ASSERT_FALSE(probe.isNull());
  delete probe.data();
}

TEST_F(ChildWindowTest, EveryWayOfClosingGivesInputBack) {
  struct Case {
    const char* name;
    std::function<void(ProbeWindow*)> close;
  };
  const Case cases[] = {
      {"OwnButton",
       [](ProbeWindow* p) { QTest::mouseClick(p->findChild<QPushButton*>("ok"), Qt::LeftButton); }},
      {"Enter", [](ProbeWindow* p) { QTest::keyClick(p, Qt::Key_Return); }},
      {"Esc", [](ProbeWindow* p) { QTest::keyClick(p, Qt::Key_Escape); }},
      {"TitleBarClose",
       [](ProbeWindow* p) { clickTitleBarClose(p); }},
      {"Destroyed", [](ProbeWindow* p) { delete p; }},
  };
  for (const Case& c : cases) {
    QPointer<ProbeWindow> probe = openProbe();
    ASSERT_FALSE(window->isEnabled()) << c.name;
    c.close(probe);
    // Input comes back with the close itself, not only once the window is deleted.
    EXPECT_TRUE(window->isEnabled()) << c.name;
    flushDeletes();
    EXPECT_TRUE(probe.isNull()) << c.name << ": the child must be destroyed";
    EXPECT_TRUE(window->isEnabled()) << c.name;

    // The main window's shortcuts work again once it is back in front.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    english()->setFocus();
    const bool before = action("usehardcoremenu")->isChecked();
    QTest::keyClick(english(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_NE(action("usehardcoremenu")->isChecked(), before) << c.name;
  }
}

TEST_F(ChildWindowTest, ChildGoesWithMainWindow) {
  QPointer<ProbeWindow> probe = openProbe();
  window.reset();
  flushDeletes();
  EXPECT_TRUE(probe.isNull());
}

}  // namespace
}  // namespace glossmith::ui::testing
