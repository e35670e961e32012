// glossmith: the window program.
#include <QApplication>

#include "glossmith/version.h"
#include "store/inisettings.h"
#include "ui/common/appearance.h"
#include "ui/common/prompts.h"
#include "ui/main/mainwindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(glossmith::kApplicationTitle));
  QApplication::setApplicationVersion(QString::fromUtf8(glossmith::kVersionString));
  glossmith::ui::applyAppearance(app);

  glossmith::IniSettings settings(glossmith::IniSettings::defaultFilePath());
  glossmith::ui::QtPrompts prompts;
  glossmith::ui::MainWindow window(settings, prompts);
  window.show();
  return QApplication::exec();
}
