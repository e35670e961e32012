#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "editor_fixture.h"
#include "ui/editors/customwordswindow.h"
#include "ui/editors/hardcorewindow.h"

namespace glossmith::ui::testing {
namespace {

class ClosingTest : public EditorTest {};

// However an editor is left, the main window takes input again, keeps its
// panes, and the editor is gone; the next opening builds a new one.
TEST_F(ClosingTest, EveryWayOutGivesTheMainWindowBack) {
  struct Case {
    const char* name;
    std::function<QWidget*()> open;
    std::function<void(QWidget*)> leave;
  };
  auto openCustom = [this]() -> QWidget* { return open<CustomWordsWindow>(); };
  auto openHardcore = [this]() -> QWidget* { return open<HardcoreWindow>(); };
  auto click = [](const char* name) {
    return [name](QWidget* window) { control<QPushButton>(window, name)->click(); };
  };
  auto titleBarClose = [](QWidget* window) { window->close(); };
  const Case cases[] = {
      {"CustomFinished", openCustom, click("OKButton")},
      {"CustomTitleBar", openCustom, titleBarClose},
      {"HardcoreFinished", openHardcore, click("Finished")},
      {"HardcoreTitleBar", openHardcore, titleBarClose},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QPointer<QWidget> window = c.open();
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_TRUE(window->isVisible());
    c.leave(window);
    settle();
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(pane_->text(), QStringLiteral("text in a pane"));

    QPointer<QWidget> again = c.open();
    EXPECT_FALSE(mainWindow_.isEnabled());
    again->close();
    settle();
    EXPECT_TRUE(mainWindow_.isEnabled());
  }
}

}  // namespace
}  // namespace glossmith::ui::testing
