// The Hardcore switch across restarts of the program: every run is a new
// process over the same settings file, as the program itself keeps it.
#include <gtest/gtest.h>

#include <QAction>
#include <QProcessEnvironment>

#include "store/inisettings.h"
#include "tests/ui/support/child_process.h"
#include "tests/ui/support/scripted_prompts.h"
#include "ui/main/mainwindow.h"

namespace glossmith::ui::testing {
namespace {

// Set in a restarted run to the state ("on" or "off") the switch must start in.
constexpr char kExpectedStateVariable[] = "GLOSSMITH_TEST_HARDCORE_AT_START";
constexpr char kTestName[] = "HardcoreRestartTest.SwitchSurvivesRestart";

// One run of the program: the window over the settings file; the switch
// must start as `expectedOn`, and is then toggled once.
void runProgram(bool expectedOn) {
  IniSettings settings(IniSettings::defaultFilePath());
  ScriptedPrompts prompts;
  MainWindow window(settings, prompts);
  auto* useHardcore = window.findChild<QAction*>("usehardcoremenu");
  ASSERT_NE(useHardcore, nullptr);
  EXPECT_EQ(useHardcore->isChecked(), expectedOn);
  useHardcore->trigger();
}

TEST(HardcoreRestartTest, SwitchSurvivesRestart) {
  ASSERT_TRUE(IniSettings::defaultFilePath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
  const QString expected = qEnvironmentVariable(kExpectedStateVariable);
  if (!expected.isEmpty()) {
    runProgram(expected == "on");
    return;
  }

  runProgram(false);  // first run: nothing stored, so off; leaves it on
  for (const char* state : {"on", "off", "on"}) {
    QProcessEnvironment environment;
    environment.insert(kExpectedStateVariable, state);
    EXPECT_EQ(runTestInChildProcess(kTestName, environment), 0) << "restart expecting " << state;
  }
  EXPECT_EQ(IniSettings(IniSettings::defaultFilePath()).Read(kApp, kSectionGeneral, kKeyUseHard),
            "no");
}

}  // namespace
}  // namespace glossmith::ui::testing
