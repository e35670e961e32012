#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "core/translate.h"
#include "editor_fixture.h"
#include "ui/editors/customwordswindow.h"
#include "ui/editors/hardcorewindow.h"

namespace glossmith::ui::testing {
namespace {

class WorkflowTest : public EditorTest {};

// A new user adds a custom word, opens the Hardcore editor for the first
// time, and the next translation uses both.
TEST_F(WorkflowTest, NewUserAddsAWordAndUsesTheDefaultAlphabet) {
  auto* custom = open<CustomWordsWindow>();
  typeInto(control<QLineEdit>(custom, "addstring"), QStringLiteral("dude"));
  typeInto(control<QLineEdit>(custom, "addreplace"), QStringLiteral("d00d"));
  control<QPushButton>(custom, "addstringbutton")->click();
  control<QPushButton>(custom, "OKButton")->click();
  settle();

  auto* hardcore = open<HardcoreWindow>();
  clickListItem(control<QComboBox>(hardcore, "lettersbox"), 'M' - 'A');
  EXPECT_EQ(control<QLineEdit>(hardcore, "customletter")->text(), QStringLiteral("|\\/|"));
  control<QPushButton>(hardcore, "Finished")->click();
  settle();

  EXPECT_TRUE(mainWindow_.isEnabled());
  EXPECT_EQ(EnglishToL33t("hello dude", true, settings_), "|-| 3 1 1 0  |) 00|) ");
}

}  // namespace
}  // namespace glossmith::ui::testing
