// main() for GoogleTest suites that drive real widgets: one QApplication on
// the offscreen platform, laid out with the program's own appearance, and a
// private settings folder so that no test touches the user's settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "tests/ui/support/child_process.h"
#include "ui/common/appearance.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  // A test that restarts the program as a child process hands down its own
  // temporary folder, so that the child sees what the parent stored.
  const QByteArray handedDown = qgetenv(glossmith::ui::testing::kConfigHomeVariable);
  qputenv("XDG_CONFIG_HOME", handedDown.isEmpty() ? config.path().toLocal8Bit() : handedDown);
  QApplication app(argc, argv);
  glossmith::ui::applyAppearance(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
