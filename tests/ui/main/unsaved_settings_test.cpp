// The Hardcore switch over a settings file that cannot be written.
#include <QDir>

#include "main_window_fixture.h"
#include "store/inisettings.h"
#include "tests/support/unwritable_store.h"

namespace glossmith::ui::testing {
namespace {

using namespace glossmith::testing;  // the unwritable store

class UnsavedSwitchTest : public ::testing::TestWithParam<StoreFault> {};

// Each toggle keeps the state the user chose for this run, says once that it
// will not be remembered, and leaves the stored value alone. A state that the
// file holds already is remembered without a write.
TEST_P(UnsavedSwitchTest, ToggleKeepsStateAndSaysItIsNotRemembered) {
  UnwritableStore unwritable(GetParam());
  IniSettings store(unwritable.filePath());
  const bool seedable = unwritable.seedable();
  if (seedable) {
    ASSERT_TRUE(store.Write(kApp, kSectionGeneral, kKeyUseHard, "no").stored);
  }
  unwritable.lock();
  ScriptedPrompts prompts;
  MainWindow window(store, prompts);
  window.show();
  auto* useHardcore = window.findChild<QAction*>("usehardcoremenu");
  ASSERT_NE(useHardcore, nullptr);

  for (const bool on : {true, false, true}) {
    SCOPED_TRACE(on ? "on" : "off");
    prompts.clear();
    useHardcore->trigger();
    EXPECT_EQ(useHardcore->isChecked(), on);
    EXPECT_EQ(store.Read(kApp, kSectionGeneral, kKeyUseHard), seedable ? "no" : "");
    if (seedable && !on) {
      EXPECT_TRUE(prompts.messages().isEmpty());
      continue;
    }
    ASSERT_EQ(prompts.messages().size(), 1);
    const auto& box = prompts.messages().front();
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.title, QStringLiteral("Error"));
    EXPECT_EQ(box.text,
              QStringLiteral("Hardcore L33T is switched %1 for now, but this will not be "
                             "remembered the next time Glossmith starts!\n\nThe settings file "
                             "\"%2\" could not be written: %3.")
                  .arg(on ? "on" : "off", QDir::toNativeSeparators(unwritable.filePath()),
                       QString::fromStdString(unwritable.reason())));
    EXPECT_EQ(box.buttons, QMessageBox::Ok);
    EXPECT_EQ(box.parent, &window);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, UnsavedSwitchTest, ::testing::ValuesIn(kStoreFaults),
                         faultCaseName);

}  // namespace
}  // namespace glossmith::ui::testing
