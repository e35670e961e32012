#include "child_process.h"

#include <QCoreApplication>
#include <QProcess>

namespace glossmith::ui::testing {

int runTestInChildProcess(const QString& testName, const QProcessEnvironment& environment) {
  QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
  childEnvironment.insert(QString::fromLatin1(kConfigHomeVariable),
                          qEnvironmentVariable("XDG_CONFIG_HOME"));
  childEnvironment.insert(environment);

  QProcess child;
  child.setProcessEnvironment(childEnvironment);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=") + testName});
  if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit) {
    child.kill();
    child.waitForFinished();
    return -1;
  }
  return child.exitCode();
}

}  // namespace glossmith::ui::testing
