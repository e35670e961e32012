// glossmith: the window program.
#include <QApplication>
#include <QIcon>

#include "glossmith/version.h"
#include "store/inisettings.h"
#include "ui/common/appearance.h"
#include "ui/common/prompts.h"
#include "ui/main/mainwindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(glossmith::kApplicationTitle));
  QApplication::setApplicationVersion(QString::fromUtf8(glossmith::kVersionString));
  // Ties the window to its desktop entry and takes the installed icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.glossmith.Glossmith"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.glossmith.Glossmith")));
  glossmith::ui::applyAppearance(app);

  glossmith::IniSettings settings(glossmith::IniSettings::defaultFilePath());
  glossmith::ui::QtPrompts prompts;
  glossmith::ui::MainWindow window(settings, prompts);
  // QApplication has taken Qt's own options out of the arguments already;
  // what follows the program's name are the files to open.
  window.openAtStart(QApplication::arguments().mid(1));
  window.show();
  return QApplication::exec();
}
