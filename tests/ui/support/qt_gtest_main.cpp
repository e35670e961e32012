// main() for GoogleTest suites that drive real widgets: one QApplication on
// the offscreen platform, laid out with the program's own appearance, and a
// private settings folder so that no test touches the user's settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "ui/common/appearance.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication app(argc, argv);
  glossmith::ui::applyAppearance(app);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
